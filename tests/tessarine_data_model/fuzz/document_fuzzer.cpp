#include <cstdlib>

#include <QGuiApplication>
#include <QLoggingCategory>

#include "tessarine_data_model/fuzz/DocumentFuzzTarget.h"

// fontconfig keeps the patterns of the fallback fonts Qt asks it for the first time a script is drawn, in caches
// LeakSanitizer cannot see through; they are the library's, made once per font, not the reader's.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    // Drawing needs fonts and an application object; no display is used. The reader's warnings would flood the
    // fuzzer's output.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QLoggingCategory::setFilterRules(QStringLiteral("*.warning=false\n*.info=false\n*.debug=false"));
    static QGuiApplication* application = new QGuiApplication(*argc, *argv);
    (void)application;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // A document that does not read back as it was written: report it as a crash so the input is kept.
    if (!tessfuzz::readAndDrawDocument(data, size))
        std::abort();
    return 0;
}

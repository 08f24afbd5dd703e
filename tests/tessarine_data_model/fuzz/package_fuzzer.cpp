#include <cstdlib>

#include <QCoreApplication>
#include <QLoggingCategory>

#include "tessarine_data_model/fuzz/PackageFuzzTarget.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    // The storage layer's warnings (links replaced, files refused) would flood the fuzzer's output.
    QLoggingCategory::setFilterRules(QStringLiteral("*.warning=false\n*.info=false\n*.debug=false"));
    static QCoreApplication* application = new QCoreApplication(*argc, *argv);
    (void)application;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // A file of the user's outside the package changed: report it as a crash so the input is kept.
    if (!tessfuzz::openAndCleanPackage(data, size))
        std::abort();
    return 0;
}

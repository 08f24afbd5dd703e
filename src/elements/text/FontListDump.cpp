// fontlist-dump: prints the font catalogue the pickers build from the document font list, at 16 points.

#include <cstdio>
#include <cstring>

#include <QGuiApplication>

#include "elements/text/FontList.h"
#include "foundation/Tessutils.h"

namespace {

void printLine(const QString& line)
{
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs("usage: fontlist-dump\n", stdout);
        return 0;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    const QStringList names = Tessutils::zeriDefaultFontList();
    QStringList unavailable;
    FontList catalogue;
    catalogue.setList(FontList::documentFontsForNames(names, 16, &unavailable));

    const QStringList families = catalogue.familyList();
    printLine(QStringLiteral("%1 families from %2 fonts").arg(families.size()).arg(catalogue.origList().size()));
    printLine(QStringLiteral("Families:"));
    for (const QString& family : families)
        printLine(QStringLiteral("  ") + family);
    printLine(QStringLiteral("Faces:"));
    for (const QString& family : families)
        printLine(QStringLiteral("  %1: %2")
                      .arg(family, catalogue.facesForFamily(family).value_or(QStringList()).join(", ")));
    printLine(QStringLiteral("Default faces:"));
    for (const QString& family : families)
        printLine(QStringLiteral("  %1: %2").arg(family, catalogue.defaultFontFaceForFamily(family)));
    const QStringList skipped = unavailable + catalogue.skippedPostScriptNames();
    printLine(QStringLiteral("Skipped: %1").arg(skipped.size()));
    for (const QString& name : skipped)
        printLine(QStringLiteral("  ") + name);
    return 0;
}

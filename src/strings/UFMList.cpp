// Lists every entry of the user-facing text table in declaration order with its key and English text:
// "<number>\t<accessor>\t<key>\t<English text>". Exits with 1 when an entry has no English text of its own.

#include <cstdio>

#include <QCoreApplication>
#include <QTextStream>

#include "strings/StringTables.h"
#include "strings/UFM.h"

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    StringTables::setPreferredLanguagesForTesting({QStringLiteral("en")});

    QTextStream out(stdout);
    int missing = 0;
    int number = 0;
    for (const UFMEntry& entry : UFM::entries()) {
        const QString key =
            entry.key ? QString::fromLatin1(entry.key) : QStringLiteral("=") + QString::fromLatin1(entry.aliasOf);
        const QString text = entry.text();
        if (text.isEmpty() || (entry.key && text == key))
            ++missing;
        QString shown = text;
        shown.replace(QLatin1Char('\n'), QLatin1String("\\n"));
        out << ++number << '\t' << entry.accessorName << '\t' << key << '\t' << shown << '\n';
    }
    out.flush();
    if (missing > 0) {
        std::fprintf(stderr, "%d entries have no English text\n", missing);
        return 1;
    }
    return 0;
}

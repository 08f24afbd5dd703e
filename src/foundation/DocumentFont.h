#pragma once

#include <QFont>
#include <QString>

// A font as a document names it: its PostScript name and size, the family the font reports ("Museo 300",
// "Helvetica Neue"), and the installed font that draws it. Made by FontSubstitution::documentFont, which decides
// whether a name can be made into a font at all; font pickers and the default text only offer fonts made that way.
struct DocumentFont {
    QString postScriptName;
    double pointSize = 0;
    QString family;
    QFont font;
};

#pragma once

#include <QFont>
#include <QMutex>
#include <QString>

#include "tessarine_data_model/AttributedText.h"

// One font and the character range it covers: the result of reading one serialised font run ("Name", "Size",
// "Range"). The font keeps the document's PostScript name beside the substitute QFont used for drawing.
// Accessors are safe from any thread; the range is read and written as one value.
class FontAttribute {
public:
    FontAttribute() = default;
    FontAttribute(const QString& postScriptName, double pointSize, TextRange range);

    QFont font() const;
    QString postScriptName() const;
    double pointSize() const;
    void setFont(const QString& postScriptName, double pointSize);
    TextRange range() const;
    void setRange(TextRange range);

private:
    mutable QMutex m_mutex;
    QString m_postScriptName;
    double m_pointSize = 0;
    TextRange m_range;
};

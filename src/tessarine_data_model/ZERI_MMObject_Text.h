#pragma once

#include <memory>

#include <QColor>
#include <QSizeF>

#include "tessarine_data_model/AttributedString.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"

class QVR_TextStorage;

// A text object (type 4). Its text with attributes lives in a QVR_TextStorage that a text view edits in place;
// the older plain-text properties (text, font, alignment, colours) are kept beside it for the plain text view
// and for documents that have no attributed text yet. Fonts are PostScript names; sizes points at 72 dpi.
class ZERI_MMObject_Text : public ZERI_MixedMediaObject {
public:
    ZERI_MMObject_Text();
    ~ZERI_MMObject_Text() override;

    static QString defaultFontName() { return QStringLiteral("HelveticaNeue-Light"); }
    static int defaultFontSize() { return 40; }
    static double textContainerInsetWidth() { return 5.0; }
    static double textContainerInsetHeight() { return 8.0; }
    static QSizeF defaultTextItemSize() { return QSizeF(400, 100); }

    int type() const override { return Text; }

    // The storage, made on first use from the attributed text or else from the plain-text properties.
    QVR_TextStorage& mutableAttributedString();
    std::shared_ptr<QVR_TextStorage> textStorage();
    bool hasAttributedString() const { return m_storage || m_pendingAttributedText.has_value(); }
    AttributedString attributedString() const;
    // The first time makes the storage and installs its did-change block (marks the object and its screen's
    // preview changed, reports "attributedString"); later calls replace the storage's content.
    void setAttributedString(const AttributedString& string);

    QString text() const override { return m_text; }
    void setText(const QString& text);
    QString fontName() const { return m_fontName; }
    double fontSize() const { return m_fontSize; }
    // Reported as "font".
    void setFont(const QString& postScriptName, double pointSize);
    int textAlignment() const { return m_textAlignment; }
    void setTextAlignment(int alignment);
    QColor textColor() const { return m_textColor; }
    void setTextColor(const QColor& color);
    QColor backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(const QColor& color);
    bool isThemeText() const { return m_isThemeText; }
    void setIsThemeText(bool isThemeText);

    // Padding of the text view around the text, from the size of the font at index 0.
    double textViewXPadding() const;
    double textViewYPadding() const;

protected:
    void writeTypeProperties(QJsonObject& dict) const override;
    void readTypeProperties(const ModelJsonReader& reader, ChangedKeys& changedKeys) override;

private:
    void installStorage(const AttributedString& string);
    double pointSizeAtStart() const;

    // The attributed text as read, until the storage is first asked for (reading stays cheap).
    std::optional<AttributedString> m_pendingAttributedText;
    std::shared_ptr<QVR_TextStorage> m_storage;
    QString m_text;
    QString m_fontName = defaultFontName();
    double m_fontSize = defaultFontSize();
    int m_textAlignment = 0;
    QColor m_textColor;
    QColor m_backgroundColor;
    bool m_isThemeText = false;
};

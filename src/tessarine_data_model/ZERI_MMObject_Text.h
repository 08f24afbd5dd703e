#pragma once

#include <memory>
#include <vector>

#include <QColor>
#include <QSizeF>

#include "tessarine_data_model/AttributedText.h"
#include "tessarine_data_model/TextLayout.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"

class AttachedTextView;
class QTextDocument;
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
    AttributedText attributedString() const;
    // The first time makes the storage and installs its did-change block (marks the object and its screen's
    // preview changed, reports "attributedString"); later calls replace the storage's content.
    void setAttributedString(const AttributedText& string);

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

    // Text views showing the storage. The current one is the view registered last (registering again moves a
    // view to the end); a view unregisters only itself. Views must unregister before they go away.
    void registerAttachedTextView(AttachedTextView* view);
    void unregisterAttachedTextView(AttachedTextView* view);
    AttachedTextView* currentAttachedTextView() const
    {
        return m_attachedViews.empty() ? nullptr : m_attachedViews.back();
    }

    // Padding of the text view around the text, from the size of the font at index 0.
    double textViewXPadding() const;
    double textViewYPadding() const;

    // Its cropped picture when it has one (a text view's rendering); otherwise its background colour over the
    // frame and its text laid out inside the text container inset, clipped to the frame.
    void drawOnContext(QPainter* context, double scale, const QSizeF& contextSize, bool drawBordersForBlankObjects,
                       bool ignoreThreadSafety) const override;
    // A text without a picture as the text view shows it: the background over `target` (the frame in the
    // painter's coordinates) and the laid-out text inside the container inset, clipped to the target.
    // `layout` must be laid out at the frame's width less twice the inset.
    // With a valid `exposed` rectangle (painter coordinates) only what reaches into it is drawn.
    static void drawTextLayout(QPainter* context, const QRectF& target, double scale, const QColor& background,
                               const TextLayout& layout, const QRectF& exposed = QRectF());
    // The rectangle the text uses when laid out as the text view does at `width` (inside the container inset):
    // origin at the container's top-left, the widest line's width, the height of all lines. The zero rectangle
    // when the used width is under 1 (no text) or the width leaves no room. While a text view is attached the
    // height is 1.1 times the lines' height (single precision), the room a text view keeps below its text.
    QRectF layoutManagerUsedRectForWidth(float width) const;
    // The object's origin with `width` and the height its text takes at that full width (no inset); a zero size
    // for a width that is not a positive number.
    QRectF suggestedFrameConstrainedToWidth(double width, const TextFrameAttributes& attributes = {}) const;

    // A link over a range of a text (ranges in the text's UTF-16 units).
    struct TextLink {
        TextRange range;
        QString href;
    };

    // The text as an HTML document, one paragraph per line, each run with its font, size and colour. With
    // `links`, their ranges are written as <a href="..."> (double quotes) around the text they cover; links
    // that overlap an earlier one are left out.
    static QString htmlSerializeAttributedString(const AttributedText& string, const std::vector<TextLink>& links = {});
    // Pasted rich text reduced to what text objects keep: fonts, sizes, colours and paragraph alignment. With
    // `links`, the links of the pasted text (their anchor addresses) are listed there, over the result's text.
    static AttributedText attributedStringWithUnsupportedAttributesRemoved(const QTextDocument& document,
                                                                           std::vector<TextLink>* links = nullptr);

protected:
    void writeTypeProperties(QJsonObject& dict) const override;
    void readTypeProperties(const ModelJsonReader& reader, ChangedKeys& changedKeys) override;

private:
    void installStorage(const AttributedText& string);
    double pointSizeAtStart() const;

    // The attributed text as read, until the storage is first asked for (reading stays cheap).
    std::optional<AttributedText> m_pendingAttributedText;
    std::shared_ptr<QVR_TextStorage> m_storage;
    std::vector<AttachedTextView*> m_attachedViews;
    QString m_text;
    QString m_fontName = defaultFontName();
    double m_fontSize = defaultFontSize();
    int m_textAlignment = 0;
    QColor m_textColor;
    QColor m_backgroundColor;
    bool m_isThemeText = false;
};

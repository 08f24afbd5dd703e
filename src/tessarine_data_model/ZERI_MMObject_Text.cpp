#include "tessarine_data_model/ZERI_MMObject_Text.h"

#include <cmath>

#include "tessarine_data_model/ModelJsonReader.h"
#include "tessarine_data_model/QVR_TextStorage.h"
#include "tessarine_data_model/ZERI_AppDataModelCenter.h"

namespace {
const QString kAttributedTextKey = QStringLiteral("attributedText");
const QString kAttributedStringKey = QStringLiteral("attributedString");
const QString kTextKey = QStringLiteral("text");
const QString kFontNameKey = QStringLiteral("fontName");
const QString kFontSizeKey = QStringLiteral("fontSize");
const QString kFontKey = QStringLiteral("font");
const QString kTextAlignmentKey = QStringLiteral("textAlignment");
const QString kTextColorKey = QStringLiteral("textColor");
const QString kBackgroundColorKey = QStringLiteral("backgroundColor");
const QString kIsThemeTextKey = QStringLiteral("isThemeText");
} // namespace

ZERI_MMObject_Text::ZERI_MMObject_Text() = default;

ZERI_MMObject_Text::~ZERI_MMObject_Text()
{
    // A view may still hold the storage; it must not call back into this object.
    if (m_storage)
        m_storage->setOnTextDidChange({});
}

void ZERI_MMObject_Text::installStorage(const AttributedText& string)
{
    m_storage = std::make_shared<QVR_TextStorage>(string);
    m_pendingAttributedText.reset();
    m_storage->setOnTextDidChange([weak = weak_from_this()](QVR_TextStorage&) {
        const auto self = std::static_pointer_cast<ZERI_MMObject_Text>(weak.lock());
        if (!self)
            return;
        self->setUpdated();
        self->didChange(kAttributedStringKey);
        self->invalidateScreenPreview();
    });
}

QVR_TextStorage& ZERI_MMObject_Text::mutableAttributedString()
{
    return *textStorage();
}

std::shared_ptr<QVR_TextStorage> ZERI_MMObject_Text::textStorage()
{
    if (!m_storage) {
        if (m_pendingAttributedText) {
            installStorage(*m_pendingAttributedText);
        } else {
            TextAttributes attributes;
            attributes.fontName = m_fontName;
            attributes.fontSize = m_fontSize;
            attributes.foregroundColor = m_textColor;
            attributes.alignment = m_textAlignment;
            installStorage(AttributedText(m_text, attributes));
        }
    }
    return m_storage;
}

AttributedText ZERI_MMObject_Text::attributedString() const
{
    if (m_storage)
        return m_storage->attributedString();
    return m_pendingAttributedText.value_or(AttributedText());
}

void ZERI_MMObject_Text::setAttributedString(const AttributedText& string)
{
    if (!m_storage) {
        installStorage(string);
        didChange(kAttributedStringKey);
        invalidateScreenPreview();
        return;
    }
    m_storage->setAttributedString(string);
    // Whole replacements are a change in themselves; the did-change block reports edits made through a view.
    didChange(kAttributedStringKey);
    invalidateScreenPreview();
}

void ZERI_MMObject_Text::setText(const QString& text)
{
    if (m_text == text)
        return;
    m_text = text;
    didChange(kTextKey);
    invalidateScreenPreview();
}

void ZERI_MMObject_Text::setFont(const QString& postScriptName, double pointSize)
{
    if (m_fontName == postScriptName && m_fontSize == pointSize)
        return;
    m_fontName = postScriptName;
    m_fontSize = pointSize;
    didChange(kFontKey);
    invalidateScreenPreview();
}

void ZERI_MMObject_Text::setTextAlignment(int alignment)
{
    if (m_textAlignment == alignment)
        return;
    m_textAlignment = alignment;
    didChange(kTextAlignmentKey);
    invalidateScreenPreview();
}

void ZERI_MMObject_Text::setTextColor(const QColor& color)
{
    if (m_textColor == color)
        return;
    m_textColor = color;
    didChange(kTextColorKey);
    invalidateScreenPreview();
}

void ZERI_MMObject_Text::setBackgroundColor(const QColor& color)
{
    if (m_backgroundColor == color)
        return;
    m_backgroundColor = color;
    didChange(kBackgroundColorKey);
    invalidateScreenPreview();
}

void ZERI_MMObject_Text::setIsThemeText(bool isThemeText)
{
    if (m_isThemeText == isThemeText)
        return;
    m_isThemeText = isThemeText;
    didChange(kIsThemeTextKey);
}

void ZERI_MMObject_Text::registerAttachedTextView(AttachedTextView* view)
{
    if (!view)
        return;
    std::erase(m_attachedViews, view);
    m_attachedViews.push_back(view);
}

void ZERI_MMObject_Text::unregisterAttachedTextView(AttachedTextView* view)
{
    std::erase(m_attachedViews, view);
}

double ZERI_MMObject_Text::pointSizeAtStart() const
{
    const AttributedText string = attributedString();
    if (const auto attributes = string.attributesAtIndex(0); attributes && attributes->fontSize > 0)
        return attributes->fontSize;
    return m_fontSize;
}

double ZERI_MMObject_Text::textViewXPadding() const
{
    return 12 - std::min(4.0, std::abs(pointSizeAtStart() - 12));
}

double ZERI_MMObject_Text::textViewYPadding() const
{
    const double difference = std::abs(pointSizeAtStart() - 12);
    return difference < 4 ? 4 + difference : 8;
}

void ZERI_MMObject_Text::writeTypeProperties(QJsonObject& dict) const
{
    dict.insert(kIsThemeTextKey, yesNo(m_isThemeText));
    if (hasAttributedString())
        dict.insert(kAttributedTextKey, attributedString().jsonObject());
    dict.insert(kTextKey, m_text);
    dict.insert(kFontNameKey, m_fontName);
    dict.insert(kFontSizeKey, m_fontSize);
    dict.insert(kTextAlignmentKey, m_textAlignment);
    if (m_textColor.isValid())
        dict.insert(kTextColorKey, ZERI_AppDataModelCenter::rgbaHexStringFromColor(m_textColor));
    if (m_backgroundColor.isValid())
        dict.insert(kBackgroundColorKey, ZERI_AppDataModelCenter::rgbaHexStringFromColor(m_backgroundColor));
}

void ZERI_MMObject_Text::readTypeProperties(const ModelJsonReader& reader, ChangedKeys& changedKeys)
{
    assign(m_isThemeText, reader.boolean(kIsThemeTextKey), kIsThemeTextKey, changedKeys);
    assign(m_text, reader.string(kTextKey), kTextKey, changedKeys);
    const QString fontName = reader.string(kFontNameKey, defaultFontName());
    const double fontSize = reader.measure(kFontSizeKey, defaultFontSize());
    if (fontName != m_fontName || fontSize != m_fontSize) {
        m_fontName = fontName;
        m_fontSize = fontSize;
        changedKeys.insert(kFontKey);
    }
    assign(m_textAlignment, reader.integer(kTextAlignmentKey), kTextAlignmentKey, changedKeys);
    assign(m_textColor, reader.color(kTextColorKey).value_or(QColor()), kTextColorKey, changedKeys);
    assign(m_backgroundColor, reader.color(kBackgroundColorKey).value_or(QColor()), kBackgroundColorKey, changedKeys);

    std::optional<AttributedText> attributed;
    if (const auto dict = reader.object(kAttributedTextKey)) {
        QString problem;
        attributed = AttributedText::fromJson(*dict, &problem);
        if (!attributed)
            reader.status().fail(reader.pathOf(kAttributedTextKey), problem);
    }
    if (attributed == (hasAttributedString() ? std::optional<AttributedText>(attributedString()) : std::nullopt))
        return;
    changedKeys.insert(kAttributedStringKey);
    if (m_storage && attributed) {
        // Keep the storage a view may be attached to; replace its content.
        m_storage->setAttributedString(*attributed);
    } else if (m_storage) {
        m_storage->setOnTextDidChange({});
        m_storage.reset();
    } else {
        m_pendingAttributedText = attributed;
    }
}

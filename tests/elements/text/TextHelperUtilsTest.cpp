#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include <QPainter>

#include "elements/text/QVB_CoreTextHelper.h"
#include "elements/text/QVR_TextHelperUtils.h"
#include "foundation/FontSubstitution.h"
#include "strings/UFM.h"
#include "support/QtPrinters.h"
#include "tessarine_data_model/AttachedTextView.h"
#include "tessarine_data_model/QVR_TextStorage.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"

namespace {

// A text view reduced to what the readers ask of it.
class FakeTextView : public AttachedTextView {
public:
    explicit FakeTextView(const AttributedText& text)
        : m_storage(std::make_shared<QVR_TextStorage>(text))
    {
    }

    TextRange selectedRange() const override { return m_selection; }
    bool isEditable() const override { return m_editable; }
    TextAttributes typingAttributes() const override { return m_typing; }
    void setTypingAttributes(const TextAttributes& attributes) override { m_typing = attributes; }
    QColor insertionPointColor() const override { return Qt::black; }
    std::shared_ptr<QVR_TextStorage> textStorage() const override { return m_storage; }
    QRectF usedRectForWidth(double) override { return {}; }

    TextRange m_selection;
    bool m_editable = false;
    TextAttributes m_typing;

private:
    std::shared_ptr<QVR_TextStorage> m_storage;
};

TextAttributes style(const char* font, double size, const QColor& color, int alignment)
{
    TextAttributes attributes;
    attributes.fontName = QString::fromLatin1(font);
    attributes.fontSize = size;
    attributes.foregroundColor = color;
    attributes.alignment = alignment;
    return attributes;
}

// "Red\n" red Courier 12 left, "Blue" blue ArialMT 14 centred.
AttributedText redBlue()
{
    AttributedText text(QStringLiteral("Red\nBlue"), style("Courier", 12, Qt::red, TextAttributes::Left));
    text.setAttributes(style("ArialMT", 14, Qt::blue, TextAttributes::Center), {4, 4});
    return text;
}

using Utils = QVR_TextHelperUtils;

} // namespace

TEST(TextHelperUtils, LineHeightMultiplesAreReadByExactPostScriptName)
{
    const std::pair<const char*, double> cases[] = {
        {"Courier", 0.84},
        {"Courier-Bold", 0.83},
        {"Helvetica-Light", 0.96},
        {"HelveticaNeue-Medium", 0.99},
        {"Lobster1.4", 1.01},
        {"TimesNewRomanPSMT", 0.99},
        {"Homestead", 0.83},
        {"HelveticaNeue-Light", 1.0},
        {"Georgia-Bold", 1.0},
        {"4Foo", 1.0},
        {"courier", 1.0},
        {"Zapfino", 1.0},
        {"", 1.0},
        {"Courier ", 1.0},
    };
    for (const auto& [name, multiple] : cases)
        EXPECT_DOUBLE_EQ(Utils::lineHeightMultipleToApproximateIOSTextViewsForFont(QString::fromLatin1(name)), multiple)
            << name;

    // Keyed by the document's name, not by the substitute that draws it.
    const std::optional<DocumentFont> courier = FontSubstitution::documentFont("Courier", 20);
    ASSERT_TRUE(courier);
    EXPECT_DOUBLE_EQ(Utils::lineHeightMultipleToApproximateIOSTextViewsForFont(*courier), 0.84);
}

TEST(TextHelperUtils, DefaultTextIsThePromptInTheDefaultFontOrUnstyledWithoutIt)
{
    const AttributedText text = Utils::defaultAttributedText();
    EXPECT_EQ(text.string(), UFM::SAYS_CLICK_TO_EDIT_TEXT());
    ASSERT_EQ(text.runs().size(), 1u);
    const TextAttributes& attributes = text.runs().front().attributes;
    EXPECT_EQ(attributes.fontName, "HelveticaNeue-Light");
    EXPECT_DOUBLE_EQ(attributes.fontSize, 40);
    EXPECT_EQ(attributes.foregroundColor, QColor(Qt::black));
    EXPECT_EQ(attributes.foregroundColor.alpha(), 255);

    FontSubstitution::setUnavailablePostScriptNamesForTesting({"HelveticaNeue-Light"});
    const AttributedText plain = Utils::defaultAttributedText();
    FontSubstitution::setUnavailablePostScriptNamesForTesting({});
    EXPECT_EQ(plain.string(), UFM::SAYS_CLICK_TO_EDIT_TEXT());
    for (const AttributedText::Run& run : plain.runs())
        EXPECT_EQ(run.attributes, TextAttributes());
}

TEST(TextHelperUtils, ANonEditableViewIsReadWholeEvenWithASelection)
{
    FakeTextView view(redBlue());
    view.m_selection = {0, 3};
    EXPECT_FALSE(Utils::colorContextFromTextView(&view));
    EXPECT_FALSE(Utils::fontNameContextFromTextView(&view));
    EXPECT_DOUBLE_EQ(Utils::fontSizeContextFromTextView(&view), 0.0);
    EXPECT_EQ(Utils::textAlignmentContextFromTextView(&view), Utils::kMixedAlignment);

    // Explicit ranges: each half reads as its own style.
    EXPECT_EQ(Utils::colorContextFromTextView(&view, {0, 3}), QColor(Qt::red));
    EXPECT_EQ(Utils::colorContextFromTextView(&view, {5, 2}), QColor(Qt::blue));
    EXPECT_FALSE(Utils::colorContextFromTextView(&view, {2, 4}));
}

TEST(TextHelperUtils, AnEditableViewReadsItsSelectionOrItsTypingAttributes)
{
    FakeTextView view(redBlue());
    view.m_editable = true;
    view.m_selection = {0, 3};
    EXPECT_EQ(Utils::colorContextFromTextView(&view), QColor(Qt::red));
    EXPECT_EQ(Utils::fontNameContextFromTextView(&view), QString("Courier"));
    EXPECT_DOUBLE_EQ(Utils::fontSizeContextFromTextView(&view), 12);
    EXPECT_EQ(Utils::textAlignmentContextFromTextView(&view), 0u);

    // A caret after "Bl": typing attributes for colour, font and size; the caret's paragraph for the alignment.
    view.m_selection = {6, 0};
    view.m_typing = style("Papyrus", 30, Qt::green, TextAttributes::Right);
    EXPECT_EQ(Utils::colorContextFromTextView(&view), QColor(Qt::green));
    EXPECT_EQ(Utils::fontNameContextFromTextView(&view), QString("Papyrus"));
    EXPECT_DOUBLE_EQ(Utils::fontSizeContextFromTextView(&view), 30);
    EXPECT_EQ(Utils::textAlignmentContextFromTextView(&view), 2u);

    // A caret at the end of the first line's break reads the second paragraph; one before it the first.
    EXPECT_EQ(Utils::textAlignmentContextFromTextView(&view, {4, 0}), 2u);
    EXPECT_EQ(Utils::textAlignmentContextFromTextView(&view, {3, 0}), 0u);
    // Selecting only the break widens to the first paragraph.
    EXPECT_EQ(Utils::textAlignmentContextFromTextView(&view, {3, 1}), 0u);
    EXPECT_EQ(Utils::textAlignmentContextFromTextView(&view, {3, 2}), Utils::kMixedAlignment);

    // Typing attributes without a colour read black; without a font, no name and 0.0.
    view.m_typing = TextAttributes();
    EXPECT_EQ(Utils::colorContextFromTextView(&view), QColor(Qt::black));
    EXPECT_FALSE(Utils::fontNameContextFromTextView(&view));
    EXPECT_DOUBLE_EQ(Utils::fontSizeContextFromTextView(&view), 0.0);
}

TEST(TextHelperUtils, EmptyTextsNaturalParagraphsAndColourlessRuns)
{
    FakeTextView empty{AttributedText()};
    EXPECT_EQ(Utils::textAlignmentContextFromTextView(&empty), 0u);
    EXPECT_EQ(Utils::textAlignmentContextFromTextView(&empty, {3, 5}), 0u);

    // Natural is the model's "no paragraph style": left, and equal to an explicit left.
    AttributedText mixedLeft(QStringLiteral("one\ntwo"), style("Courier", 12, QColor(), TextAttributes::Natural));
    mixedLeft.setAttributes(style("Courier", 12, Qt::black, TextAttributes::Left), {4, 3});
    FakeTextView view(mixedLeft);
    EXPECT_EQ(Utils::textAlignmentContextFromTextView(&view), 0u);
    // A run without a colour is black, the same as an explicit black.
    EXPECT_EQ(Utils::colorContextFromTextView(&view), QColor(Qt::black));

    // Paragraphs whose first characters agree read that alignment, whatever later characters hold; \r\n is one
    // break.
    AttributedText crlf(QStringLiteral("ab\r\ncd"), style("Courier", 12, Qt::black, TextAttributes::Right));
    FakeTextView crlfView(crlf);
    EXPECT_EQ(Utils::textAlignmentContextFromTextView(&crlfView), 1u);
}

TEST(TextHelperUtils, FontlessRunsCountAsAValueOfTheirOwn)
{
    AttributedText fontlessFirst(QStringLiteral("plain courier"));
    fontlessFirst.setAttributes(style("Courier", 12, Qt::black, 0), {6, 7});
    FakeTextView first(fontlessFirst);
    EXPECT_FALSE(Utils::fontNameContextFromTextView(&first));
    EXPECT_DOUBLE_EQ(Utils::fontSizeContextFromTextView(&first), 0.0);

    AttributedText fontlessLast(QStringLiteral("courier plain"), style("Courier", 12, Qt::black, 0));
    fontlessLast.setAttributes(TextAttributes(), {8, 5});
    FakeTextView last(fontlessLast);
    EXPECT_FALSE(Utils::fontNameContextFromTextView(&last));
    EXPECT_DOUBLE_EQ(Utils::fontSizeContextFromTextView(&last), 0.0);

    // Equal names with different sizes: a name, but mixed size.
    AttributedText sizes(QStringLiteral("small large"), style("Courier", 12, Qt::black, 0));
    sizes.setAttributes(style("Courier", 30, Qt::black, 0), {6, 5});
    FakeTextView sized(sizes);
    EXPECT_EQ(Utils::fontNameContextFromTextView(&sized), QString("Courier"));
    EXPECT_DOUBLE_EQ(Utils::fontSizeContextFromTextView(&sized), 0.0);
}

TEST(TextHelperUtils, NullViewsAndRangesPastTheEnd)
{
    EXPECT_FALSE(Utils::colorContextFromTextView(nullptr));
    EXPECT_FALSE(Utils::fontNameContextFromTextView(nullptr));
    EXPECT_DOUBLE_EQ(Utils::fontSizeContextFromTextView(nullptr), 0.0);
    EXPECT_EQ(Utils::textAlignmentContextFromTextView(nullptr), 0u);

    FakeTextView view(redBlue());
    view.m_editable = true;
    view.m_selection = {5, 1000};
    EXPECT_EQ(Utils::colorContextFromTextView(&view), QColor(Qt::blue));
    EXPECT_EQ(Utils::fontNameContextFromTextView(&view), QString("ArialMT"));
    EXPECT_EQ(Utils::textAlignmentContextFromTextView(&view), 2u);
    // A caret beyond the end is the caret at the end.
    EXPECT_EQ(Utils::textAlignmentContextFromTextView(&view, {-3, 0}), 0u);
    EXPECT_EQ(Utils::colorContextFromTextView(&view, {99, -4}),
              view.m_typing.foregroundColor.isValid() ? view.m_typing.foregroundColor : QColor(Qt::black));
}

TEST(CoreTextHelper, FillsTheScaledFrameAndReturnsATransparentImageOfTheFrame)
{
    ZERI_MMObject_Text object;
    object.setFrame(QRectF(10, 20, 30.5, 15));
    object.setBackgroundColor(Qt::red);
    QImage target(100, 100, QImage::Format_ARGB32_Premultiplied);
    target.fill(Qt::white);
    QImage image;
    {
        QPainter painter(&target);
        image = QVB_CoreTextHelper::createTextImageReferenceFromMixedMediaObject(object, &painter, 2.0);
    }
    EXPECT_EQ(image.size(), QSize(31, 15));
    EXPECT_EQ(image.pixelColor(5, 5).alpha(), 0);
    // y down: the frame's top-left at (20, 40) once scaled, its bottom-right just inside (81, 70).
    EXPECT_EQ(target.pixelColor(21, 41), QColor(Qt::red));
    EXPECT_EQ(target.pixelColor(79, 69), QColor(Qt::red));
    EXPECT_EQ(target.pixelColor(19, 41), QColor(Qt::white));
    EXPECT_EQ(target.pixelColor(21, 71), QColor(Qt::white));

    // An empty frame has no image; a scale that is not a number paints nothing.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    QImage untouched(4, 4, QImage::Format_ARGB32_Premultiplied);
    untouched.fill(Qt::white);
    {
        QPainter painter(&untouched);
        object.setFrame(QRectF(0, 0, 2, 2));
        EXPECT_EQ(QVB_CoreTextHelper::createTextImageReferenceFromMixedMediaObject(object, &painter, nan).size(),
                  QSize(2, 2));
    }
    EXPECT_EQ(untouched.pixelColor(0, 0), QColor(Qt::white));
    object.setFrame(QRectF(0, 0, 0, 10));
    EXPECT_TRUE(QVB_CoreTextHelper::createTextImageReferenceFromMixedMediaObject(object, nullptr, 1).isNull());
}

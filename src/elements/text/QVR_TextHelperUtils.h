#pragma once

#include <limits>
#include <optional>

#include <QColor>
#include <QString>

#include "foundation/DocumentFont.h"
#include "tessarine_data_model/AttributedText.h"

class AttachedTextView;

// What several parts of the application need to know about text: the line-height multiple that lays a font's
// lines out as the tablet's text views do, the text of a new text object, and the style of the selected part of a
// text view as the inspector's text toolbar shows it. Main thread (the readers read a view's storage).
class QVR_TextHelperUtils {
public:
    // The alignment reader's answer for a range whose paragraphs are aligned differently.
    static constexpr quint64 kMixedAlignment = std::numeric_limits<quint64>::max();

    // Keyed by the document's PostScript name, whichever installed font draws it. 1.0 for names not listed.
    static double lineHeightMultipleToApproximateIOSTextViewsForFont(const QString& postScriptName);
    static double lineHeightMultipleToApproximateIOSTextViewsForFont(const DocumentFont& font);

    // The click-to-edit prompt in the text object's default font, black, as one run; unstyled when that font cannot
    // be made.
    static AttributedText defaultAttributedText();

    // Readers over the view's selection while it is editable, else over its whole text. An empty range reads the
    // typing attributes (except the alignment, which reads the caret's paragraph). A null view reads no colour, no
    // name, 0.0 and 0.
    // The colour, or nullopt when mixed; a run without a colour counts as black.
    static std::optional<QColor> colorContextFromTextView(const AttachedTextView* view);
    static std::optional<QColor> colorContextFromTextView(const AttachedTextView* view, TextRange range);
    // The PostScript name, or nullopt when mixed or fontless; a run without a font counts as a value of its own.
    static std::optional<QString> fontNameContextFromTextView(const AttachedTextView* view);
    static std::optional<QString> fontNameContextFromTextView(const AttachedTextView* view, TextRange range);
    // The point size, or 0.0 when mixed or fontless.
    static double fontSizeContextFromTextView(const AttachedTextView* view);
    static double fontSizeContextFromTextView(const AttachedTextView* view, TextRange range);
    // The alignment of the paragraphs the range touches (each paragraph's is its first character's; natural reads
    // as left, 0), or kMixedAlignment.
    static quint64 textAlignmentContextFromTextView(const AttachedTextView* view);
    static quint64 textAlignmentContextFromTextView(const AttachedTextView* view, TextRange range);

    // The range the one-argument readers read: the selection while editable, else the whole text.
    static TextRange contextRangeOfTextView(const AttachedTextView* view);
};

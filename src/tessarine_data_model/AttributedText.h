#pragma once

#include <optional>
#include <vector>

#include <QColor>
#include <QJsonObject>
#include <QString>

// A range of UTF-16 code units, as QString indexes them.
struct TextRange {
    qsizetype location = 0;
    qsizetype length = 0;
    qsizetype end() const { return location + length; }
    friend bool operator==(const TextRange&, const TextRange&) = default;
};

// The attributes the model keeps for a run of text. Fonts are named by PostScript name (the substitution
// table maps them to installed fonts when drawing); sizes are points at 72 dpi. Other attributes of pasted or
// imported text are not kept.
struct TextAttributes {
    // Paragraph alignment: 0 left, 1 right, 2 centre, 3 justified, 4 natural.
    enum Alignment { Left = 0, Right = 1, Center = 2, Justified = 3, Natural = 4 };

    QString fontName;
    double fontSize = 0;
    QColor foregroundColor; // invalid: none
    int alignment = Natural;

    friend bool operator==(const TextAttributes&, const TextAttributes&) = default;
};

// Text with attributes over contiguous runs, the model's counterpart of an attributed string (kept apart from
// the foundation's QTextLayout-based AttributedString because documents must keep PostScript font names). Every
// character is covered by exactly one run; adjacent runs with equal attributes are merged, so equal texts with equal
// attributes compare equal.
//
// Dictionary form: {"string": text, "runs": [{"Name": PostScript name, "Size": "40", "Range": "{0, 5}",
// "color": "RRGGBBAA", "alignment": n}, ...]}.
class AttributedText {
public:
    struct Run {
        TextRange range;
        TextAttributes attributes;
        friend bool operator==(const Run&, const Run&) = default;
    };

    AttributedText() = default;
    explicit AttributedText(const QString& string, const TextAttributes& attributes = {});

    const QString& string() const { return m_string; }
    qsizetype length() const { return m_string.size(); }
    const std::vector<Run>& runs() const { return m_runs; }

    // nullopt at or beyond the end of the text; otherwise the attributes and, when asked, their run's range.
    std::optional<TextAttributes> attributesAtIndex(qsizetype index, TextRange* effectiveRange = nullptr) const;

    // The new characters take the attributes of the first replaced character, or for an insertion those of the
    // character before (after, at the start). The range is clamped to the text.
    void replaceCharacters(TextRange range, const QString& string);
    void setAttributes(const TextAttributes& attributes, TextRange range);

    QJsonObject jsonObject() const;
    // nullopt for a malformed form (runs must lie inside the text; gaps take the previous run's attributes).
    static std::optional<AttributedText> fromJson(const QJsonObject& object, QString* problem = nullptr);

    friend bool operator==(const AttributedText&, const AttributedText&) = default;

private:
    TextRange clamp(TextRange range) const;
    void normalize();

    QString m_string;
    std::vector<Run> m_runs;
};

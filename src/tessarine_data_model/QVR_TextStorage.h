#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "tessarine_data_model/AttributedText.h"

// The one text store of a text object. The text object keeps its attributed text here and a text view edits
// this same instance, so model and view never copy text back and forth.
//
// Edits are reported two ways: every primitive edit at once to the attached layout observers (a view's text
// layout), with the edit mask, range and change in length; and the bounds of a change through the two
// blocks, which beginEditing() and endEditing() call (no editing batch is opened: each primitive is
// processed at once). The text object uses the did-change block to mark itself changed.
//
// Main thread only.
class QVR_TextStorage {
public:
    enum EditMask { EditedAttributes = 1, EditedCharacters = 2 };
    using ChangeBlock = std::function<void(QVR_TextStorage& storage)>;
    using LayoutObserver = std::function<void(int editMask, TextRange range, qsizetype changeInLength)>;

    QVR_TextStorage() = default;
    explicit QVR_TextStorage(const AttributedText& string);
    QVR_TextStorage(const QVR_TextStorage&) = delete;
    QVR_TextStorage& operator=(const QVR_TextStorage&) = delete;

    // Replaces the whole content (reported to layout observers as one edit) with a copy of `string`.
    void setAttributedString(const AttributedText& string);
    const AttributedText& attributedString() const { return m_string; }
    const QString& string() const { return m_string.string(); }
    qsizetype length() const { return m_string.length(); }

    // nullopt at or beyond the end of the text.
    std::optional<TextAttributes> attributesAtIndex(qsizetype index, TextRange* effectiveRange = nullptr) const;
    void replaceCharacters(TextRange range, const QString& string);
    void setAttributes(const TextAttributes& attributes, TextRange range);

    void beginEditing();
    void endEditing();

    const ChangeBlock& onTextWillChange() const { return m_willChange; }
    void setOnTextWillChange(ChangeBlock block) { m_willChange = std::move(block); }
    const ChangeBlock& onTextDidChange() const { return m_didChange; }
    void setOnTextDidChange(ChangeBlock block) { m_didChange = std::move(block); }

    int addLayoutObserver(LayoutObserver observer);
    void removeLayoutObserver(int observerID);
    int layoutObserverCount() const { return int(m_layoutObservers.size()); }

protected:
    void edited(int editMask, TextRange range, qsizetype changeInLength);

private:
    AttributedText m_string;
    ChangeBlock m_willChange;
    ChangeBlock m_didChange;
    std::vector<std::pair<int, LayoutObserver>> m_layoutObservers;
    int m_nextObserverID = 1;
};

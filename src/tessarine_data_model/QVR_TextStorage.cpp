#include "tessarine_data_model/QVR_TextStorage.h"

QVR_TextStorage::QVR_TextStorage(const AttributedText& string)
    : m_string(string)
{
}

void QVR_TextStorage::setAttributedString(const AttributedText& string)
{
    const qsizetype oldLength = m_string.length();
    m_string = string;
    edited(EditedCharacters | EditedAttributes, {0, oldLength}, string.length() - oldLength);
}

std::optional<TextAttributes> QVR_TextStorage::attributesAtIndex(qsizetype index, TextRange* effectiveRange) const
{
    return m_string.attributesAtIndex(index, effectiveRange);
}

void QVR_TextStorage::replaceCharacters(TextRange range, const QString& string)
{
    m_string.replaceCharacters(range, string);
    edited(EditedCharacters, range, string.size() - range.length);
}

void QVR_TextStorage::setAttributes(const TextAttributes& attributes, TextRange range)
{
    m_string.setAttributes(attributes, range);
    edited(EditedAttributes, range, 0);
}

void QVR_TextStorage::beginEditing()
{
    if (m_willChange)
        m_willChange(*this);
}

void QVR_TextStorage::endEditing()
{
    if (m_didChange)
        m_didChange(*this);
}

int QVR_TextStorage::addLayoutObserver(LayoutObserver observer)
{
    const int id = m_nextObserverID++;
    m_layoutObservers.emplace_back(id, std::move(observer));
    return id;
}

void QVR_TextStorage::removeLayoutObserver(int observerID)
{
    std::erase_if(m_layoutObservers, [observerID](const auto& entry) { return entry.first == observerID; });
}

void QVR_TextStorage::edited(int editMask, TextRange range, qsizetype changeInLength)
{
    const auto observers = m_layoutObservers; // an observer may remove itself
    for (const auto& [id, observer] : observers)
        observer(editMask, range, changeInLength);
}

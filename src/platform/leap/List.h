#pragma once

#include <vector>

namespace Leap {

// An immutable, ordered list of handles (hands, pointables, gestures, screens, devices) in the order the
// library found them. Indexing outside the list gives the element type's invalid object.
template <class T> class List {
public:
    using const_iterator = typename std::vector<T>::const_iterator;

    List() = default;
    explicit List(std::vector<T> items)
        : m_items(std::move(items))
    {
    }

    int count() const { return int(m_items.size()); }
    bool isEmpty() const { return m_items.empty(); }
    T operator[](int index) const { return index >= 0 && index < count() ? m_items[std::size_t(index)] : T::invalid(); }
    const_iterator begin() const { return m_items.begin(); }
    const_iterator end() const { return m_items.end(); }

private:
    std::vector<T> m_items;
};

} // namespace Leap

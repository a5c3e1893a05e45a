#pragma once

#include <QHash>
#include <QString>
#include <memory>
#include <vector>

namespace ov::settings {

class CInitItem;

// The items of one level of the settings tree, in the order they were added
// (the settings file is written in that order). Names are the keys and
// compare without regard to letter case, as entries of the file do.
class CInitItems {
    using Storage = std::vector<std::unique_ptr<CInitItem>>;

public:
    template <typename Item, typename Base>
    class BasicIterator {
    public:
        explicit BasicIterator(Base position) : m_position(position) {}
        Item& operator*() const { return **m_position; }
        Item* operator->() const { return m_position->get(); }
        BasicIterator& operator++() {
            ++m_position;
            return *this;
        }
        bool operator==(const BasicIterator& other) const { return m_position == other.m_position; }

    private:
        Base m_position;
    };
    using Iterator = BasicIterator<CInitItem, Storage::iterator>;
    using ConstIterator = BasicIterator<const CInitItem, Storage::const_iterator>;

    CInitItems();
    ~CInitItems();
    CInitItems(CInitItems&& other) noexcept;
    CInitItems& operator=(CInitItems&& other) noexcept;
    CInitItems(const CInitItems&) = delete;
    CInitItems& operator=(const CInitItems&) = delete;

    // A new item at the end. A name that is already there gives the item that
    // is there, untouched: two items of one name could never be told apart.
    CInitItem& Add(const QString& name);
    // Removes the item with everything below it; false when there is none.
    bool Delete(const QString& name);
    // Null when there is no item of that name.
    CInitItem* Item(const QString& name);
    const CInitItem* Item(const QString& name) const;
    int Count() const { return static_cast<int>(m_items.size()); }
    bool IsEmpty() const { return m_items.empty(); }
    void Clear();

    Iterator begin() { return Iterator(m_items.begin()); }
    Iterator end() { return Iterator(m_items.end()); }
    ConstIterator begin() const { return ConstIterator(m_items.cbegin()); }
    ConstIterator end() const { return ConstIterator(m_items.cend()); }

private:
    static QString Key(const QString& name) { return name.toCaseFolded(); }

    Storage m_items;
    QHash<QString, CInitItem*> m_index;
};

}  // namespace ov::settings

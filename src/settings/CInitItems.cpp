#include "settings/CInitItems.h"

#include "settings/CInitItem.h"

#include <algorithm>

namespace ov::settings {

CInitItems::CInitItems() = default;
CInitItems::~CInitItems() = default;
CInitItems::CInitItems(CInitItems&& other) noexcept = default;
CInitItems& CInitItems::operator=(CInitItems&& other) noexcept = default;

CInitItem& CInitItems::Add(const QString& name) {
    const QString key = Key(name);
    if (CInitItem* existing = m_index.value(key)) return *existing;
    m_items.push_back(std::make_unique<CInitItem>(name));
    CInitItem& added = *m_items.back();
    m_index.insert(key, &added);
    return added;
}

bool CInitItems::Delete(const QString& name) {
    CInitItem* item = m_index.take(Key(name));
    if (!item) return false;
    m_items.erase(std::find_if(m_items.begin(), m_items.end(), [item](const auto& owned) { return owned.get() == item; }));
    return true;
}

CInitItem* CInitItems::Item(const QString& name) { return m_index.value(Key(name)); }

const CInitItem* CInitItems::Item(const QString& name) const { return m_index.value(Key(name)); }

void CInitItems::Clear() {
    m_index.clear();
    m_items.clear();
}

}  // namespace ov::settings

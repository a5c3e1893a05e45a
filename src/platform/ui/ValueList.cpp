#include "platform/ui/ValueList.h"

namespace ov::ui {

namespace {

bool SameValue(const QVariant& a, const QVariant& b) {
    if (a.isNull() || b.isNull()) return a.isNull() && b.isNull();
    bool okA = false, okB = false;
    const double x = a.toDouble(&okA);
    const double y = b.toDouble(&okB);
    if (okA && okB) return x == y;
    return a.toString() == b.toString();
}

}  // namespace

std::optional<std::size_t> ValueList::IndexOfValue(const QVariant& value) const {
    for (std::size_t i = 0; i < m_items.size(); ++i)
        if (SameValue(m_items[i].value, value)) return i;
    return std::nullopt;
}

std::optional<std::size_t> ValueList::IndexOfText(const QString& text) const {
    for (std::size_t i = 0; i < m_items.size(); ++i)
        if (m_items[i].text.compare(text, Qt::CaseInsensitive) == 0) return i;
    return std::nullopt;
}

QString ValueList::DisplayText(const QVariant& value) const {
    if (m_translate) {
        if (const auto index = IndexOfValue(value)) return m_items[*index].text;
    }
    return value.toString();
}

std::optional<QVariant> ValueList::ValueForText(const QString& text) const {
    if (const auto index = IndexOfText(text)) return m_items[*index].value;
    for (const ValueItem& item : m_items)
        if (item.value.toString() == text.trimmed()) return item.value;
    if (m_validate && !m_items.empty()) return std::nullopt;
    return QVariant(text);
}

}  // namespace ov::ui

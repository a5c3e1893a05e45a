#pragma once

#include <QString>
#include <QVariant>
#include <optional>
#include <vector>

namespace ov::ui {

struct ValueItem {
    QVariant value;
    QString text;
};

// The entries of a drop-down: the value list of a grid column or the items of
// a combo box. With translation on, a stored value is shown by its entry's
// text; with validation on, only listed values are accepted.
class ValueList {
public:
    enum class Style { None, DropDownList, DropDownCombo };

    void Clear() { m_items.clear(); }
    void Add(const QVariant& value, const QString& text) { m_items.push_back({value, text}); }
    const std::vector<ValueItem>& Items() const { return m_items; }
    std::size_t Size() const { return m_items.size(); }
    bool IsEmpty() const { return m_items.empty(); }

    Style GetStyle() const { return m_style; }
    void SetStyle(Style style) { m_style = style; }
    bool Translates() const { return m_translate; }
    void SetTranslate(bool on) { m_translate = on; }
    bool Validates() const { return m_validate; }
    void SetValidate(bool on) { m_validate = on; }
    bool Sorted() const { return m_sorted; }
    void SetSorted(bool on) { m_sorted = on; }

    // Values compare as numbers when both are numbers, else as texts.
    std::optional<std::size_t> IndexOfValue(const QVariant& value) const;
    // Texts compare without regard to letter case.
    std::optional<std::size_t> IndexOfText(const QString& text) const;
    // The text shown for a stored value: its entry's text when translating,
    // else the value itself as text.
    QString DisplayText(const QVariant& value) const;
    // The value an entered text stands for: the entry whose text (or value,
    // written as text) matches; nothing when validating and no entry matches,
    // the text itself when not validating.
    std::optional<QVariant> ValueForText(const QString& text) const;

private:
    std::vector<ValueItem> m_items;
    Style m_style = Style::DropDownList;
    bool m_translate = true;
    bool m_validate = true;
    bool m_sorted = false;
};

}  // namespace ov::ui

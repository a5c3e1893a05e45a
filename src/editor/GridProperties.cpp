#include "editor/GridProperties.h"

#include <cmath>

namespace ov::editor {

namespace {

bool Is(const QString& name, const char* property) { return name.compare(QLatin1String(property), Qt::CaseInsensitive) == 0; }

std::optional<double> Number(const settings::InitValue& value) {
    if (const double* d = std::get_if<double>(&value)) return *d;
    if (const bool* b = std::get_if<bool>(&value)) return *b ? -1.0 : 0.0;
    bool ok = false;
    const double parsed = std::get<QString>(value).trimmed().replace(u',', u'.').toDouble(&ok);
    return ok ? std::optional<double>(parsed) : std::nullopt;
}

std::optional<bool> Flag(const settings::InitValue& value) {
    if (const bool* b = std::get_if<bool>(&value)) return *b;
    if (const double* d = std::get_if<double>(&value)) return *d != 0;
    const QString text = std::get<QString>(value).trimmed();
    if (text.compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0) return true;
    if (text.compare(QStringLiteral("false"), Qt::CaseInsensitive) == 0) return false;
    return std::nullopt;  // nonsense leaves the property as it is
}

// Writes a setting into a field when it has the right kind; nonsense is refused.
bool SetInt(int& target, const settings::InitValue& value, int minimum) {
    const auto n = Number(value);
    if (!n || !std::isfinite(*n) || *n < minimum || *n > 1e7) return false;
    target = static_cast<int>(std::lround(*n));
    return true;
}

bool SetFlag(bool& target, const settings::InitValue& value) {
    const auto f = Flag(value);
    if (!f) return false;
    target = *f;
    return true;
}

}  // namespace

bool FontProperties::SetProperty(const QString& name, const std::optional<QVariant>&, const settings::InitValue& value) {
    if (Is(name, "Name")) {
        const QString* text = std::get_if<QString>(&value);
        if (!text || text->trimmed().isEmpty()) return false;
        m_font.name = text->trimmed();
        return true;
    }
    if (Is(name, "Size")) {
        const auto n = Number(value);
        if (!n || *n < 1 || *n > 200) return false;
        m_font.size = *n;
        return true;
    }
    if (Is(name, "Bold")) return SetFlag(m_font.bold, value);
    if (Is(name, "Italic")) return SetFlag(m_font.italic, value);
    if (Is(name, "Underline")) return SetFlag(m_font.underline, value);
    if (Is(name, "Strikethrough")) return SetFlag(m_font.strikethrough, value);
    if (Is(name, "Charset")) return SetInt(m_font.charset, value, 0);
    if (Is(name, "Weight")) return SetInt(m_font.weight, value, 0);
    return false;
}

std::optional<settings::InitValue> FontProperties::GetProperty(const QString& name, const std::optional<QVariant>&) const {
    if (Is(name, "Name")) return m_font.name;
    if (Is(name, "Size")) return m_font.size;
    if (Is(name, "Bold")) return m_font.bold;
    if (Is(name, "Italic")) return m_font.italic;
    if (Is(name, "Underline")) return m_font.underline;
    if (Is(name, "Strikethrough")) return m_font.strikethrough;
    if (Is(name, "Charset")) return static_cast<double>(m_font.charset);
    if (Is(name, "Weight")) return static_cast<double>(m_font.weight);
    return std::nullopt;
}

// One column, found again by its field or caption each time, so a rebuilt
// column set never leaves a stale reference.
class GridProperties::ColumnRef : public settings::PropertyObject {
public:
    ColumnRef(ui::GridModel& grid, int split, QString key) : m_grid(grid), m_split(split), m_key(std::move(key)) {}

    bool SetProperty(const QString& name, const std::optional<QVariant>&, const settings::InitValue& value) override {
        ui::GridColumn* c = Column();
        if (!c) return false;
        if (Is(name, "Width")) return SetInt(c->width, value, 0);
        if (Is(name, "Visible")) return SetFlag(c->visible, value);
        if (Is(name, "AllowSizing")) return SetFlag(c->allowSizing, value);
        if (Is(name, "Order")) return SetInt(c->order, value, 0);
        return false;
    }

    std::optional<settings::InitValue> GetProperty(const QString& name, const std::optional<QVariant>&) const override {
        const ui::GridColumn* c = const_cast<ColumnRef*>(this)->Column();
        if (!c) return std::nullopt;
        if (Is(name, "Width")) return static_cast<double>(c->width);
        if (Is(name, "Visible")) return c->visible;
        if (Is(name, "AllowSizing")) return c->allowSizing;
        if (Is(name, "Order")) return static_cast<double>(c->order);
        return std::nullopt;
    }

private:
    ui::GridColumn* Column() {
        const int index = m_grid.ColumnIndexInSplit(m_key, m_split);
        return index < 0 ? nullptr : &m_grid.Column(index);
    }

    ui::GridModel& m_grid;
    int m_split;
    QString m_key;
};

class GridProperties::Split : public settings::PropertyObject {
public:
    Split(ui::GridModel& grid, int split) : m_grid(grid), m_split(split) {}

    PropertyObject* Child(const QString& name, const std::optional<QVariant>& argument) override {
        if (!Is(name, "Columns") || !argument) return nullptr;
        const QString key = argument->toString();
        if (m_grid.ColumnIndexInSplit(key, m_split) < 0) return nullptr;
        auto& slot = m_columns[key.toLower()];
        if (!slot) slot = std::make_unique<ColumnRef>(m_grid, m_split, key);
        return slot.get();
    }

private:
    ui::GridModel& m_grid;
    int m_split;
    std::map<QString, std::unique_ptr<ColumnRef>> m_columns;
};

GridProperties::GridProperties(ui::GridModel& grid, bool singleSplit)
    : m_grid(grid), m_singleSplit(singleSplit), m_font(grid.font) {}

GridProperties::~GridProperties() = default;

settings::PropertyObject* GridProperties::Child(const QString& name, const std::optional<QVariant>& argument) {
    if (Is(name, "Font")) return &m_font;
    int split = -1;
    if (Is(name, "Splits") && argument && !m_singleSplit) split = argument->toInt();
    if (Is(name, "Columns") && m_singleSplit) {
        auto& slot = m_splits[1];
        if (!slot) slot = std::make_unique<Split>(m_grid, 1);
        return slot->Child(name, argument);
    }
    if (split != 0 && split != 1) return nullptr;
    auto& slot = m_splits[split];
    if (!slot) slot = std::make_unique<Split>(m_grid, split);
    return slot.get();
}

}  // namespace ov::editor

#pragma once

#include "platform/ui/GridModel.h"
#include "settings/PropertyObject.h"

#include <map>
#include <memory>

namespace ov::editor {

// The font of a grid or of the window, as settings address it ("tdbI.Font.Size").
class FontProperties : public settings::PropertyObject {
public:
    explicit FontProperties(ui::FontSettings& font) : m_font(font) {}
    bool SetProperty(const QString& name, const std::optional<QVariant>& argument, const settings::InitValue& value) override;
    std::optional<settings::InitValue> GetProperty(const QString& name, const std::optional<QVariant>& argument) const override;

private:
    ui::FontSettings& m_font;
};

// A grid as settings address it: "tdbI.Splits(1).Columns("Comment").Width",
// "tdbU.Columns("x1").Visible" for the one-split unit grid, "tdbI.Font.Name".
class GridProperties : public settings::PropertyObject {
public:
    GridProperties(ui::GridModel& grid, bool singleSplit);
    ~GridProperties() override;

    PropertyObject* Child(const QString& name, const std::optional<QVariant>& argument) override;

private:
    class Split;
    class ColumnRef;

    ui::GridModel& m_grid;
    bool m_singleSplit;
    FontProperties m_font;
    std::map<int, std::unique_ptr<Split>> m_splits;
};

}  // namespace ov::editor

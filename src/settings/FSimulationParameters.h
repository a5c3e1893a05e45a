#pragma once

#include "platform/ui/Form.h"

#include <functional>
#include <utility>
#include <vector>

namespace ov::settings {

// The parameter dialog of a simulation function: a grid of parameter names
// and values; only the values can be changed.
class FSimulationParameters : public ui::Form {
public:
    using Table = std::vector<std::pair<QString, QString>>;

    explicit FSimulationParameters(const Table& parameters);

    // The table with the values as the person left them.
    Table Parameters() const;

protected:
    void OnLoad() override;
    void OnEvent(ui::Control& control, ui::FormEvent event) override;
};

}  // namespace ov::settings

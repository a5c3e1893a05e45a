#include "settings/FSimulationParameters.h"

#include "settings/HelpTopics.h"
#include "settings/TextTable.h"

namespace ov::settings {

FSimulationParameters::FSimulationParameters(const Table& parameters)
    : ui::Form(QStringLiteral("FSimulationParameters")) {
    // This caption is the same in every language.
    caption = QStringLiteral("Simulationsparameter: Funktion ");
    ui::Control& grid = Add(ui::ControlType::Grid, QStringLiteral("tdbParameters"));
    grid.grid.columnCaptions = {Text(2101), Text(2102)};
    grid.grid.columnLocked = {true, false};
    for (const auto& [name, value] : parameters) grid.grid.rows.push_back({name, value});
    if (!parameters.empty()) {
        grid.grid.currentRow = 0;
        grid.grid.currentColumn = 1;
    }
    AddOkAndCancel();
    helpContextId = help::kSimulationParametersDialog;
}

void FSimulationParameters::OnLoad() {
    LocaliseCaptions(*this);
}

FSimulationParameters::Table FSimulationParameters::Parameters() const {
    Table table;
    for (const auto& row : Find(QStringLiteral("tdbParameters"))->grid.rows)
        table.emplace_back(row.size() > 0 ? row[0].toString() : QString(),
                           row.size() > 1 ? row[1].toString() : QString());
    return table;
}

void FSimulationParameters::OnEvent(ui::Control& control, ui::FormEvent event) {
    if (event != ui::FormEvent::Click) return;
    if (control.Name() == QStringLiteral("cmdOK")) {
        Hide(true);  // cell edits are written to the table as they are made
    } else if (control.Name() == QStringLiteral("cmdCancel")) {
        Hide(false);
    }
}

}  // namespace ov::settings

#pragma once

#include "platform/ui/Form.h"

#include <QSet>
#include <QString>

namespace ov::settings {
class CSimulationFunctions;
}

namespace ov::objects {

// The item dialog: every field of an item on three pages (common, extended,
// simulation), with the checks a person expects before OK is taken.
class FItem : public ui::Form {
  public:
    struct Names {
        QSet<QString> names;     // Name of every item of the device
        QSet<QString> accesses;  // ItemAccess of every item of the device
    };

    FItem(const settings::CSimulationFunctions& simulation, bool nameView);

    // What the dialog checks a changed name against, and the values it started with.
    void SetNames(Names names, const QString& previousName, const QString& previousAccess);

    // Opens the surrogate mode and options dialogs; set by the item unit.
    std::function<bool(int&)> chooseDefaultMode;
    std::function<bool(int&)> chooseOptions;

    static int OptionsValue(const QString& text);  // "&H5" and "5" are both 5
    static QString OptionsText(int value);

  protected:
    void OnLoad() override;
    void OnActivate() override;
    void OnEvent(ui::Control& control, ui::FormEvent event) override;

  private:
    ui::Control& AddField(ui::ControlType type, const char* name, const char* label, int labelText, int page);
    void AddEllipsis(const char* name, const char* box, int page);  // a "…" button beside a field
    void Confirm();
    void FocusName();
    void EnableSimulationParameters();

    const settings::CSimulationFunctions& m_simulation;
    bool m_nameView;
    Names m_names;
    QString m_previousName;
    QString m_previousAccess;
};

}  // namespace ov::objects

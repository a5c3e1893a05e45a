#pragma once

#include "platform/ui/Form.h"

#include <functional>

namespace ov::editor {
class NameGroups;
}

namespace ov::objects {

// The group dialog: name, sample time, read and write access and comment on
// the page "Standard"; activation mode, control object, hysteresis and time
// bias on "Extended". MGroup loads it from the record and writes it back.
class FGroup : public ui::Form {
  public:
    // chooseVariable is the studio's variable chooser (text, flags) -> name.
    FGroup(editor::NameGroups& names, std::function<QString(const QString&, int)> chooseVariable);

    bool Cancelled() const { return m_cancel; }
    // After loading: enables what the activation mode allows.
    void ShowActivationMode();

  protected:
    void OnLoad() override;
    void OnActivate() override;
    void OnEvent(ui::Control& control, ui::FormEvent event) override;

  private:
    ui::Control& AddField(ui::ControlType type, const QString& name, int captionText, int page, int unit = 0,
                          const QString& frame = QString());
    void Confirm();

    editor::NameGroups& m_names;
    std::function<QString(const QString&, int)> m_chooseVariable;
    bool m_cancel = true;
    QString m_oldName;
};

}  // namespace ov::objects

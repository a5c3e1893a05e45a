#pragma once

#include "platform/ui/Form.h"

namespace ov::objects {

// The cycle the structure, member, unit class and unit dialogs share: each
// opens cancelled with its name box focused and selected; OK is enabled
// while the name is not blank and is taken only when Accept() agrees;
// Enter anywhere acts as OK, Ctrl+Tab turns the page, Cancel hides.
class ObjectDialog : public ui::Form {
  public:
    bool Cancelled() const { return m_cancel; }

  protected:
    ObjectDialog(const QString& name, int captionText, int helpTopic);

    // The box whose text is the dialog's name; set before the dialog shows.
    void SetNameBox(const QString& box) { m_nameBox = box; }
    const QString& NameBox() const { return m_nameBox; }
    // The name the dialog opened with.
    const QString& StartName() const { return m_startName; }

    // A label and a control; unit labels go beside the box.
    ui::Control& AddField(ui::ControlType type, const QString& name, int labelText, int page = -1,
                          const QString& frame = QString());
    // Shows why OK was refused and gives the box the focus.
    void Refuse(const QString& message, const QString& box);

    // Validation when OK is pressed: true takes the dialog.
    virtual bool Accept() = 0;
    // Events other than the name, OK and Cancel.
    virtual void OnControlEvent(ui::Control& /*control*/, ui::FormEvent /*event*/) {}
    // Keys the dialog handles before Enter and Ctrl+Tab.
    virtual void OnDialogKey(int& /*keyCode*/, int /*shift*/) {}

    void OnLoad() override;
    void OnActivate() override;
    void OnEvent(ui::Control& control, ui::FormEvent event) override;
    void OnKeyDown(int& keyCode, int shift) override;

  private:
    void Confirm();
    void EnableOk();

    int m_captionText;
    QString m_nameBox = QStringLiteral("TxtName");
    QString m_startName;
    bool m_cancel = true;
};

}  // namespace ov::objects

#pragma once

#include "editor/CCheckField.h"
#include "platform/ui/Form.h"

#include <QVariantList>

namespace ov::editor {
class NameGroups;
}

namespace ov::objects {

// The device dialog: an OPC server device on the tab strip tabOPCServer
// (common, extended, data type conversion, communication optimisation,
// simulation), an own-driver device on tabOVDriver; the option buttons
// choose which. MDevice loads it from the record and writes it back.
class FDevice : public ui::Form {
  public:
    // The name group "Dev" checks the name at OK; the project argument and
    // the key (device ID and ProgID) go to the outside components it calls.
    FDevice(editor::NameGroups& names, const QString& projectArgument, const QVariantList& key, int languageId);

    bool Cancelled() const { return m_cancel; }
    bool IsOpcServer() const;
    // After loading: shows what the loaded values mean (the kind's page,
    // the flags structure access allows, the simulation tool's button).
    void ShowLoadedState();

  protected:
    void OnLoad() override;
    void OnActivate() override;
    void OnEvent(ui::Control& control, ui::FormEvent event) override;
    void OnKeyDown(int& keyCode, int shift) override;

  private:
    ui::Control& AddField(ui::ControlType type, const QString& name, int captionText, const QString& strip, int page);
    void AddFlag(const char* checkBox, int captionText, int page);
    QString NameBox() const;
    void ShowKind(bool opcServer);
    void EnableBytestreamFlags();
    void TakeTextsAcross(bool toOpcServer);
    void SeparatorTyped(ui::Control& box);
    void ChooseOpcServer();
    void ChooseDriver();
    void ConfigureSimulationServer();
    void Confirm();

    editor::NameGroups& m_names;
    QString m_projectArgument;
    QVariantList m_key;
    int m_languageId;
    bool m_cancel = true;
    QString m_oldName;
    QString m_lastSeparator;
    editor::CCheckField m_serverNameCheck;
    editor::CCheckField m_driverNameCheck;
};

}  // namespace ov::objects

#pragma once

#include "components/ComponentBase.h"
#include "platform/ui/Form.h"

#include <vector>

namespace ov::components {

struct PlcAddress;

// The configuration tool of an OPC server, as the device dialog and the
// device commands call it. A device's configuration is kept in the project
// settings, section "<tool ProgID>:<device ID>", so a device counts as
// configured once it has one. Members: LanguageID; IsConfigured, Clear and
// Show with (project, device name, key) and Show with a window handle in
// front; OVXShow(ProgID [, computer]) for the server's own settings, kept
// with the server's entry in the registry. The key is the device's ID and
// ProgID.
//
// For items entered by address (PLC addresses, see PlcAddress.h):
// GetAddressInfo gives example addresses; VariantType (set) is the type
// chosen for a row; GetVTFromAddress(address) gives that type when the
// address allows it, else the usual one, and sets ArraySize;
// GetItemVTList(address) lists the allowed types, for an array the one
// element type with the array flag.
class ServerConfigTool : public ComponentBase {
public:
    // A setting of the tool: its key, its caption text, a check box or a text box.
    struct Setting {
        const char* key;
        int caption;
        bool checkBox;
        const char* initial;
    };

    ServerConfigTool(QString progId, std::vector<Setting> deviceSettings);

    static constexpr const char* kSimulationProgId = "OVCfgOPC.Simulation";
    static constexpr const char* kDemoProgId = "OVCfgOPC.Demo";
    static std::unique_ptr<sys::Component> Simulation();
    static std::unique_ptr<sys::Component> Demo();

protected:
    bool Method(const QString& member, const QVariantList& arguments, QVariant* result, sys::CallError* error) override;

private:
    QString Section(const QVariant& key) const;
    int TypeFor(const PlcAddress& address) const;
    bool ShowDevice(const QString& project, const QString& deviceName, const QVariant& key, sys::CallError* error);
    bool ShowServer(const QString& versionedProgId, const QString& computer);

    QString m_progId;
    std::vector<Setting> m_deviceSettings;
};

// A dialog of named settings, each a text box or a check box.
class FSettings : public ui::Form {
public:
    FSettings(const QString& formName, const QString& caption, const std::vector<ServerConfigTool::Setting>& settings);

protected:
    void OnLoad() override;
    void OnEvent(ui::Control& control, ui::FormEvent event) override;
};

}  // namespace ov::components

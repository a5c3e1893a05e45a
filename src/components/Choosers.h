#pragma once

#include "components/ComponentBase.h"
#include "components/InstalledPrograms.h"
#include "platform/ui/Form.h"

#include <vector>

namespace ov::components {

// The OPC server chooser of the device chooser component: lists the OPC
// servers the installation registered and gives the one the person picks.
// Properties: UseRegistry, ProgID, Computer, LanguageID; after Show also
// Description and ConfigTool. Methods: Show (true when a server was chosen)
// and CheckServer(computer, ProgID with version), which fails for a server
// the installation does not know.
class OpcServerChooser : public ComponentBase {
public:
    static constexpr const char* kProgId = "OVSDeviceBrowser.OPCServer";
    OpcServerChooser();

protected:
    bool Method(const QString& member, const QVariantList& arguments, QVariant* result, sys::CallError* error) override;

private:
    bool Show(sys::CallError* error);
    bool CheckServer(const QString& computer, const QString& versionedProgId, sys::CallError* error);
};

// The own-driver chooser: lists the registered drivers. Show gives true when
// one was chosen; then DriverName, Description and Info tell which.
class DriverChooser : public ComponentBase {
public:
    static constexpr const char* kProgId = "OVSDeviceBrowser.OVDriver";
    DriverChooser();

protected:
    bool Method(const QString& member, const QVariantList& arguments, QVariant* result, sys::CallError* error) override;
};

// The chooser dialogs, one row per registered program.
class FOPCServerChooser : public ui::Form {
public:
    FOPCServerChooser(std::vector<OpcServerEntry> servers, const QString& progId, const QString& computer);
    const OpcServerEntry* Chosen() const;
    QString Computer() const;

protected:
    void OnLoad() override;
    void OnEvent(ui::Control& control, ui::FormEvent event) override;

private:
    std::vector<OpcServerEntry> m_servers;
};

class FDriverChooser : public ui::Form {
public:
    FDriverChooser(std::vector<DriverEntry> drivers, const QString& current);
    const DriverEntry* Chosen() const;

protected:
    void OnLoad() override;
    void OnEvent(ui::Control& control, ui::FormEvent event) override;

private:
    std::vector<DriverEntry> m_drivers;
};

}  // namespace ov::components

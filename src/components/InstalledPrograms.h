#pragma once

#include <QString>
#include <vector>

namespace ov::sys {
class Registry;
}

namespace ov::components {

// What the installation registered: the OPC servers a device can address and
// the system's own drivers, each a key of the registry stand-in.
//
//   SOFTWARE\Senmark GmbH\Orvana\4.0\OPCServers\<ProgID with version>
//       Description, Computer (empty: this computer), ConfigTool (a ProgID),
//       Endpoint ("opc.tcp://host:port", the device's computer replaces the
//       host) or NodeSet (a NodeSet2 file): where its address space is browsed
//   SOFTWARE\Senmark GmbH\Orvana\4.0\Drivers\<driver name>
//       Name (the driver's program file), Path (its folder),
//       Description, Info (a second descriptive text)
inline constexpr const char* kServersKey = "SOFTWARE\\Senmark GmbH\\Orvana\\4.0\\OPCServers";
inline constexpr const char* kDriversKey = "SOFTWARE\\Senmark GmbH\\Orvana\\4.0\\Drivers";

// The endpoint scripts/demo.sh serves the demo's address space on.
inline constexpr const char* kDemoEndpoint = "opc.tcp://127.0.0.1:48400";

struct OpcServerEntry {
    QString versionedProgId;
    QString computer;
    QString description;
    QString configTool;
};

struct DriverEntry {
    QString name;     // the key: the name a device stores after "<N>"
    QString program;  // value "Name"
    QString folder;   // value "Path"
    QString description;
    QString info;
};

// Both throw RegistryError when the registry cannot be read.
std::vector<OpcServerEntry> RegisteredOpcServers(const sys::Registry& registry);
std::vector<DriverEntry> RegisteredDrivers(const sys::Registry& registry);

// Registers the servers and the driver the demo project uses; the driver's
// programs are in driversFolder. False when the registry cannot be written.
bool RegisterDemoInstallation(sys::Registry& registry, const QString& driversFolder);
// The same, with the folder the program named at start (empty by default).
bool RegisterDemoInstallation(sys::Registry& registry);
void SetDemoDriversFolder(const QString& folder);

}  // namespace ov::components

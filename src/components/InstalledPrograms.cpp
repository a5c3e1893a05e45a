#include "components/InstalledPrograms.h"

#include "platform/system/Registry.h"

namespace ov::components {

namespace {
QString Key(const char* parent, const QString& child) { return QString::fromUtf8(parent) + u'\\' + child; }
}  // namespace

std::vector<OpcServerEntry> RegisteredOpcServers(const sys::Registry& registry) {
    std::vector<OpcServerEntry> servers;
    const auto hive = sys::Hive::LocalMachine;
    for (const QString& progId : registry.SubKeys(hive, QString::fromUtf8(kServersKey))) {
        const QString key = Key(kServersKey, progId);
        servers.push_back({progId, registry.ReadValue(hive, key, QStringLiteral("Computer")),
                           registry.ReadValue(hive, key, QStringLiteral("Description")),
                           registry.ReadValue(hive, key, QStringLiteral("ConfigTool"))});
    }
    return servers;
}

std::vector<DriverEntry> RegisteredDrivers(const sys::Registry& registry) {
    std::vector<DriverEntry> drivers;
    const auto hive = sys::Hive::LocalMachine;
    for (const QString& name : registry.SubKeys(hive, QString::fromUtf8(kDriversKey))) {
        const QString key = Key(kDriversKey, name);
        drivers.push_back({name, registry.ReadValue(hive, key, QStringLiteral("Name")),
                           registry.ReadValue(hive, key, QStringLiteral("Path")),
                           registry.ReadValue(hive, key, QStringLiteral("Description")),
                           registry.ReadValue(hive, key, QStringLiteral("Info"))});
    }
    return drivers;
}

namespace {
QString& DemoDriversFolder() {
    static QString folder;
    return folder;
}
}  // namespace

void SetDemoDriversFolder(const QString& folder) { DemoDriversFolder() = folder; }

bool RegisterDemoInstallation(sys::Registry& registry) { return RegisterDemoInstallation(registry, DemoDriversFolder()); }

bool RegisterDemoInstallation(sys::Registry& registry, const QString& driversFolder) {
    const auto hive = sys::Hive::LocalMachine;
    struct Value {
        QString key;
        const char* name;
        QString value;
    };
    const QString simulation = Key(kServersKey, QStringLiteral("OVOPC.Simulation.1"));
    const QString weather = Key(kServersKey, QStringLiteral("Demo.WeatherStation.2"));
    const QString modbus = Key(kDriversKey, QStringLiteral("ModbusTCP"));
    const Value values[] = {
        {simulation, "Description", QStringLiteral("Orvana simulation server")},
        {simulation, "ConfigTool", QStringLiteral("OVCfgOPC.Simulation")},
        // The simulation server's address space comes from a file; the
        // weather station is served live by scripts/demo.sh.
        {simulation, "NodeSet", QStringLiteral(OV_DEMO_NODESET)},
        {weather, "Endpoint", QString::fromUtf8(kDemoEndpoint)},
        {weather, "Description", QStringLiteral("Roof weather station")},
        {weather, "ConfigTool", QStringLiteral("OVCfgOPC.Demo")},
        {modbus, "Name", QStringLiteral("ovdemodrv.bin")},
        {modbus, "Path", driversFolder},
        {modbus, "Description", QStringLiteral("Modbus TCP (demo driver)")},
        {modbus, "Info", QStringLiteral("Reads and writes holding registers of Modbus TCP stations")},
    };
    bool written = true;
    for (const Value& v : values) written = registry.WriteValue(hive, v.key, QString::fromUtf8(v.name), v.value) && written;
    return written;
}

}  // namespace ov::components

#include "model/DemoProject.h"

#include "model/ProjectTemplate.h"
#include "platform/db/Connection.h"
#include "platform/db/DatabaseFile.h"
#include "platform/db/Recordset.h"

#include <QMap>
#include <initializer_list>
#include <utility>

namespace ov::model {

namespace {

using Values = std::initializer_list<std::pair<const char*, QVariant>>;

// Appends rows to one table through a recordset, the way the editor does.
class TableWriter {
public:
    TableWriter(db::Connection& connection, const QString& table) {
        m_rs.Open(QStringLiteral("SELECT * FROM %1 WHERE 0 = 1").arg(table), connection);
    }

    int Add(Values values) {
        m_rs.AddNew();
        for (const auto& [field, value] : values) m_rs.SetValue(QString::fromUtf8(field), value);
        m_rs.Update();
        return m_rs.Fields(0).Value().toInt();
    }

private:
    db::Recordset m_rs;
};

enum VarType { VT_EMPTY = 0, VT_I2 = 2, VT_I4 = 3, VT_R4 = 4, VT_R8 = 5, VT_BSTR = 8, VT_BOOL = 11, VT_UI1 = 17, VT_UI2 = 18, VT_BIT = 256 };
constexpr int kStructType = 12;
constexpr int kOwnDriverMode = 3;
constexpr int kSingleVariablesMode = 2;
constexpr int kBytestreamMode = 0;

struct DemoItem {
    const char* name;
    int dataType;
    int accessRights;
    double minVal;
    double maxVal;
    const char* comment;
};

}  // namespace

void WriteDemoContent(db::Connection& connection) {
    TableWriter devices(connection, QStringLiteral("TpdbDevices"));
    TableWriter items(connection, QStringLiteral("TpdbItems"));
    TableWriter groups(connection, QStringLiteral("TpdbGroups"));
    TableWriter connections(connection, QStringLiteral("TpdbConnections"));
    TableWriter structures(connection, QStringLiteral("TpdbStructDefs"));
    TableWriter members(connection, QStringLiteral("TpdbStructMembers"));
    TableWriter unitClasses(connection, QStringLiteral("TpdbUnitClasses"));
    TableWriter units(connection, QStringLiteral("TpdbUnits"));
    TableWriter simulation(connection, QStringLiteral("TpdbSimulation"));
    TableWriter redundancy(connection, QStringLiteral("TpdbAlign"));
    TableWriter texts(connection, QStringLiteral("TidxTexts"));

    // Structures: a status word of single bits, and a drive that nests it.
    const int statusWord = structures.Add({{"Name", QStringLiteral("StatusWord")}, {"OrderByOffset", true},
                                           {"Comment", QStringLiteral("Status bits of a drive")}});
    members.Add({{"ParentID", statusWord}, {"Name", QStringLiteral("Ready")}, {"OrderNum", 0.0}, {"DataType", VT_BIT}});
    members.Add({{"ParentID", statusWord}, {"Name", QStringLiteral("Running")}, {"OrderNum", 0.1}, {"DataType", VT_BIT}});
    members.Add({{"ParentID", statusWord}, {"Name", QStringLiteral("Fault")}, {"OrderNum", 0.2}, {"DataType", VT_BIT}});
    members.Add({{"ParentID", statusWord}, {"Name", QStringLiteral("Mode")}, {"OrderNum", 1.0}, {"DataType", VT_UI1}});
    const int drive = structures.Add({{"Name", QStringLiteral("Drive")}, {"OrderByOffset", false},
                                      {"Comment", QStringLiteral("Frequency converter")}});
    members.Add({{"ParentID", drive}, {"Name", QStringLiteral("Status")}, {"OrderNum", 1.0}, {"DataType", kStructType},
                 {"StructID", statusWord}});
    members.Add({{"ParentID", drive}, {"Name", QStringLiteral("Setpoint")}, {"OrderNum", 2.0}, {"DataType", VT_R4},
                 {"MinVal", 0.0}, {"MaxVal", 1500.0}});
    members.Add({{"ParentID", drive}, {"Name", QStringLiteral("Speed")}, {"OrderNum", 3.0}, {"DataType", VT_R4},
                 {"MinVal", 0.0}, {"MaxVal", 1500.0}});

    // Unit classes: a process class switched by an item, a display class by language.
    const int temperature = unitClasses.Add({{"Name", QStringLiteral("Temperature")}, {"SwitchType", 0},
                                             {"Switch", QStringLiteral("Line1.Tank.TempUnit")}});
    units.Add({{"ParentID", temperature}, {"SwitchID", 0}, {"x1", 0.0}, {"y1", 0.0}, {"x2", 100.0}, {"y2", 100.0},
               {"DecPointDisp", 1}, {"PhysicalUnitText", QStringLiteral("°C")}});
    units.Add({{"ParentID", temperature}, {"SwitchID", 1}, {"x1", 0.0}, {"y1", 32.0}, {"x2", 100.0}, {"y2", 212.0},
               {"DecPointDisp", 1}, {"PhysicalUnitText", QStringLiteral("°F")}});
    const int pressure = unitClasses.Add({{"Name", QStringLiteral("Pressure")}, {"SwitchType", 1},
                                          {"Switch", QStringLiteral("1031")}});
    units.Add({{"ParentID", pressure}, {"SwitchID", 1031}, {"x1", 0.0}, {"y1", 0.0}, {"x2", 1.0}, {"y2", 1.0},
               {"DecPointDisp", 2}, {"PhysicalUnitText", QStringLiteral("bar")}});
    units.Add({{"ParentID", pressure}, {"SwitchID", 1033}, {"x1", 0.0}, {"y1", 0.0}, {"x2", 1.0}, {"y2", 14.5038},
               {"DecPointDisp", 1}, {"PhysicalUnitText", QStringLiteral("psi")}});

    // Devices.
    const int plc = devices.Add({{"Name", QStringLiteral("PLC1")}, {"BlobMode", kSingleVariablesMode},
                                 {"ProgID", QStringLiteral("OVOPC.Simulation.1")},
                                 {"ProgIDConfigTool", QStringLiteral("OVCfgOPC.Simulation")},
                                 {"ShortDescriptor", QStringLiteral("Filling lines")},
                                 {"HierarchBrowseSeparator", QStringLiteral(".")}, {"IsBrowsed", true},
                                 // Items may be entered by address through its configuration tool.
                                 {"CreateItems", true}});
    const int driver = devices.Add({{"Name", QStringLiteral("Press")}, {"BlobMode", kOwnDriverMode},
                                    {"ProgID", QStringLiteral("<1>ModbusTCP")},
                                    {"ShortDescriptor", QStringLiteral("Hydraulic press")},
                                    {"HierarchBrowseSeparator", QString()}});
    const int weather = devices.Add({{"Name", QStringLiteral("Weather")}, {"BlobMode", kBytestreamMode},
                                     {"ProgID", QStringLiteral("Demo.WeatherStation.2")},
                                     {"ProgIDConfigTool", QStringLiteral("OVCfgOPC.Demo")},
                                     {"ShortDescriptor", QStringLiteral("Roof weather station")},
                                     {"HierarchBrowseSeparator", QString()}});

    const int fast = groups.Add({{"Name", QStringLiteral("Fast")}, {"UpdateRate", 100.0},
                                 {"Comment", QStringLiteral("Drives and valves")}});
    const int slow = groups.Add({{"Name", QStringLiteral("Slow")}, {"UpdateRate", 5000.0}, {"PercentDeadband", 0.5},
                                 {"Comment", QStringLiteral("Weather and counters")}});

    QMap<QString, int> ids;
    // The item ID is the name, behind accessPrefix where one is given.
    const auto addItems = [&](int deviceId, std::initializer_list<DemoItem> list, const char* accessPrefix = "") {
        for (const DemoItem& item : list) {
            const QString name = QString::fromUtf8(item.name);
            const int id = items.Add({{"DeviceID", deviceId},
                                      {"Name", name},
                                      {"ItemAccess", QString::fromUtf8(accessPrefix) + name},
                                      {"DataType", item.dataType},
                                      {"AccessRights", item.accessRights},
                                      {"MinVal", item.minVal},
                                      {"MaxVal", item.maxVal},
                                      {"Comment", QString::fromUtf8(item.comment)}});
            connections.Add({{"GroupID", 1}, {"ItemID", id}});
            ids.insert(name, id);
        }
    };
    addItems(0, {{"ShiftCounter", VT_I4, 3, 0, 0, "Counts the shifts of the day"},
                 {"OperatorName", VT_BSTR, 3, 0, 0, "Logged-in operator"}});
    addItems(plc, {{"Line1.Motor1.Speed", VT_R4, 1, 0, 1500, "rpm"},
                   {"Line1.Motor1.Current", VT_R4, 1, 0, 40, "A"},
                   {"Line1.Motor1.Running", VT_BOOL, 1, 0, 0, ""},
                   {"Line1.Motor2.Speed", VT_R4, 1, 0, 1500, "rpm"},
                   {"Line1.Motor2.Running", VT_BOOL, 1, 0, 0, ""},
                   {"Line1.Tank.Level", VT_R8, 1, 0, 100, "%; \"ultrasonic\" sensor"},
                   {"Line1.Tank.Temperature", VT_R4, 1, -20, 120, ""},
                   {"Line1.Tank.TempUnit", VT_I2, 3, 0, 1, "0 = Celsius, 1 = Fahrenheit"},
                   {"Line1.Conveyor.Drive", kStructType, 3, 0, 0, "Conveyor drive"},
                   {"Line2.Valve1.Open", VT_BOOL, 3, 0, 0, ""},
                   {"Line2.Valve1.Position", VT_UI2, 1, 0, 1000, "per mille"},
                   {"Line2.Pump.Pressure", VT_R4, 1, 0, 16, ""},
                   {"Line2.Pump.Alarm.High", VT_BOOL, 1, 0, 0, "Deep path"},
                   {"BatchCounter", VT_I4, 3, 0, 0, "At the top of the device"}});
    addItems(driver, {{"MW100", VT_I2, 3, 0, 0, "Press force"},
                      {"MW102", VT_I2, 3, 0, 0, "Stroke"},
                      {"M10.0", VT_BOOL, 3, 0, 0, "Press closed"}});
    // The weather station is live: its items are the weather nodes of the
    // test server scripts/demo.sh starts, under readable names.
    addItems(weather,
             {{"OutsideTemperature", VT_R8, 1, -40, 60, ""},
              {"Humidity", VT_R8, 1, 0, 100, "% relative humidity"},
              {"WindSpeed", VT_R8, 1, 0, 50, "m/s"},
              {"WindAlarmSetpoint", VT_R8, 3, 0, 50, "m/s; wind alarm limit"}},
             "nsu=urn:ovopc:alive;s=Alive.Weather.");

    connection.Execute(QStringLiteral("UPDATE TpdbItems SET StructID = ? WHERE ID = ?"),
                       {drive, ids.value(QStringLiteral("Line1.Conveyor.Drive"))});
    for (const char* name : {"Line1.Tank.Temperature", "OutsideTemperature"})
        connection.Execute(QStringLiteral("UPDATE TpdbItems SET UnitClassIDItemDependent = ? WHERE ID = ?"),
                           {temperature, ids.value(QString::fromUtf8(name))});
    connection.Execute(QStringLiteral("UPDATE TpdbItems SET UnitClassIDDisplayDependent = ? WHERE ID = ?"),
                       {pressure, ids.value(QStringLiteral("Line2.Pump.Pressure"))});

    for (const char* name : {"Line1.Motor1.Speed", "Line1.Motor2.Speed", "Line2.Valve1.Open", "Line2.Valve1.Position"})
        connections.Add({{"GroupID", fast}, {"ItemID", ids.value(QString::fromUtf8(name))}});
    // The weather is read every 5 s; its setpoint in the Standard group only, every second.
    for (const char* name : {"OutsideTemperature", "Humidity", "WindSpeed", "ShiftCounter"})
        connections.Add({{"GroupID", slow}, {"ItemID", ids.value(QString::fromUtf8(name))}});

    simulation.Add({{"ItemID", ids.value(QStringLiteral("Line1.Motor1.Speed"))},
                    {"SimulationFunction", QStringLiteral("Function1")},
                    {"SimulationParameters", QStringLiteral("-100;100;0;42;0")}});
    simulation.Add({{"ItemID", ids.value(QStringLiteral("Line1.Tank.Level"))},
                    {"SimulationFunction", QStringLiteral("Function2")},
                    {"SimulationParameters", QStringLiteral("0;100;0;1;-1;0;0;0")}});
    redundancy.Add({{"ItemID", ids.value(QStringLiteral("Line1.Tank.Level"))}});

    db::Recordset itemsGroup;
    itemsGroup.Open(QStringLiteral("SELECT ID FROM TidxGroups WHERE ParentID = 0 AND Type = -3"), connection);
    const int textGroup = itemsGroup.Fields(0).Value().toInt();
    const struct {
        const char* device;
        const char* item;
        const char* german;
        const char* english;
    } itemTexts[] = {
        {"PLC1", "Line1.Motor1.Speed", "Drehzahl Motor 1", "Motor 1 speed"},
        {"PLC1", "Line1.Tank.Level", "Füllstand Tank", "Tank level"},
        {"PLC1", "Line2.Valve1.Open", "Ventil 1 offen", "Valve 1 open"},
        {"Weather", "OutsideTemperature", "Außentemperatur", "Outside temperature"},
    };
    for (const auto& text : itemTexts) {
        const QString item = QString::fromUtf8(text.item);
        const int textId = texts.Add({{"Name", QString::fromUtf8(text.device) + u'.' + item},
                                      {"ParentID", textGroup},
                                      {"L1031", QString::fromUtf8(text.german)},
                                      {"L1033", QString::fromUtf8(text.english)}});
        connection.Execute(QStringLiteral("UPDATE TpdbItems SET TextID = ? WHERE ID = ?"), {textId, ids.value(item)});
    }
}

void CreateDemoProject(const QString& projectFile) {
    db::CreateDatabaseFile(projectFile, [](db::Connection& connection) {
        WriteProjectTemplate(connection);
        WriteDemoContent(connection);
    });
}

}  // namespace ov::model

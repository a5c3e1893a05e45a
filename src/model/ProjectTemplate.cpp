#include "model/ProjectTemplate.h"

#include "platform/db/Connection.h"
#include "platform/db/DatabaseFile.h"

#include <QStringList>

namespace ov::model {

namespace {

// Text columns compare without regard to letter case ("Motor" and "motor" are
// one name); Yes/No columns hold -1 and 0.
const char* const kTables[] = {
    R"(CREATE TABLE TpdbDevices (
        ID INTEGER PRIMARY KEY AUTOINCREMENT,
        Name VARCHAR(255) COLLATE NOCASE,
        BlobMode SMALLINT NOT NULL DEFAULT 0,
        ProgID VARCHAR(255) COLLATE NOCASE,
        ProgIDConfigTool VARCHAR(255),
        ShortDescriptor VARCHAR(255),
        HierarchBrowseSeparator VARCHAR(1),
        IsBrowsed BOOLEAN NOT NULL DEFAULT 0,
        CreateItems BOOLEAN NOT NULL DEFAULT 0,
        WriteSingleFieldElements BOOLEAN NOT NULL DEFAULT 0,
        Enabled BOOLEAN NOT NULL DEFAULT -1,
        Comment LONGTEXT))",
    // The column order lets the stored default display order of the item
    // grid show ItemAccess, AccessPath, AccessRights, FieldSize, the range,
    // unit classes and surrogate values in that order; ID stays first and
    // DeviceID third, where the item import expects them.
    R"(CREATE TABLE TpdbItems (
        ID INTEGER PRIMARY KEY AUTOINCREMENT,
        Name VARCHAR(255) COLLATE NOCASE,
        DeviceID INTEGER NOT NULL DEFAULT 0,
        MinVal DOUBLE DEFAULT 0,
        UnitClassIDItemDependent INTEGER NOT NULL DEFAULT 0,
        UnitClassIDDisplayDependent INTEGER NOT NULL DEFAULT 0,
        DefaultVal VARCHAR(255),
        DefaultMode INTEGER NOT NULL DEFAULT 0,
        WriteThru BOOLEAN NOT NULL DEFAULT 0,
        Options INTEGER NOT NULL DEFAULT 0,
        StructID INTEGER NOT NULL DEFAULT 0,
        DataType INTEGER NOT NULL DEFAULT 0,
        ItemAccess VARCHAR(255) COLLATE NOCASE,
        AccessPath VARCHAR(255),
        AccessRights INTEGER NOT NULL DEFAULT 3,
        FieldSize INTEGER NOT NULL DEFAULT 0,
        MaxVal DOUBLE DEFAULT 0,
        Enabled BOOLEAN NOT NULL DEFAULT -1,
        TextID INTEGER DEFAULT 0,
        Comment LONGTEXT))",
    R"(CREATE TABLE TpdbGroups (
        ID INTEGER PRIMARY KEY AUTOINCREMENT,
        Name VARCHAR(255) COLLATE NOCASE,
        UpdateRate DOUBLE NOT NULL DEFAULT 1000,
        ActiveMode INTEGER NOT NULL DEFAULT 0,
        Activation VARCHAR(255),
        AsyncRead BOOLEAN NOT NULL DEFAULT -1,
        AsyncWrite BOOLEAN NOT NULL DEFAULT -1,
        PercentDeadband DOUBLE NOT NULL DEFAULT 0,
        TimeBias DOUBLE NOT NULL DEFAULT 0,
        Enabled BOOLEAN NOT NULL DEFAULT -1,
        Comment LONGTEXT))",
    R"(CREATE TABLE TpdbConnections (
        ID INTEGER PRIMARY KEY AUTOINCREMENT,
        GroupID INTEGER NOT NULL DEFAULT 0,
        ItemID INTEGER NOT NULL DEFAULT 0))",
    R"(CREATE TABLE TpdbUnitClasses (
        ID INTEGER PRIMARY KEY AUTOINCREMENT,
        Name VARCHAR(255) COLLATE NOCASE,
        SwitchType INTEGER NOT NULL DEFAULT 0,
        Switch VARCHAR(255),
        Comment LONGTEXT))",
    R"(CREATE TABLE TpdbUnits (
        ID INTEGER PRIMARY KEY AUTOINCREMENT,
        ParentID INTEGER NOT NULL DEFAULT 0,
        SwitchID INTEGER NOT NULL DEFAULT 0,
        x1 DOUBLE NOT NULL DEFAULT 0,
        y1 DOUBLE NOT NULL DEFAULT 0,
        x2 DOUBLE NOT NULL DEFAULT 1,
        y2 DOUBLE NOT NULL DEFAULT 1,
        DecPointDisp INTEGER NOT NULL DEFAULT 0,
        PhysicalUnitText VARCHAR(255),
        PhysicalMinVal VARCHAR(255),
        PhysicalMaxVal VARCHAR(255)))",
    R"(CREATE TABLE TpdbStructDefs (
        ID INTEGER PRIMARY KEY AUTOINCREMENT CHECK (ID < 65536),
        Name VARCHAR(255) COLLATE NOCASE,
        OrderByOffset BOOLEAN NOT NULL DEFAULT 0,
        Comment LONGTEXT))",
    R"(CREATE TABLE TpdbStructMembers (
        ID INTEGER PRIMARY KEY AUTOINCREMENT,
        ParentID INTEGER NOT NULL DEFAULT 0,
        Name VARCHAR(255) COLLATE NOCASE,
        OrderNum DOUBLE NOT NULL DEFAULT 0,
        DataType INTEGER NOT NULL DEFAULT 0,
        StructID INTEGER NOT NULL DEFAULT 0,
        FieldSize INTEGER NOT NULL DEFAULT 0,
        MinVal DOUBLE DEFAULT 0,
        MaxVal DOUBLE DEFAULT 0,
        DefaultVal VARCHAR(255),
        UnitClassIDItemDependent INTEGER NOT NULL DEFAULT 0,
        UnitClassIDDisplayDependent INTEGER NOT NULL DEFAULT 0,
        TextID INTEGER DEFAULT 0,
        Comment LONGTEXT))",
    // One row per simulated or redundant item: the item's ID is the row key.
    R"(CREATE TABLE TpdbSimulation (
        ItemID INTEGER PRIMARY KEY,
        SimulationFunction VARCHAR(255),
        SimulationParameters VARCHAR(255)))",
    R"(CREATE TABLE TpdbAlign (
        ItemID INTEGER PRIMARY KEY))",
    R"(CREATE TABLE TidxGroups (
        ID INTEGER PRIMARY KEY AUTOINCREMENT,
        Name VARCHAR(255) COLLATE NOCASE,
        ParentID INTEGER NOT NULL DEFAULT 0,
        Type INTEGER NOT NULL DEFAULT 0,
        [Delete] BOOLEAN NOT NULL DEFAULT 0,
        Rename BOOLEAN NOT NULL DEFAULT 0))",
    R"(CREATE TABLE TidxTexts (
        ID INTEGER PRIMARY KEY AUTOINCREMENT,
        Name VARCHAR(255) COLLATE NOCASE,
        ParentID INTEGER NOT NULL DEFAULT 0,
        L1031 LONGTEXT,
        L1033 LONGTEXT))",
    R"(CREATE TABLE TcfgLanguages (
        LCID INTEGER PRIMARY KEY,
        kbLayout VARCHAR(16),
        Font VARCHAR(64)))",
};

struct TemplateIndex {
    const char* table;
    const char* name;
    QStringList columns;
    bool unique;
};

const TemplateIndex kIndexes[] = {
    {"TpdbDevices", "Name", {"Name"}, true},
    {"TpdbItems", "UniqueName", {"Name", "DeviceID"}, true},
    {"TpdbItems", "UniqueItemAccess", {"DeviceID", "ItemAccess"}, true},
    {"TpdbItems", "DeviceID", {"DeviceID"}, false},
    {"TpdbGroups", "Name", {"Name"}, true},
    {"TpdbConnections", "Connection", {"GroupID", "ItemID"}, true},
    {"TpdbConnections", "ItemID", {"ItemID"}, false},
    {"TpdbUnitClasses", "Name", {"Name"}, true},
    {"TpdbUnits", "UnitEntry", {"ParentID", "SwitchID"}, true},
    {"TpdbStructDefs", "Name", {"Name"}, true},
    {"TpdbStructMembers", "MemberName", {"ParentID", "Name"}, true},
    {"TidxTexts", "ParentID", {"ParentID"}, false},
};

// A fixed-column font description: name in 31 columns, then seven numbers of
// four columns each (size, bold, character set, italic, strikeout, underline, weight).
QString FontDescription(const QString& name, int size, int charset) {
    QString text = name.leftJustified(31, u' ', true);
    for (const int value : {size, 0, charset, 0, 0, 0, 400}) text += QString::number(value).rightJustified(4);
    return text;
}

}  // namespace

QString ProjectConnectionString(const QString& projectFile) {
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1;Mode=Read|Write|Share Deny None;")
        .arg(projectFile);
}

QString ProjectReadConnectionString(const QString& projectFile) {
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1;Mode=Read|Share Deny None;").arg(projectFile);
}

QStringList ProjectTemplateTables() {
    QStringList tables;
    for (const char* sql : kTables) tables << QString::fromUtf8(sql);
    return tables;
}

void WriteProjectTemplate(db::Connection& connection) {
    for (const QString& sql : ProjectTemplateTables()) connection.Execute(sql);
    for (const TemplateIndex& index : kIndexes)
        connection.CreateIndex(QString::fromUtf8(index.table),
                               {QString::fromUtf8(index.name), index.columns, index.unique, false});

    connection.Execute(QStringLiteral("INSERT INTO TpdbGroups (ID, Name) VALUES (1, ?)"),
                       {QString::fromUtf8(kDefaultGroupName)});
    connection.Execute(QStringLiteral("INSERT INTO TidxGroups (Name, ParentID, Type) VALUES ('Items', 0, -3)"));
    connection.Execute(QStringLiteral("INSERT INTO TcfgLanguages (LCID, kbLayout, Font) VALUES (1031, '00000407', ?)"),
                       {FontDescription(QStringLiteral("DejaVu Sans"), 10, 0)});
    connection.Execute(QStringLiteral("INSERT INTO TcfgLanguages (LCID, kbLayout, Font) VALUES (1033, '00000409', ?)"),
                       {FontDescription(QStringLiteral("DejaVu Sans"), 10, 0)});
}

void CreateProjectDatabase(const QString& projectFile) {
    db::CreateDatabaseFile(projectFile, [](db::Connection& connection) { WriteProjectTemplate(connection); });
}

}  // namespace ov::model

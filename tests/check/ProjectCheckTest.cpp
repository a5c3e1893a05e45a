// Check Project: a project another program left with exactly one instance
// of every rule gives exactly those findings; the demo gives no error;
// repairing deletes the orphans alone; projects without the optional
// tables and fields are checked all the same.

#include "check/ProjectCheck.h"
#include "platform/db/Changeset.h"
#include "platform/db/Connection.h"
#include "platform/db/Cursor.h"
#include "platform/system/Registry.h"
#include "settings/TextTable.h"
#include "support/TempProject.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace ov;

namespace {

class ProjectCheckTest : public ::testing::Test {
  protected:
    void SetUp() override {
        settings::TextTable::Instance().SetLanguage(settings::TextTable::kEnglish);
        db = project.Open();
    }
    void TearDown() override { settings::TextTable::Instance().SetLanguage(settings::TextTable::kGerman); }

    qint64 Insert(const QString& sql, std::initializer_list<QVariant> values = {}) {
        db->Execute(sql, values);
        return db->LastInsertId();
    }
    qint64 Device(const char* name, const QString& configTool = {}, bool enabled = true) {
        return Insert(QStringLiteral("INSERT INTO TpdbDevices (Name, ProgID, ProgIDConfigTool, Enabled) VALUES (?, "
                                     "'Test.Unregistered.1', ?, ?)"),
                      {QString::fromUtf8(name), configTool, enabled ? -1 : 0});
    }
    // An item, connected to group 1 unless told otherwise.
    qint64 Item(qint64 device, const char* name, const char* more = "", bool connected = true) {
        const qint64 id = Insert(QStringLiteral("INSERT INTO TpdbItems (DeviceID, Name, ItemAccess, DataType) VALUES (?, ?, ?, 5)"),
                                 {device, QString::fromUtf8(name), QString::fromUtf8(name)});
        if (*more) db->Execute(QStringLiteral("UPDATE TpdbItems SET %1 WHERE ID = %2").arg(QString::fromUtf8(more)).arg(id));
        if (connected) Connect(1, id);
        return id;
    }
    void Connect(qint64 group, qint64 item) {
        db->Execute(QStringLiteral("INSERT INTO TpdbConnections (GroupID, ItemID) VALUES (?, ?)"), {group, item});
    }
    qint64 Structure(const char* name, bool byOffset = false) {
        return Insert(QStringLiteral("INSERT INTO TpdbStructDefs (Name, OrderByOffset) VALUES (?, ?)"),
                      {QString::fromUtf8(name), byOffset ? -1 : 0});
    }
    qint64 Member(qint64 structure, const char* name, double order, int type, qint64 structId = 0) {
        return Insert(QStringLiteral("INSERT INTO TpdbStructMembers (ParentID, Name, OrderNum, DataType, StructID) VALUES "
                                     "(?, ?, ?, ?, ?)"),
                      {structure, QString::fromUtf8(name), order, type, structId});
    }
    qint64 Text(const char* german, const char* english) {
        return Insert(QStringLiteral("INSERT INTO TidxTexts (Name, ParentID, L1031, L1033) VALUES ('t', ?, ?, ?)"),
                      {itemsGroup, QString::fromUtf8(german), QString::fromUtf8(english)});
    }

    // Every rule once, in a project that is clean apart from them.
    void BreakEveryRuleOnce() {
        // The template's two languages, German and English, and its items group, made when missing.
        db::Cursor group(*db, QStringLiteral("SELECT ID FROM TidxGroups WHERE ParentID = 0 AND Type = -3"));
        itemsGroup = group.Next() ? group.Value(0).toLongLong()
                                  : Insert(QStringLiteral("INSERT INTO TidxGroups (Name, ParentID, Type) VALUES ('Items', 0, -3)"));
        const qint64 plc = Device("PLC");
        const qint64 good = Item(plc, "Good");
        db->Execute(QStringLiteral("UPDATE TpdbItems SET TextID = ? WHERE ID = ?"), {Text("gut", "good"), good});
        Item(plc, "Lonely", "", false);                                    // PV101
        Item(99, "Stray");                                                 // PV102
        Item(0, "Internal");                                               // clean: the internal variables
        Item(plc, "NoStruct", "DataType = 12, StructID = 77");             // PV103
        Item(plc, "NoProcess", "UnitClassIDItemDependent = 55");          // PV104
        Item(plc, "NoDisplay", "UnitClassIDDisplayDependent = 56");       // PV105
        Connect(88, good);                                                 // PV106
        Connect(1, 999);                                                   // PV107
        db->Execute(QStringLiteral("INSERT INTO TpdbSimulation (ItemID, SimulationFunction) VALUES (998, 'Ramp')"));  // PV108
        db->Execute(QStringLiteral("INSERT INTO TpdbAlign (ItemID) VALUES (997)"));                                   // PV109
        Text("verwaist", "orphan");                                        // PV110
        Member(66, "Astray", 0, 2);                                        // PV111
        const qint64 display = Insert(QStringLiteral("INSERT INTO TpdbUnitClasses (Name, SwitchType) VALUES ('Lang', 1)"));
        const qint64 process = Insert(QStringLiteral("INSERT INTO TpdbUnitClasses (Name, SwitchType) VALUES ('Temp', 0)"));
        Item(plc, "WrongProcess", qPrintable(QStringLiteral("UnitClassIDItemDependent = %1").arg(display)));   // PV201
        Item(plc, "WrongDisplay", qPrintable(QStringLiteral("UnitClassIDDisplayDependent = %1").arg(process)));  // PV202
        Item(plc, "Range", "MinVal = 10, MaxVal = 5");                     // PV203
        Item(plc, "Odd", "DataType = 99");                                 // PV204
        Item(plc, "Unbounded", "MinVal = 0, MaxVal = 0");                  // clean: no range
        const qint64 overlap = Structure("Overlap", true);
        Member(overlap, "Real", 0, 4);
        Member(overlap, "Int", 2, 2);                                      // PV301
        Member(overlap, "Bit", 4.3, 256);
        Member(overlap, "OtherBit", 4.4, 256);                             // clean: the next bit
        const qint64 loop1 = Structure("Loop1"), loop2 = Structure("Loop2");
        Member(loop1, "Next", 0, 12, loop2);
        Member(loop2, "Back", 0, 12, loop1);                               // PV302, for both
        Member(Structure("Holder"), "Gone", 0, 12, 4444);                  // PV303
        const qint64 addressed = Device("Addressed", QStringLiteral("OVCfgOPC.Demo"));
        Item(addressed, "MW10");
        Item(addressed, "Hello");                                          // PV401
        const qint64 programmed = Device("Programmed");
        QFile settings(project.Path().chopped(4) + QStringLiteral(".settings.ini"));
        ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
        settings.write(QStringLiteral("[PlcProgram]\n%1=%2\n").arg(programmed).arg(QStringLiteral(OV_FIXTURES "/plc/sample.st")).toUtf8());
        settings.close();
        Item(programmed, "I0.1");
        Item(programmed, "Nowhere");                                       // PV402
        const qint64 off = Device("Off", {}, false);
        db->Execute(QStringLiteral("INSERT INTO TpdbSimulation (ItemID, SimulationFunction) VALUES (?, 'Ramp')"),
                    {Item(off, "Simulated")});                             // PV501
        Insert(QStringLiteral("INSERT INTO TpdbGroups (Name) VALUES ('Empty')"));  // PV502
        Device("Idle");                                                    // PV503
        db->Execute(QStringLiteral("UPDATE TpdbItems SET TextID = ? WHERE Name = 'Lonely'"), {Text("nur deutsch", "")});  // PV504
    }

    std::vector<check::Finding> Check(check::CheckOptions options = {}) {
        options.registry = &registry;
        options.projectArgument = project.Path();
        return check::CheckProject(*db, options);
    }
    static QStringList Codes(const std::vector<check::Finding>& findings) {
        QStringList codes;
        for (const auto& f : findings) codes << f.code + u' ' + f.object;
        return codes;
    }
    int Rows(const char* table) {
        db::Cursor count(*db, QStringLiteral("SELECT Count(*) FROM %1").arg(QString::fromUtf8(table)));
        count.Next();
        return count.Value(0).toInt();
    }

    test::TempProject project;
    std::unique_ptr<db::Connection> db;
    QTemporaryDir dir;
    sys::Registry registry{dir.filePath(QStringLiteral("registry.ini"))};
    qint64 itemsGroup = 0;
};

TEST_F(ProjectCheckTest, EachRuleBrokenOnceGivesExactlyItsFinding) {
    BreakEveryRuleOnce();
    const auto findings = Check();
    EXPECT_EQ(Codes(findings), (QStringList{
                                   "PV102 #99:Stray",
                                   "PV103 PLC:NoStruct",
                                   "PV104 PLC:NoProcess",
                                   "PV105 PLC:NoDisplay",
                                   "PV106 TpdbConnections #" + QString::number(findings[4].id),
                                   "PV107 TpdbConnections #" + QString::number(findings[5].id),
                                   "PV108 TpdbSimulation #998",
                                   "PV109 TpdbAlign #997",
                                   "PV110 TidxTexts #" + QString::number(findings[8].id),
                                   "PV111 #66.Astray",
                                   "PV201 PLC:WrongProcess",
                                   "PV202 PLC:WrongDisplay",
                                   "PV301 Overlap.Int",
                                   "PV302 Loop1",
                                   "PV302 Loop2",
                                   "PV303 Holder.Gone",
                                   "PV101 PLC:Lonely",
                                   "PV203 PLC:Range",
                                   "PV204 PLC:Odd",
                                   "PV401 Addressed:Hello",
                                   "PV402 Programmed:Nowhere",
                                   "PV501 Off:Simulated",
                                   "PV502 Empty",
                                   "PV503 Idle",
                                   "PV504 TidxTexts #" + QString::number(findings[24].id) + " t",
                               }));
    // Errors first; every message names what is wrong in the interface language.
    EXPECT_EQ(findings.front().severity, check::Severity::Error);
    EXPECT_EQ(findings.back().severity, check::Severity::Note);
    EXPECT_EQ(findings[0].message, QStringLiteral("The item belongs to device #99, which does not exist."));
    EXPECT_EQ(findings[17].message, QStringLiteral("MinVal 10 is greater than MaxVal 5."));
    EXPECT_EQ(findings[13].message, QStringLiteral("The structure contains itself: Loop1 > Loop2 > Loop1."));
    EXPECT_EQ(findings[24].message, QStringLiteral("The text has nothing in language 1033."));

    check::CheckOptions errorsOf101And302;
    errorsOf101And302.least = check::Severity::Error;
    errorsOf101And302.rules = QStringList{"pv101", "PV302"};
    EXPECT_EQ(Codes(Check(errorsOf101And302)), (QStringList{"PV302 Loop1", "PV302 Loop2"}));
    EXPECT_EQ(check::UnknownRule({"PV101", "PV999"}), QStringLiteral("PV999"));
}

TEST_F(ProjectCheckTest, EveryStructureOnACycleIsNamedAlsoWhereCyclesShareStructures) {
    const qint64 a = Structure("A"), b = Structure("B"), c = Structure("C"), d = Structure("D"), e = Structure("E");
    Member(a, "b", 0, 12, b);
    Member(b, "c", 0, 12, c);
    Member(c, "a", 0, 12, a);
    Member(b, "d", 1, 12, d);
    Member(d, "c", 0, 12, c);  // D reaches itself only through C, A and B
    Member(e, "a", 0, 12, a);  // E uses the cycle without being on it
    check::CheckOptions cycles;
    cycles.rules = QStringList{"PV302"};
    const auto findings = Check(cycles);
    EXPECT_EQ(Codes(findings), (QStringList{"PV302 A", "PV302 B", "PV302 C", "PV302 D"}));
    EXPECT_EQ(findings[3].message, QStringLiteral("The structure contains itself: D > C > A > B > D."));
}

TEST_F(ProjectCheckTest, RepairDeletesTheOrphansAndNothingElse) {
    BreakEveryRuleOnce();
    const int items = Rows("TpdbItems"), connections = Rows("TpdbConnections"), texts = Rows("TidxTexts");
    const auto before = Check();
    // The item of no device and its connection; two orphan connections; the
    // simulation and redundancy rows; the unused text; the member.
    EXPECT_EQ(check::RepairOrphans(*db, before), 8);
    EXPECT_EQ(Rows("TpdbItems"), items - 1);
    EXPECT_EQ(Rows("TpdbConnections"), connections - 3);
    EXPECT_EQ(Rows("TidxTexts"), texts - 1);
    EXPECT_EQ(Rows("TpdbSimulation"), 1) << "the simulation of an item that exists stays";
    EXPECT_EQ(Rows("TpdbAlign"), 0);
    QStringList left = Codes(Check());
    EXPECT_EQ(left.filter(QStringLiteral("PV1")), (QStringList{"PV103 PLC:NoStruct", "PV104 PLC:NoProcess",
                                                                  "PV105 PLC:NoDisplay", "PV101 PLC:Lonely"}));
}

// After each piece of work the re-check of what it changed, merged into
// the findings before it, is what a full check finds.
TEST_F(ProjectCheckTest, ARecheckOfTheChangedRowsEndsWhereAFullCheckDoes) {
    BreakEveryRuleOnce();
    std::vector<check::Finding> findings = Check();
    const std::pair<const char*, std::vector<const char*>> works[] = {
        {"an item connected, one out of range mended, one deleted with its connection",
         {"INSERT INTO TpdbConnections (GroupID, ItemID) SELECT 1, ID FROM TpdbItems WHERE Name = 'Lonely'",
          "UPDATE TpdbItems SET MaxVal = 20 WHERE Name = 'Range'",
          "DELETE FROM TpdbConnections WHERE ItemID = (SELECT ID FROM TpdbItems WHERE Name = 'Stray')",
          "DELETE FROM TpdbItems WHERE Name = 'Stray'"}},
        {"a new item in no group with an unknown type and a wrong address",
         {"INSERT INTO TpdbItems (DeviceID, Name, ItemAccess, DataType) SELECT ID, 'New', 'Nonsense', 98 FROM TpdbDevices "
          "WHERE Name = 'Addressed'"}},
        {"the orphan connections and text deleted, a text given its English",
         {"DELETE FROM TpdbConnections WHERE GroupID = 88 OR ItemID = 999",
          "DELETE FROM TidxTexts WHERE L1033 = 'orphan'", "UPDATE TidxTexts SET L1033 = 'English now' WHERE L1031 = 'nur deutsch'"}},
        {"the empty group and idle device deleted, a structure's cycle broken",
         {"DELETE FROM TpdbGroups WHERE Name = 'Empty'", "DELETE FROM TpdbDevices WHERE Name = 'Idle'",
          "DELETE FROM TpdbStructMembers WHERE Name = 'Back'"}},
        {"the last item of a device moved to another, a unit class made a display class",
         {"UPDATE TpdbItems SET DeviceID = (SELECT ID FROM TpdbDevices WHERE Name = 'PLC') WHERE Name = 'Simulated'",
          "UPDATE TpdbUnitClasses SET SwitchType = 1 WHERE Name = 'Temp'"}},
    };
    for (const auto& [what, statements] : works) {
        SCOPED_TRACE(what);
        db::ChangeRecorder recorder(*db);
        for (const char* statement : statements) db->Execute(QString::fromUtf8(statement));
        const check::ChangedRows changed = check::ChangedRowsOf(recorder.Changes());
        ASSERT_FALSE(changed.everything) << "a few rows are re-checked one by one";
        check::CheckOptions options;
        options.registry = &registry;
        options.projectArgument = project.Path();
        findings = check::Merge(findings, check::CheckChanged(*db, changed, options));
        EXPECT_EQ(Codes(findings), Codes(Check()));
    }
    EXPECT_TRUE(Codes(findings).filter(QStringLiteral("PV101")).contains(QStringLiteral("PV101 Addressed:New")));
}

TEST_F(ProjectCheckTest, TheDemoHasNoErrorAndAProjectWithoutTheOptionalPartsIsCheckedToo) {
    test::TempProject demo(test::TempProject::Content::Demo);
    auto connection = demo.Open();
    check::CheckOptions errors;
    errors.least = check::Severity::Error;
    EXPECT_TRUE(check::CheckProject(*connection, errors).empty()) << Codes(check::CheckProject(*connection, errors)).join(u'\n').toStdString();

    BreakEveryRuleOnce();
    for (const char* drop : {"DROP TABLE TpdbSimulation", "DROP TABLE TpdbAlign", "ALTER TABLE TpdbItems DROP COLUMN TextID",
                             "ALTER TABLE TpdbStructMembers DROP COLUMN TextID"})
        db->Execute(QString::fromUtf8(drop));
    const QStringList codes = Codes(Check());
    for (const char* gone : {"PV108", "PV109", "PV110", "PV501"}) EXPECT_TRUE(codes.filter(QString::fromUtf8(gone)).isEmpty()) << gone;
    EXPECT_EQ(codes.filter(QStringLiteral("PV102")), QStringList{"PV102 #99:Stray"}) << "the other rules still run";
}

}  // namespace

// Items and structures from PLC programs: each format's sample imported into
// a device, imported again, and changed in the file; the plan a dry run
// shows and the question for what differs.

#include "OpcEditorTest.h"
#include "components/InstalledPrograms.h"
#include "host/CToolbox.h"
#include "host/Connect.h"
#include "opc/BrowseApply.h"
#include "opc/ItemBrowser.h"
#include "opc/PlcSource.h"
#include "platform/db/Cursor.h"
#include "platform/system/ScriptedSaveFileDialog.h"
#include "platform/system/SystemTools.h"
#include "plc/Readers.h"
#include "support/TempProject.h"

#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace ov;

namespace {

QString Fixture(const char* name) { return QStringLiteral(OV_FIXTURES "/plc/") + QString::fromUtf8(name); }

// A small structured text program; Change gives it with one text replaced.
const char* const kProgram = R"(
TYPE ST_Valve :
STRUCT
    Open : BOOL;
    Closed : BOOL;
    Position : REAL;
END_STRUCT
END_TYPE
VAR_GLOBAL
    a : INT;
    b AT %MW10 : WORD; (* Setpoint *)
    valve : ST_Valve;
END_VAR
PROGRAM MAIN
VAR
    c : BOOL;
    d : DINT;
END_VAR
END_PROGRAM
)";

class PlcImportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        db = project.Open();
        db->Execute(QStringLiteral("INSERT INTO TpdbDevices (Name, ProgID, HierarchBrowseSeparator) VALUES ('PLC', "
                                   "'OVOPC.Simulation.1', '.')"));
        device = static_cast<int>(db->LastInsertId());
    }

    // The program read and shown as the browse would show it, every variable ticked.
    struct Import {
        std::unique_ptr<opc::ItemBrowser> browser = std::make_unique<opc::ItemBrowser>();
        opc::BrowseLists lists;
        const std::vector<plc::PlcStructure>& Structures() const {
            return static_cast<const opc::PlcSource*>(browser->Source())->Program().structures;
        }
    };
    Import Prepare(const QString& file) {
        QString error;
        std::optional<plc::PlcProgram> program = plc::ReadPlcProgramFile(file, &error);
        EXPECT_TRUE(program) << error.toStdString();
        Import import;
        import.browser->SetExistingItems(opc::DeviceBrowseItems(*db, device, QStringLiteral("Name")));
        import.browser->SetSource(std::make_unique<opc::PlcSource>(file, program ? std::move(*program) : plc::PlcProgram{}));
        import.browser->tickWholeProgram = true;
        EXPECT_TRUE(import.browser->Start(&error)) << error.toStdString();
        import.lists = import.browser->Lists();
        return import;
    }
    opc::ApplyCounts Apply(const QString& file, opc::Answer answer = opc::Answer::YesToAll) {
        const Import import = Prepare(file);
        opc::ApplyRequest request;
        request.deviceId = device;
        request.structures = &import.Structures();
        opc::ApplyHooks hooks;
        hooks.ask = [this, answer](const QString& question) {
            questions << question;
            return answer;
        };
        opc::ApplyCounts counts;
        QString detail;
        EXPECT_TRUE(opc::ApplyBrowse(*db, import.lists, request, hooks, &counts, &detail)) << detail.toStdString();
        return counts;
    }
    QString Write(const QString& text) {
        const QString path = dir.filePath(QStringLiteral("program.st"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text.toUtf8());
        return path;
    }
    static QString Change(std::initializer_list<std::pair<const char*, const char*>> replacements) {
        QString text = QString::fromUtf8(kProgram);
        for (const auto& [from, to] : replacements) {
            EXPECT_TRUE(text.contains(QString::fromUtf8(from))) << from;
            text.replace(QString::fromUtf8(from), QString::fromUtf8(to));
        }
        return text;
    }
    // Rows of a query, their fields joined by "|".
    QStringList Rows(const QString& sql) {
        QStringList rows;
        db::Cursor cursor(*db, sql);
        while (cursor.Next()) {
            QStringList fields;
            for (int i = 0; i < cursor.ColumnCount(); ++i) fields << cursor.Value(i).toString();
            rows << fields.join(u'|');
        }
        return rows;
    }
    static QStringList Names(const std::vector<opc::BrowseItem>& items) {
        QStringList names;
        for (const opc::BrowseItem& item : items) names << item.name;
        return names;
    }

    test::TempProject project;
    std::unique_ptr<db::Connection> db;
    int device = 0;
    QTemporaryDir dir;
    QStringList questions;
};

// The structures the variables use, and those these use, by name.
QSet<QString> UsedStructures(const plc::PlcProgram& program) {
    QSet<QString> used;
    std::vector<QString> pending;
    for (const plc::PlcVariable& variable : program.variables) pending.push_back(variable.type.structure);
    while (!pending.empty()) {
        const QString name = pending.back();
        pending.pop_back();
        if (name.isEmpty() || used.contains(name)) continue;
        used.insert(name);
        for (const plc::PlcStructure& structure : program.structures)
            if (structure.name == name)
                for (const plc::PlcMember& member : structure.members) pending.push_back(member.type.structure);
    }
    return used;
}

class PlcSampleImportTest : public PlcImportTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(PlcSampleImportTest, TheSampleBecomesItsStructuresAndItemsAndASecondImportFindsNothingNew) {
    const QString file = Fixture(GetParam());
    QString error;
    const std::optional<plc::PlcProgram> program = plc::ReadPlcProgramFile(file, &error);
    ASSERT_TRUE(program) << error.toStdString();
    const opc::ApplyCounts counts = Apply(file);
    EXPECT_EQ(counts.added, static_cast<int>(program->variables.size()));
    EXPECT_EQ(counts.deleted + counts.updated + counts.structuresUpdated, 0);

    QStringList members, items;
    const QSet<QString> used = UsedStructures(*program);
    for (const plc::PlcStructure& structure : program->structures) {
        if (!used.contains(structure.name)) continue;
        for (const plc::PlcMember& member : structure.members)
            members << QStringList{structure.name, member.name, QString::number(member.orderNumber),
                                   QString::number(member.type.dataType), member.type.structure,
                                   QString::number(member.type.fieldSize), member.comment}
                           .join(u'|');
    }
    for (const plc::PlcVariable& variable : program->variables)
        items << QStringList{variable.path.join(u'.'), variable.address.isEmpty() ? variable.path.join(u'.') : variable.address,
                             QString::number(variable.type.dataType), variable.type.structure,
                             QString::number(variable.type.fieldSize), QString::number(variable.accessRights),
                             variable.comment, QStringLiteral("1")}
                     .join(u'|');
    EXPECT_EQ(counts.structuresAdded, used.size());
    EXPECT_EQ(Rows(QStringLiteral("SELECT d.Name, m.Name, m.OrderNum, m.DataType, COALESCE(s.Name, ''), m.FieldSize, "
                                  "COALESCE(m.Comment, '') FROM TpdbStructMembers m JOIN TpdbStructDefs d ON d.ID = m.ParentID "
                                  "LEFT JOIN TpdbStructDefs s ON s.ID = m.StructID AND m.StructID > 0 WHERE d.OrderByOffset <> 0 "
                                  "ORDER BY d.ID, m.ID")),
              members);
    EXPECT_EQ(Rows(QStringLiteral("SELECT i.Name, i.ItemAccess, i.DataType, COALESCE(s.Name, ''), i.FieldSize, i.AccessRights, "
                                  "COALESCE(i.Comment, ''), (SELECT group_concat(GroupID) FROM TpdbConnections WHERE ItemID = i.ID) "
                                  "FROM TpdbItems i LEFT JOIN TpdbStructDefs s ON s.ID = i.StructID AND i.StructID > 0 "
                                  "WHERE i.DeviceID = %1 ORDER BY i.ID")
                       .arg(device)),
              items);

    const Import again = Prepare(file);
    EXPECT_TRUE(again.lists.added.empty() && again.lists.removed.empty() && again.lists.inconsistent.empty())
        << Names(again.lists.added).join(u',').toStdString() << " / " << Names(again.lists.removed).join(u',').toStdString()
        << " / " << Names(again.lists.inconsistent).join(u',').toStdString();
    EXPECT_TRUE(opc::PlanStructures(*db, again.Structures(), again.lists).entries.empty());
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, PlcSampleImportTest,
                         ::testing::Values("sample.st", "sample.plcopen.xml", "sample.tpy", "sample-tags.xlsx"));

TEST_F(PlcImportTest, WhatLeftTheProgramIsDeletedAndAChangedTypeOrStructureIsTakenOverAfterTheQuestion) {
    Apply(Write(QString::fromUtf8(kProgram)));
    EXPECT_EQ(Rows(QStringLiteral("SELECT Name || '=' || ItemAccess FROM TpdbItems ORDER BY ID")),
              (QStringList{"a=a", "b=MW10", "valve=valve", "MAIN.c=MAIN.c", "MAIN.d=MAIN.d"}));
    const int connections = Rows(QStringLiteral("SELECT ID FROM TpdbConnections")).size();

    // a at the top and d in MAIN are gone; c and a member of the structure changed type.
    const QString changed = Write(Change({{"    a : INT;\n", ""}, {"    d : DINT;\n", ""}, {"c : BOOL", "c : INT"},
                                          {"Position : REAL", "Position : LREAL"}}));
    const Import plan = Prepare(changed);
    EXPECT_EQ(Names(plan.lists.removed), (QStringList{"a", "MAIN.d"}));
    EXPECT_EQ(Names(plan.lists.inconsistent), QStringList{"MAIN.c"});
    EXPECT_TRUE(plan.lists.added.empty());
    const auto structures = opc::PlanStructures(*db, plan.Structures(), plan.lists).entries;
    ASSERT_EQ(structures.size(), 1u) << "the structure of an unchanged item is compared too";
    EXPECT_EQ(structures[0].structure->name, QStringLiteral("ST_Valve"));
    EXPECT_TRUE(structures[0].difference.contains(QStringLiteral("Position")));

    const opc::ApplyCounts no = Apply(changed, opc::Answer::NoToAll);
    EXPECT_EQ(questions.size(), 1) << "No to all answers the item's question too";
    EXPECT_TRUE(questions[0].contains(QStringLiteral("ST_Valve")));
    EXPECT_EQ(no.deleted, 2);
    EXPECT_EQ(no.updated + no.structuresUpdated, 0);
    EXPECT_EQ(Rows(QStringLiteral("SELECT DataType FROM TpdbStructMembers WHERE Name = 'Position'")), QStringList{"4"});
    EXPECT_EQ(Rows(QStringLiteral("SELECT DataType FROM TpdbItems WHERE Name = 'MAIN.c'")), QStringList{"11"});
    EXPECT_EQ(Rows(QStringLiteral("SELECT ID FROM TpdbConnections")).size(), connections - 2) << "gone with their items";

    questions.clear();
    const opc::ApplyCounts yes = Apply(changed, opc::Answer::Yes);
    EXPECT_EQ(questions.size(), 2) << "the structure, then the item";
    EXPECT_EQ(yes.structuresUpdated + yes.updated, 2);
    EXPECT_EQ(Rows(QStringLiteral("SELECT DataType FROM TpdbStructMembers WHERE Name = 'Position'")), QStringList{"5"});
    EXPECT_EQ(Rows(QStringLiteral("SELECT DataType FROM TpdbItems WHERE Name = 'MAIN.c'")), QStringList{"2"});
    EXPECT_TRUE(Prepare(changed).lists.inconsistent.empty());
}

TEST_F(PlcImportTest, AMemberKeptByNameKeepsWhatThePersonGaveItAndOneNoLongerDeclaredGoes) {
    Apply(Write(QString::fromUtf8(kProgram)));
    db->Execute(QStringLiteral("UPDATE TpdbStructMembers SET MaxVal = 100 WHERE Name = 'Position'"));
    Apply(Write(Change({{"    Closed : BOOL;\n", ""}, {"Position : REAL", "Position : LREAL"}, {"Open : BOOL;", "Open : BOOL; Moving : BOOL;"}})));
    EXPECT_EQ(Rows(QStringLiteral("SELECT Name || '@' || OrderNum || ':' || DataType || '<' || MaxVal FROM TpdbStructMembers "
                                  "ORDER BY OrderNum")),
              (QStringList{"Open@0.0:256<0.0", "Moving@0.1:256<0.0", "Position@8.0:5<100.0"}));
}

TEST_F(PlcImportTest, AStructureOfTheProjectWithTheProgramsNameIsComparedNotDuplicated) {
    db->Execute(QStringLiteral("INSERT INTO TpdbStructDefs (Name) VALUES ('st_valve')"));
    const opc::ApplyCounts counts = Apply(Write(QString::fromUtf8(kProgram)));
    EXPECT_EQ(counts.structuresAdded, 0);
    EXPECT_EQ(counts.structuresUpdated, 1);
    EXPECT_EQ(Rows(QStringLiteral("SELECT Name FROM TpdbStructDefs")), QStringList{"st_valve"});
    EXPECT_EQ(Rows(QStringLiteral("SELECT s.Name FROM TpdbItems i JOIN TpdbStructDefs s ON s.ID = i.StructID")),
              QStringList{"st_valve"});
}

TEST_F(PlcImportTest, ARefusedStructureStopsTheImportBeforeAnyItem) {
    // Structure IDs are bounded: the next one cannot be written.
    db->Execute(QStringLiteral("INSERT INTO TpdbStructDefs (ID, Name) VALUES (65535, 'Last')"));
    const Import import = Prepare(Write(QString::fromUtf8(kProgram)));
    opc::ApplyRequest request;
    request.deviceId = device;
    request.structures = &import.Structures();
    QString detail;
    EXPECT_FALSE(opc::ApplyBrowse(*db, import.lists, request, {}, nullptr, &detail));
    EXPECT_TRUE(detail.contains(QStringLiteral("ST_Valve"))) << detail.toStdString();
    EXPECT_TRUE(Rows(QStringLiteral("SELECT ID FROM TpdbItems")).isEmpty());
    EXPECT_TRUE(Rows(QStringLiteral("SELECT ID FROM TpdbStructMembers")).isEmpty());
}

TEST_F(PlcImportTest, AFileInNoFormatOrUnreadableIsRefusedWithAMessageNamingIt) {
    QString error;
    EXPECT_FALSE(plc::ReadPlcProgramFile(Write(QStringLiteral("just some words\n")), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("program.st")) && error.contains(QStringLiteral("PLCopen"))) << error.toStdString();
    EXPECT_FALSE(plc::ReadPlcProgramFile(dir.filePath(QStringLiteral("missing.st")), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("missing.st"))) << error.toStdString();
}

// The command of the device menu in the editor on the demo project.
class PlcImportCommandTest : public test::OpcEditorTest {
  protected:
    void SetUp() override {
        Open();
        Click(plc);
        ClearShown();
    }
    // Chooses the file and takes what the dialog offers with OK.
    void Import(const QString& file) {
        Files().Queue(file);
        OnForm("FBrowseItemsOCX", [](ui::Form& f) { f.PressDefault(); });
        RunTool("mnuDeviceImportPlc");
    }
    QString Items() {
        return Query(QStringLiteral("SELECT group_concat(Name, ',') FROM (SELECT Name FROM TpdbItems WHERE DeviceID = 1 "
                                    "ORDER BY ID)"))
            .toString();
    }
    int StructureId(const char* name) {
        return Count(QStringLiteral("SELECT ID FROM TpdbStructDefs WHERE Name = '%1'").arg(QString::fromUtf8(name)));
    }
};

TEST_F(PlcImportCommandTest, TheProgramBecomesTheDevicesItemsInOneUndoStepAndItsFileIsRemembered) {
    const QString before = Items();
    const int structures = Count(QStringLiteral("SELECT Count(*) FROM TpdbStructDefs"));
    Import(Fixture("sample.st"));
    EXPECT_EQ(TimesShown("FBrowseItemsOCX"), 1);
    EXPECT_TRUE(Items().startsWith(QStringLiteral("xStart,wSetpoint,diCounter"))) << Items().toStdString();
    EXPECT_FALSE(Items().contains(QStringLiteral("Line1."))) << "the demo's items are not in the program";
    const int motor = StructureId("ST_Motor");
    ASSERT_GT(motor, 0);
    EXPECT_EQ(NodeText(host::nodekey::StructureKey(motor)), QStringLiteral("ST_Motor")) << "shown in the tree";
    EXPECT_EQ(Messages().size(), 1) << "the notes of the program, once";

    ASSERT_TRUE(harness.Session().Undo());
    EXPECT_EQ(Items(), before);
    EXPECT_EQ(Count(QStringLiteral("SELECT Count(*) FROM TpdbStructDefs")), structures);

    // The file chosen last for the device is where the next choice starts.
    Files().Queue(QString());
    RunTool("mnuDeviceImportPlc");
    EXPECT_EQ(Files().Calls().back().startFolder, Fixture("sample.st"));
    EXPECT_EQ(TimesShown("FBrowseItemsOCX"), 1) << "Cancel in the file dialog ends the command";
}

TEST_F(PlcImportCommandTest, AFileThatIsNoProgramIsRefusedBeforeTheDialogAndChangesNothing) {
    const QString before = Items();
    Files().Queue(Fixture("sample-tags.xlsx").replace(QStringLiteral("sample-tags.xlsx"), QStringLiteral("make-xlsx.sh")));
    RunTool("mnuDeviceImportPlc");
    EXPECT_EQ(TimesShown("FBrowseItemsOCX"), 0);
    ASSERT_EQ(Messages().size(), 1);
    EXPECT_TRUE(Messages()[0].contains(QStringLiteral("make-xlsx.sh"))) << Messages()[0].toStdString();
    EXPECT_EQ(Items(), before);
}

TEST_F(PlcImportCommandTest, TheCommandIsOfferedOnEveryDeviceToThoseWhoMayEdit) {
    const auto shown = [this](const QString& key, bool fromTree = true) {
        Click(key);
        Window().ComputeAvailability(key, fromTree);
        return Window().abr().IsVisible(QStringLiteral("mnuDeviceImportPlc"));
    };
    EXPECT_TRUE(shown(plc));
    EXPECT_TRUE(shown(plc, false)) << "in the menu bar too";
    EXPECT_TRUE(shown(host::nodekey::DeviceKey(2, QStringLiteral("."), true))) << "a device of the system's own driver";
    EXPECT_FALSE(shown(host::nodekey::GroupKey(1)));
    qint16 level = 2;
    bool overwrite = true;
    host::CToolbox().SetExternalAuthorizationLevel(level, overwrite);
    EXPECT_FALSE(shown(plc)) << "a level that may not edit";
    level = 5;
    host::CToolbox().SetExternalAuthorizationLevel(level, overwrite);
}

}  // namespace

// The index texts of items and members, one record per text in every
// project language, as another program sees them in the file.

#include "model/CIndexTexts.h"
#include "model/DataConnection.h"
#include "platform/db/Recordset.h"
#include "settings/TextTable.h"
#include "support/TempProject.h"

#include <gtest/gtest.h>

using namespace ov;
using model::CIndexTexts;
using ov::test::TempProject;

namespace {

const QChar Y = QChar(0xFF);

QString DeviceKey(int id) { return QStringLiteral("OPCD") + QString::number(id) + Y + u'.' + Y + u'O'; }
QString StructureKey(int id) { return QStringLiteral("OPCS") + QString::number(id); }

class CIndexTextsTest : public ::testing::Test {
protected:
    void SetUp() override {
        data.Open(project.Path());
        plc = Insert(QStringLiteral("INSERT INTO TpdbDevices (Name) VALUES ('PLC1')"), QStringLiteral("TpdbDevices"));
        texts.Init(data);
    }
    // A text of an item of PLC1.
    int Change(const QString& item, const QVariant& id, const QString& text, int lcid = 1031) {
        return texts.ChangeItemText(DeviceKey(plc), item, id, text, lcid);
    }

    int Insert(const QString& sql, const QString& table, db::Connection* connection = nullptr) {
        db::Connection& c = connection ? *connection : data.Connection();
        c.Execute(sql);
        return Value(c, QStringLiteral("SELECT MAX(ID) FROM ") + table).toInt();
    }

    static QVariant Value(db::Connection& connection, const QString& sql) {
        db::Recordset rs;
        rs.Open(sql, connection);
        return rs.IsEOF() ? QVariant() : rs.Fields(0).Value();
    }

    // What another program sees in the file.
    db::Connection& Other() {
        if (!other) other = project.Open();
        return *other;
    }
    QVariant Stored(int textId, const char* column) {
        return Value(Other(), QStringLiteral("SELECT %1 FROM TidxTexts WHERE ID = %2").arg(QLatin1String(column)).arg(textId));
    }
    int TextCount() { return Value(Other(), QStringLiteral("SELECT COUNT(*) FROM TidxTexts")).toInt(); }

    TempProject project;
    model::DataConnection data;
    std::unique_ptr<db::Connection> other;
    CIndexTexts texts;
    int plc = 0;
};

TEST_F(CIndexTextsTest, FirstTextOfAnItemCreatesARecordNamedAfterDeviceAndItemABlankTextNone) {
    ASSERT_TRUE(texts.TextsEnabled());
    for (const QVariant& none : {QVariant(), QVariant(0), QVariant(QString())}) {
        const int id = Change(QStringLiteral("Motor.Speed"), none, QStringLiteral(" An "));
        ASSERT_GT(id, 0);
        EXPECT_EQ(Stored(id, "Name").toString(), QStringLiteral("PLC1.Motor.Speed"));
        EXPECT_EQ(Stored(id, "ParentID").toInt(), texts.ItemsGroupId());
        EXPECT_TRUE(Stored(id, "L1033").isNull());
        EXPECT_EQ(texts.GetItemText(QString::number(id), 1031), QStringLiteral(" An "));
        EXPECT_EQ(texts.GetItemText(id, 1033), QString());
    }
    EXPECT_EQ(TextCount(), 3);
    EXPECT_EQ(texts.GetItemText(0, 1031), QString());
    EXPECT_EQ(texts.GetItemText(QVariant(), 1031), QString());
    // A blank text without a record creates none.
    for (const QVariant& none : {QVariant(), QVariant(0), QVariant(QString()), QVariant(4711)})
        EXPECT_EQ(Change(QStringLiteral("Motor"), none, QStringLiteral("  ")), 0);
    EXPECT_EQ(TextCount(), 3);
}

TEST_F(CIndexTextsTest, RecordLivesAsLongAsOneLanguageHasText) {
    const int id = Change(QStringLiteral("Motor"), QVariant(), QStringLiteral("Motor an"));
    EXPECT_EQ(Change(QStringLiteral("Motor"), id, QStringLiteral("Motor on"), 1033), id);
    EXPECT_EQ(Change(QStringLiteral("Motor"), id, QStringLiteral("Motor ein")), id);
    EXPECT_EQ(Stored(id, "L1031").toString(), QStringLiteral("Motor ein"));

    EXPECT_EQ(Change(QStringLiteral("Motor"), id, QStringLiteral(" \t")), id);
    EXPECT_EQ(Stored(id, "L1031").toString(), QString());
    EXPECT_EQ(texts.GetItemText(id, 1033), QStringLiteral("Motor on"));

    EXPECT_EQ(Change(QStringLiteral("Motor"), id, QString(), 1033), 0);
    EXPECT_EQ(TextCount(), 0);
    EXPECT_EQ(texts.GetItemText(id, 1033), QString());
}

TEST_F(CIndexTextsTest, OwnerNameComesFromTheKeysKind) {
    // Same ID as the device: only the key's kind tells them apart.
    const int drive = Insert(QStringLiteral("INSERT INTO TpdbStructDefs (ID, Name) VALUES (%1, 'Drive')").arg(plc),
                             QStringLiteral("TpdbStructDefs"));
    texts.Init(data);
    // Owners made after Init, here and by another program, are found.
    const int added = Insert(QStringLiteral("INSERT INTO TpdbDevices (Name) VALUES ('Weather')"), QStringLiteral("TpdbDevices"));
    const int elsewhere = Insert(QStringLiteral("INSERT INTO TpdbStructDefs (Name) VALUES ('Valve')"),
                                 QStringLiteral("TpdbStructDefs"), &Other());
    // Internal variables and unknown owners have no name to put in front.
    const std::tuple<QString, const char*, const char*> owners[] = {
        {StructureKey(drive), "Speed", "Drive.Speed"}, {DeviceKey(0), "Counter", "Counter"}, {"OPCS", "Loose", "Loose"},
        {DeviceKey(added), "Temp", "Weather.Temp"}, {StructureKey(elsewhere), "Open", "Valve.Open"}};
    for (const auto& [key, item, name] : owners) {
        const int id = texts.ChangeItemText(key, QString::fromUtf8(item), 0, QStringLiteral("x"), 1033);
        EXPECT_EQ(Stored(id, "Name").toString(), QString::fromUtf8(name)) << key.toStdString();
    }
}

TEST_F(CIndexTextsTest, LongNamesAreCutToTheNameFieldAndTheTextIsKept) {
    const QString longName = QString(200, u'D');
    data.Connection().Execute(QStringLiteral("UPDATE TpdbDevices SET Name = ? WHERE ID = ?"), {longName, plc});
    texts.Init(data);
    const int id = Change(QString(200, u'I'), 0, QStringLiteral("Text"));
    ASSERT_GT(id, 0);
    EXPECT_EQ(Stored(id, "Name").toString(), (longName + u'.' + QString(200, u'I')).left(255));
    EXPECT_EQ(Stored(id, "L1031").toString(), QStringLiteral("Text"));
}

TEST_F(CIndexTextsTest, CopyTakesEveryLanguageUnderTheNewName) {
    const int source = Change(QStringLiteral("A"), 0, QStringLiteral("Eins"));
    Change(QStringLiteral("A"), source, QStringLiteral("One"), 1033);

    const int copy = texts.CopyItemText(DeviceKey(plc), source, QStringLiteral("B"));
    ASSERT_GT(copy, 0);
    EXPECT_NE(copy, source);
    EXPECT_EQ(Stored(copy, "Name").toString(), QStringLiteral("PLC1.B"));
    EXPECT_EQ(Stored(copy, "ParentID").toInt(), texts.ItemsGroupId());
    EXPECT_EQ(texts.GetItemText(copy, 1031), QStringLiteral("Eins"));
    EXPECT_EQ(texts.GetItemText(copy, 1033), QStringLiteral("One"));
    // The copy is a text of its own.
    Change(QStringLiteral("B"), copy, QStringLiteral("Zwei"));
    EXPECT_EQ(texts.GetItemText(source, 1031), QStringLiteral("Eins"));

    const int count = TextCount();
    for (const QVariant& none : {QVariant(), QVariant(QString()), QVariant(0), QVariant(copy + 100)})
        EXPECT_EQ(texts.CopyItemText(DeviceKey(plc), none, QStringLiteral("C")), 0);
    EXPECT_EQ(TextCount(), count);
}

TEST_F(CIndexTextsTest, RenameAndDeleteTouchOnlyAnExistingRecord) {
    const int id = Change(QStringLiteral("Old"), 0, QStringLiteral("Text"));
    texts.RenameText(DeviceKey(plc), id, QStringLiteral("New"));
    EXPECT_EQ(Stored(id, "Name").toString(), QStringLiteral("PLC1.New"));
    texts.RenameText(DeviceKey(0), QString::number(id), QStringLiteral("Newer"));
    EXPECT_EQ(Stored(id, "Name").toString(), QStringLiteral("Newer"));
    EXPECT_EQ(texts.GetItemText(id, 1031), QStringLiteral("Text"));

    texts.RenameText(DeviceKey(plc), id + 1, QStringLiteral("Nobody"));
    texts.RenameText(DeviceKey(plc), QVariant(), QStringLiteral("Nobody"));
    texts.DeleteItemText(id + 1);
    texts.DeleteItemText(QVariant());
    EXPECT_EQ(TextCount(), 1);

    texts.DeleteItemText(id);
    EXPECT_EQ(TextCount(), 0);
    EXPECT_EQ(texts.GetItemText(id, 1031), QString());
}

TEST_F(CIndexTextsTest, TextDeletedElsewhereReadsEmptyAndAChangeStartsANewRecord) {
    const int id = Change(QStringLiteral("Motor"), 0, QStringLiteral("Text"));
    EXPECT_EQ(texts.GetItemText(id, 1031), QStringLiteral("Text"));
    Other().Execute(QStringLiteral("DELETE FROM TidxTexts WHERE ID = ?"), {id});

    EXPECT_EQ(texts.GetItemText(id, 1031), QString());
    const int renewed = Change(QStringLiteral("Motor"), id, QStringLiteral("Neu"));
    EXPECT_GT(renewed, 0);
    EXPECT_NE(renewed, id);
    EXPECT_EQ(texts.GetItemText(renewed, 1031), QStringLiteral("Neu"));
}

TEST_F(CIndexTextsTest, WithoutATextColumnOrTextIdsNothingIsReadOrWritten) {
    CIndexTexts fresh;
    EXPECT_FALSE(fresh.TextsEnabled()) << "not before Init";
    EXPECT_EQ(fresh.GetItemText(1, 1031), QString());
    EXPECT_EQ(fresh.ChangeItemText(DeviceKey(plc), QStringLiteral("Motor"), 0, QStringLiteral("Text"), 1031), 0);
    EXPECT_EQ(fresh.CopyItemText(DeviceKey(plc), 1, QStringLiteral("B")), 0);
    fresh.RenameText(DeviceKey(plc), 1, QStringLiteral("B"));
    fresh.DeleteItemText(1);
    EXPECT_EQ(TextCount(), 0);

    // A language without a column has no text.
    const int id = Change(QStringLiteral("Motor"), 0, QStringLiteral("Text"));
    EXPECT_EQ(texts.GetItemText(id, 1036), QString());
    EXPECT_EQ(Change(QStringLiteral("Motor"), id, QStringLiteral("Texte"), 1036), id);
    EXPECT_EQ(Change(QStringLiteral("Motor"), QVariant(), QStringLiteral("Texte"), 1036), 0);
    EXPECT_EQ(TextCount(), 1);

    // A project whose members or items have no TextID keeps its texts as they are.
    for (const char* table : {"TpdbStructMembers", "TpdbItems"}) {
        texts.Terminate();
        data.Connection().Execute(QStringLiteral("ALTER TABLE %1 DROP COLUMN TextID").arg(QLatin1String(table)));
        texts.Init(data);
        EXPECT_FALSE(texts.TextsEnabled()) << table;
        EXPECT_EQ(texts.GetItemText(id, 1031), QString());
        EXPECT_EQ(Change(QStringLiteral("Motor"), id, QStringLiteral("Neu")), 0);
        EXPECT_EQ(Change(QStringLiteral("Pump"), 0, QStringLiteral("Neu")), 0);
        EXPECT_EQ(TextCount(), 1);
        EXPECT_EQ(Stored(id, "L1031").toString(), QStringLiteral("Text"));
    }
}

TEST_F(CIndexTextsTest, ItemsGroupIsFoundOrAdded) {
    const QString matching = QStringLiteral("SELECT COUNT(*) FROM TidxGroups WHERE ParentID = 0 AND Type = -3");
    const int templateGroup = Value(data.Connection(), QStringLiteral("SELECT ID FROM TidxGroups")).toInt();
    EXPECT_EQ(texts.ItemsGroupId(), templateGroup);

    // Neither a nested items group nor another top-level group will do.
    data.Connection().Execute(QStringLiteral("DELETE FROM TidxGroups"));
    data.Connection().Execute(QStringLiteral("INSERT INTO TidxGroups (Name, ParentID, Type) VALUES ('Nested', 5, -3)"));
    data.Connection().Execute(QStringLiteral("INSERT INTO TidxGroups (Name, ParentID, Type) VALUES ('Other', 0, -1)"));
    auto& table = settings::TextTable::Instance();
    const int language = table.Language();
    table.SetLanguage(settings::TextTable::kEnglish);
    const QString englishName = settings::Text(2800);
    texts.Init(data);
    table.SetLanguage(language);

    const int added = texts.ItemsGroupId();
    EXPECT_GT(added, templateGroup);
    EXPECT_EQ(Value(Other(), matching).toInt(), 1);
    // Named in the installation's language, neither to be deleted nor renamed.
    EXPECT_EQ(Value(Other(), QStringLiteral("SELECT Name || '|' || [Delete] || '|' || Rename FROM TidxGroups WHERE ID = %1").arg(added)),
              QVariant(englishName + QStringLiteral("|0|0")));

    texts.Init(data);
    EXPECT_EQ(texts.ItemsGroupId(), added);
    EXPECT_EQ(Value(Other(), matching).toInt(), 1);
    const int id = Change(QStringLiteral("Motor"), 0, QStringLiteral("Text"), 1033);
    EXPECT_EQ(Stored(id, "ParentID").toInt(), added);
}

TEST_F(CIndexTextsTest, ClosingTheTextsDropsAPendingChangeAndReadsAfresh) {
    const int id = Change(QStringLiteral("Motor"), 0, QStringLiteral("Alt"));
    db::Recordset& rs = texts.TextsRecordset();
    ASSERT_TRUE(rs.Seek({id}));
    rs.SetValue(QStringLiteral("L1031"), QStringLiteral("pending"));

    texts.CloseIdxSystemRecordset();
    EXPECT_EQ(rs.State(), db::ObjectState::Closed);
    EXPECT_EQ(Stored(id, "L1031").toString(), QStringLiteral("Alt"));
    EXPECT_EQ(texts.GetItemText(id, 1031), QStringLiteral("Alt"));
    EXPECT_EQ(rs.State(), db::ObjectState::Open);

    // Another editor changes and adds texts and says so.
    Other().Execute(QStringLiteral("UPDATE TidxTexts SET L1031 = 'Neu' WHERE ID = ?"), {id});
    const int added = Insert(QStringLiteral("INSERT INTO TidxTexts (Name, L1033) VALUES ('x', 'New')"),
                             QStringLiteral("TidxTexts"), &Other());
    texts.CloseIdxSystemRecordset();
    EXPECT_EQ(texts.GetItemText(id, 1031), QStringLiteral("Neu"));
    EXPECT_EQ(texts.GetItemText(added, 1033), QStringLiteral("New"));
}

}  // namespace

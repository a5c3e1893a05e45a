// Recordsets over the project database: moving, finding, filtering and
// seeking, changes written under optimistic locking, and rows read in pages;
// the same over a project file and a server project.

#include "platform/db/Connection.h"
#include "platform/db/DbError.h"
#include "platform/db/Recordset.h"
#include "support/TempProject.h"

#include <gtest/gtest.h>

using namespace ov::db;

namespace {

std::uint32_t ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const DbError& e) {
        return e.Number();
    }
    return 0;
}

// Item1 to Item5 in device 1 and Other in device 2.
class RecordsetTest : public ov::test::StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        for (int i = 1; i <= 5; ++i) AddItem(1, QStringLiteral("Item%1").arg(i));
        AddItem(2, "Other");
    }

    void AddItem(int device, const QString& name) {
        connection->Execute("INSERT INTO TpdbItems (DeviceID, Name, ItemAccess) VALUES (?, ?, ?)", {device, name, name});
    }

    Recordset Query(const QString& source, CommandType type = CommandType::Text) {
        Recordset rs;
        rs.Open(source, *connection, type);
        return rs;
    }
    // The items of device 1 in the order they were added.
    Recordset DeviceOne() { return Query("SELECT * FROM TpdbItems WHERE DeviceID = 1 ORDER BY ID"); }

    static QString Text(Recordset& rs, const char* field = "Name") { return rs.Value(field).toString(); }

    QStringList Names(Recordset& rs) {
        QStringList names;
        for (rs.MoveFirst(); !rs.IsEOF(); rs.MoveNext()) names << Text(rs);
        return names;
    }
};

TEST_P(RecordsetTest, NavigationAndPositions) {
    Recordset rs = Query("SELECT * FROM TpdbItems WHERE DeviceID = 1 ORDER BY Name DESC");
    EXPECT_EQ(rs.RecordCount(), 5);
    EXPECT_FALSE(rs.IsBOF());
    EXPECT_EQ(rs.AbsolutePosition(), 1);
    EXPECT_EQ(Text(rs), "Item5");
    rs.MoveLast();
    EXPECT_EQ(Text(rs), "Item1");
    rs.MoveNext();
    EXPECT_TRUE(rs.IsEOF());
    EXPECT_EQ(rs.AbsolutePosition(), kPositionEOF);
    EXPECT_EQ(ErrorOf([&] { rs.MoveNext(); }), err::NoCurrentRecord);
    EXPECT_EQ(ErrorOf([&] { rs.Value("Name"); }), err::NoCurrentRecord);
    rs.MovePrevious();
    rs.Move(-2);
    EXPECT_EQ(rs.AbsolutePosition(), 3);
    rs.SetAbsolutePosition(2);
    EXPECT_EQ(Text(rs), "Item4");
    const auto bookmark = rs.GetBookmark();
    rs.MoveFirst();
    rs.SetBookmark(bookmark);
    EXPECT_EQ(Text(rs), "Item4");

    Recordset empty = Query("SELECT * FROM TpdbItems WHERE DeviceID = 99");
    EXPECT_TRUE(empty.IsEOF());
    EXPECT_TRUE(empty.IsBOF());
    EXPECT_EQ(empty.RecordCount(), 0);
}

TEST_P(RecordsetTest, FieldsAndRowsInTableOrderWithTheirTypes) {
    Recordset rs = Query("SELECT * FROM TpdbItems");
    EXPECT_EQ(rs.Fields(0).Name(), "ID");
    EXPECT_EQ(rs.Fields(2).Name(), "DeviceID");
    for (const auto& [field, type] : {std::pair{"id", DataType::Integer}, {"Name", DataType::VarWChar},
                                      {"Comment", DataType::LongVarWChar}, {"MinVal", DataType::Double},
                                      {"Enabled", DataType::Boolean}})
        EXPECT_EQ(rs.Fields(field).Type(), type) << field;
    EXPECT_EQ(rs.Fields("Name").DefinedSize(), 255);
    EXPECT_EQ(rs.Fields("Enabled").Value(), QVariant(true));
    EXPECT_TRUE(rs.Fields("Comment").IsNull());
    EXPECT_EQ(ErrorOf([&] { rs.Fields("NoSuchField"); }), err::ItemNotFound);
    EXPECT_EQ(Query("TpdbDevices", CommandType::TableDirect).Fields("BlobMode").Type(), DataType::SmallInt);

    // Without ORDER BY rows come in table order: a unique index on Name would otherwise tempt SQLite to give name order.
    connection->Execute("INSERT INTO TpdbGroups (Name) VALUES ('Alpha'), ('Beta')");
    Recordset groups = Query("SELECT Name FROM TpdbGroups");
    EXPECT_EQ(Names(groups), (QStringList{"Standard", "Alpha", "Beta"}));
}

TEST_P(RecordsetTest, RowsComeInTheSameOrderInEachStoreEmptyValuesFirst) {
    const std::pair<const char*, const char*> comments[] = {{"Item1", "b"}, {"Item3", "B2"}, {"Item4", "a"}, {"Item5", "_"}};
    for (const auto& [name, comment] : comments)
        connection->Execute("UPDATE TpdbItems SET Comment = ? WHERE Name = ?", {QString::fromUtf8(comment), QString::fromUtf8(name)});
    const std::pair<const char*, QStringList> orders[] = {
        {"ORDER BY Comment, ID", {"Item2", "Other", "Item3", "Item5", "Item4", "Item1"}},
        {"ORDER BY Comment DESC, ID", {"Item1", "Item4", "Item5", "Item3", "Item2", "Other"}},
        {"ORDER BY DeviceID DESC, Comment", {"Other", "Item2", "Item3", "Item5", "Item4", "Item1"}},
    };
    for (const auto& [order, names] : orders) {
        Recordset rs = Query("SELECT * FROM TpdbItems " + QString::fromUtf8(order));
        EXPECT_EQ(Names(rs), names) << order;
    }
    // An index gives its order to a table opened directly.
    connection->CreateIndex("TpdbItems", {"ByComment", {"Comment"}, false, false});
    Recordset rs = Query("TpdbItems", CommandType::TableDirect);
    rs.SetIndex("ByComment");
    EXPECT_EQ(Names(rs), (QStringList{"Item2", "Other", "Item3", "Item5", "Item4", "Item1"}));
}

TEST_P(RecordsetTest, FindMovesToTheNextMatchOrEOFAndFilterNarrows) {
    Recordset rs = Query("SELECT * FROM TpdbItems ORDER BY ID");
    EXPECT_TRUE(rs.Find("Name='item3'"));
    EXPECT_EQ(rs.AbsolutePosition(), 3);
    EXPECT_TRUE(rs.Find("Name='Item3'")) << "the current row counts";
    EXPECT_FALSE(rs.Find("Name='Item3'", 1));
    EXPECT_TRUE(rs.IsEOF());
    rs.MoveLast();
    EXPECT_TRUE(rs.Find("DeviceID=1", 0, SearchDirection::Backward));
    EXPECT_EQ(Text(rs), "Item5");
    EXPECT_FALSE(rs.Find("ID=999", 0, SearchDirection::Backward));
    EXPECT_TRUE(rs.IsBOF());
    EXPECT_EQ(ErrorOf([&] { rs.Find("Nam='x'"); }), err::ItemNotFound);

    // A filter narrows the set; an empty filter restores it.
    rs.SetFilter("DeviceID = 1 AND (Name = 'Item2' OR Name Like 'item4%')");
    EXPECT_EQ(rs.RecordCount(), 2);
    EXPECT_EQ(Names(rs), (QStringList{"Item2", "Item4"}));
    rs.SetFilter("ID > 3");
    EXPECT_EQ(rs.RecordCount(), 3);
    EXPECT_EQ(ErrorOf([&] { rs.SetFilter("ID >"); }), err::InvalidArgument);
    EXPECT_EQ(rs.Filter(), "ID > 3") << "a refused filter keeps the previous one";
    rs.SetFilter(QString());
    EXPECT_EQ(rs.RecordCount(), 6);
}

TEST_P(RecordsetTest, SeekOnANamedIndexOfATableOpenedDirectly) {
    for (const auto& [group, item] : {std::pair{1, 3}, {1, 5}, {2, 3}, {2, 4}, {3, 1}})
        connection->Execute("INSERT INTO TpdbConnections (GroupID, ItemID) VALUES (?, ?)", {group, item});
    Recordset rs = Query("Tpdbconnections", CommandType::TableDirect);
    EXPECT_EQ(ErrorOf([&] { rs.Seek({1, 3}); }), err::FeatureNotAvailable) << "Seek needs an index";
    const auto at = [&rs] { return QStringLiteral("%1/%2").arg(Text(rs, "GroupID"), Text(rs, "ItemID")); };
    rs.SetIndex("Connection");
    EXPECT_TRUE(rs.Seek({2, 4}));
    EXPECT_EQ(at(), "2/4");
    EXPECT_FALSE(rs.Seek({2, 5}));
    EXPECT_TRUE(rs.IsEOF());
    EXPECT_TRUE(rs.Seek({2}, SeekOption::FirstEQ)) << "a key prefix seeks the first row of the group";
    EXPECT_EQ(at(), "2/3");
    EXPECT_TRUE(rs.Seek({2}, SeekOption::LastEQ));
    EXPECT_EQ(at(), "2/4");
    rs.MoveNext();
    EXPECT_EQ(at(), "3/1") << "the rows follow the index order";
    EXPECT_TRUE(rs.Seek({1, 4}, SeekOption::AfterEQ));
    EXPECT_EQ(at(), "1/5");
    rs.SetIndex("ItemID");
    EXPECT_TRUE(rs.Seek({3}));
    EXPECT_EQ(at(), "1/3");
    EXPECT_EQ(ErrorOf([&] { rs.SetIndex("NoSuchIndex"); }), err::ItemNotFound);
}

TEST_P(RecordsetTest, AddNewGetsIdAndTemplateDefaultsOrWritesNothingWhenCancelledAndRecoversFromAUniqueViolation) {
    Recordset rs = Query("SELECT * FROM TpdbItems WHERE DeviceID = 1");
    rs.MoveLast();
    rs.AddNew();
    EXPECT_EQ(rs.GetEditMode(), EditMode::Add);
    rs.SetValue("Name", "Ghost");
    EXPECT_EQ(Text(rs), "Ghost");
    rs.CancelUpdate();
    EXPECT_EQ(rs.GetEditMode(), EditMode::None);
    EXPECT_EQ(Text(rs), "Item5") << "back on the row before AddNew";
    rs.Requery();
    EXPECT_EQ(rs.RecordCount(), 5);

    rs.AddNew();
    for (const char* field : {"Name", "ItemAccess"}) rs.SetValue(field, "New");
    rs.SetValue("DeviceID", 1);
    rs.Update();
    EXPECT_EQ(rs.RecordCount(), 6);
    EXPECT_GT(rs.Value("ID").toInt(), 6);
    EXPECT_EQ(rs.Value("AccessRights").toInt(), 3);
    EXPECT_EQ(rs.Value("Enabled"), QVariant(true));
    EXPECT_EQ(rs.Value("DataType").toInt(), 0);
    EXPECT_EQ(Query("SELECT CAST(Enabled AS INTEGER) FROM TpdbItems WHERE Name = 'New'").Fields(0).Value().toInt(), -1)
        << "Yes/No values are stored as -1 and 0";

    // A unique violation leaves the new row pending, to be put right.
    rs.AddNew();
    rs.SetValue("DeviceID", 1);
    rs.SetValue("Name", "ITEM1");
    rs.SetValue("ItemAccess", "x");
    try {
        rs.Update();
        FAIL() << "the name is taken";
    } catch (const DbError& e) {
        EXPECT_TRUE(e.IsUniqueViolation());
        EXPECT_EQ(e.Number(), err::ErrorsOccurred);
    }
    EXPECT_EQ(rs.GetEditMode(), EditMode::Add) << "the new row is still pending and can be retried";
    rs.SetValue("Name", "Item6");
    rs.Update();
    EXPECT_EQ(Text(rs), "Item6");

    // The same on a change of an existing row: the stored values stay.
    rs.MoveFirst();
    rs.SetValue("Name", "Item2");
    EXPECT_EQ(ErrorOf([&] { rs.Update(); }), err::ErrorsOccurred);
    rs.CancelUpdate();
    EXPECT_EQ(Text(rs), "Item1");
}

TEST_P(RecordsetTest, AssignmentsAreCheckedAgainstTheFieldType) {
    Recordset rs = Query("SELECT * FROM TpdbItems");
    EXPECT_EQ(ErrorOf([&] { rs.SetValue("FieldSize", "abc"); }), err::CantConvertValue);
    EXPECT_EQ(ErrorOf([&] { rs.SetValue("FieldSize", 3e10); }), err::DataOverflow);
    EXPECT_EQ(ErrorOf([&] { rs.SetValue("Name", QString(1000, u'x')); }), err::DataOverflow);
    EXPECT_EQ(rs.GetEditMode(), EditMode::None) << "a refused value starts no change";
    rs.SetValue("FieldSize", " 12 ");
    rs.SetValue("MaxVal", "1.5");
    rs.SetValue("Enabled", 0);
    rs.Update();
    rs.Resync();
    EXPECT_EQ(rs.Value("FieldSize"), QVariant(12));
    EXPECT_EQ(rs.Value("MaxVal"), QVariant(1.5));
    EXPECT_EQ(rs.Value("Enabled"), QVariant(false));

    Recordset devices = Query("TpdbDevices", CommandType::TableDirect);
    devices.AddNew();
    EXPECT_EQ(ErrorOf([&] { devices.SetValue("BlobMode", 40000); }), err::DataOverflow);
    devices.SetValue("BlobMode", -32768);
    devices.SetValue("Name", "Ch1");
    devices.Update();
    EXPECT_EQ(devices.Value("BlobMode").toInt(), -32768);
}

TEST_P(RecordsetTest, DeletedRowsKeepTheCursorUsable) {
    Recordset rs = DeviceOne();
    rs.Move(2);
    rs.Delete();
    EXPECT_EQ(ErrorOf([&] { rs.Value("Name"); }), err::NoCurrentRecord);
    EXPECT_EQ(rs.RecordCount(), 4);
    rs.MoveNext();
    EXPECT_EQ(Text(rs), "Item4");
    EXPECT_EQ(rs.AbsolutePosition(), 3);
    EXPECT_EQ(Names(rs), (QStringList{"Item1", "Item2", "Item4", "Item5"}));

    // A row deleted by another program stays in the set, marked, until the set is read again.
    project->Open()->Execute("DELETE FROM TpdbItems WHERE Name = 'Item2'");
    rs.MoveFirst();
    rs.Resync();  // values are read again; the set of rows stays
    rs.MoveNext();
    EXPECT_TRUE(rs.IsCurrentRowDeleted());
    EXPECT_EQ(ErrorOf([&] { rs.Value("Name"); }), err::DeletedRow);
    EXPECT_EQ(ErrorOf([&] { rs.SetValue("Name", "x"); }), err::DeletedRow);
    rs.MoveNext();
    EXPECT_EQ(Text(rs), "Item4");
    rs.Requery();
    EXPECT_EQ(rs.RecordCount(), 3);
}

TEST_P(RecordsetTest, ForgottenRowsLeaveTheSetWithoutReadingItAgain) {
    Recordset rs = DeviceOne();
    Recordset clone = rs.Clone();
    rs.Move(3);
    rs.Delete();  // Item4, through the recordset itself
    std::vector<qint64> gone;
    for (Recordset ids = Query("SELECT ID FROM TpdbItems WHERE Name IN ('Item2', 'Item5')"); !ids.IsEOF(); ids.MoveNext())
        gone.push_back(ids.Fields(0).Value().toLongLong());
    ASSERT_EQ(gone.size(), 2u);
    connection->Execute("DELETE FROM TpdbItems WHERE Name IN ('Item2', 'Item5')");
    // A row that is not in the set, and one added meanwhile: neither matters.
    AddItem(1, "Item6");
    gone.push_back(99999);
    rs.Forget(gone);
    EXPECT_EQ(Names(rs), (QStringList{"Item1", "Item3"})) << "the rows read again, the new row not yet in the set";
    EXPECT_EQ(rs.RecordCount(), 2);
    rs.MoveLast();
    EXPECT_EQ(rs.AbsolutePosition(), 2);
    EXPECT_EQ(Names(clone), Names(rs)) << "clones share the set";
    rs.Requery();
    EXPECT_EQ(rs.RecordCount(), 3);
    EXPECT_TRUE(Names(rs).contains("Item6"));
}

TEST_P(RecordsetTest, OptimisticLockingRefusesAChangeOverAnotherProgramsChange) {
    Recordset rs = DeviceOne();
    rs.SetValue("Comment", "mine");
    auto other = project->Open();
    other->Execute("UPDATE TpdbItems SET Comment = 'theirs' WHERE Name = 'Item1'");
    EXPECT_EQ(ErrorOf([&] { rs.Update(); }), err::RowNotFoundForUpdate);
    rs.CancelUpdate();
    EXPECT_EQ(Text(rs, "Comment"), "theirs");

    // A change of another field of the same row does not conflict.
    rs.SetValue("MaxVal", 10);
    other->Execute("UPDATE TpdbItems SET Comment = 'again' WHERE Name = 'Item1'");
    rs.Update();
    rs.Resync();
    EXPECT_EQ(rs.Value("MaxVal").toDouble(), 10.0);
    EXPECT_EQ(Text(rs, "Comment"), "again");
}

TEST_P(RecordsetTest, MovingOnOrClosingSavesAPendingChange) {
    Recordset rs = DeviceOne();
    rs.SetValue("Comment", "first");
    EXPECT_EQ(rs.GetEditMode(), EditMode::InProgress);
    EXPECT_EQ(rs.Fields("Comment").OriginalValue(), QVariant());
    rs.MoveNext();
    EXPECT_EQ(rs.GetEditMode(), EditMode::None);
    rs.SetValue("Comment", "second");
    rs.Close();
    EXPECT_EQ(Query("SELECT Comment FROM TpdbItems WHERE Comment IS NOT NULL").RecordCount(), 2) << "Close saved the second change too";

    // Closed objects, and those never opened, refuse work.
    EXPECT_EQ(ErrorOf([&] { rs.MoveFirst(); }), err::ObjectClosed);
    EXPECT_EQ(ErrorOf([] { Recordset().MoveFirst(); }), err::ObjectClosed);
    rs.Open("SELECT * FROM TpdbItems", *connection);
    EXPECT_EQ(ErrorOf([&] { rs.Open("SELECT 1", *connection); }), err::ObjectOpen);
    connection->Close();
    EXPECT_EQ(ErrorOf([&] { rs.MoveNext(); }), err::ObjectClosed);
}

TEST_P(RecordsetTest, ClonesAndStatementsShareTheRowsButNotThePosition) {
    Recordset rs = Query("SELECT * FROM TpdbItems ORDER BY ID");
    Recordset clone = rs.Clone();
    rs.MoveLast();
    EXPECT_EQ(clone.AbsolutePosition(), 1);
    clone.SetValue("Comment", "via clone");
    clone.Update();
    rs.MoveFirst();
    EXPECT_EQ(Text(rs, "Comment"), "via clone");
    clone.SetBookmark(rs.GetBookmark());
    EXPECT_EQ(clone.AbsolutePosition(), 1);

    // Statements of the same connection are seen at once, unless rolled back.
    EXPECT_EQ(Text(rs, "ItemAccess"), "Item1");
    connection->Execute("UPDATE TpdbItems SET ItemAccess = Name || '.x'");
    EXPECT_EQ(Text(rs, "ItemAccess"), "Item1.x");
    connection->BeginTrans();
    connection->Execute("UPDATE TpdbItems SET ItemAccess = 'rolled back' WHERE ID = 1");
    connection->RollbackTrans();
    EXPECT_EQ(Text(rs, "ItemAccess"), "Item1.x");
}

TEST_P(RecordsetTest, JoinedGroupViewChangesOnlyItemFields) {
    connection->Execute("INSERT INTO TpdbDevices (ID, Name) VALUES (1, 'PLC')");
    connection->Execute("INSERT INTO TpdbConnections (GroupID, ItemID) SELECT 1, ID FROM TpdbItems WHERE DeviceID = 1");
    Recordset rs = Query(
        "SELECT TpdbItems.*, TpdbConnections.GroupID, TpdbDevices.Name As DeviceName FROM ((TpdbItems "
        "INNER JOIN TpdbConnections ON TpdbItems.ID = TpdbConnections.ItemID) INNER JOIN TpdbGroups ON "
        "TpdbConnections.GroupID = TpdbGroups.ID) INNER JOIN TpdbDevices ON TpdbItems.DeviceID = "
        "TpdbDevices.ID WHERE (GroupID = 1) ORDER BY Name");
    EXPECT_EQ(rs.RecordCount(), 5);
    EXPECT_EQ(Text(rs, "DeviceName"), "PLC");
    EXPECT_TRUE(rs.Fields("Name").IsUpdatable());
    EXPECT_FALSE(rs.Fields("DeviceName").IsUpdatable());
    EXPECT_EQ(ErrorOf([&] { rs.SetValue("DeviceName", "x"); }), err::FeatureNotAvailable);
    rs.SetValue("Name", "Item1 renamed");
    rs.Update();
    EXPECT_EQ(Query("SELECT * FROM TpdbItems WHERE Name = 'item1 RENAMED'").RecordCount(), 1);
}

TEST_P(RecordsetTest, AggregatesAreReadOnlyAndReadAgainWhenRowsAreForgotten) {
    Recordset rs = Query("SELECT DeviceID, COUNT(*) AS N FROM TpdbItems GROUP BY DeviceID ORDER BY DeviceID");
    EXPECT_EQ(rs.RecordCount(), 2);
    EXPECT_EQ(rs.Value("N").toInt(), 5);
    EXPECT_FALSE(rs.IsUpdatable());
    EXPECT_EQ(ErrorOf([&] { rs.AddNew(); }), err::FeatureNotAvailable);
    EXPECT_EQ(ErrorOf([&] { Recordset().Open("DELETE FROM TpdbItems", *connection); }), err::IllegalOperation);
    EXPECT_EQ(rs.RecordCount(), 2);

    // A set read whole has no keys to forget: it is read again.
    connection->Execute("DELETE FROM TpdbItems WHERE DeviceID = 2");
    rs.Forget({1});
    EXPECT_EQ(rs.RecordCount(), 1);
}

TEST_P(RecordsetTest, LargeResultsAreReadInPages) {
    const auto name = [](int i) { return QStringLiteral("P%1").arg(i, 5, 10, QChar(u'0')); };
    connection->InTransaction([&] {
        for (int i = 0; i < 3000; ++i)
            connection->Execute("INSERT INTO TpdbItems (DeviceID, Name, ItemAccess) VALUES (7, ?, ?)", {name(i), QString::number(i)});
    });
    Recordset rs = Query("SELECT * FROM TpdbItems WHERE DeviceID = 7 ORDER BY Name");
    EXPECT_EQ(rs.RecordCount(), 3000);
    // Jump around beyond the cache and come back: every row is the right one.
    for (int position : {2999, 1, 1500, 2000, 64, 65, 2999, 1}) {
        rs.SetAbsolutePosition(position);
        EXPECT_EQ(Text(rs), name(position - 1));
    }
    rs.SetFilter("ItemAccess Like '%99'");
    EXPECT_EQ(rs.RecordCount(), 30);
    rs.SetFilter(QString());
    rs.MoveLast();
    rs.SetValue("Comment", "last");
    rs.MoveFirst();
    rs.MoveLast();
    EXPECT_EQ(Text(rs, "Comment"), "last");
}

INSTANTIATE_TEST_SUITE_P(, RecordsetTest, ov::test::kBothStores, ov::test::StoreName);

}  // namespace

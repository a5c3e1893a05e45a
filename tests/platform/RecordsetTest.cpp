// Recordsets over the project database: moving, finding, filtering and
// seeking, changes written under optimistic locking, and rows read in pages.

#include "platform/db/Connection.h"
#include "platform/db/DbError.h"
#include "platform/db/Recordset.h"
#include "support/TempProject.h"

#include <gtest/gtest.h>

using namespace ov::db;
using ov::test::TempProject;

namespace {

std::uint32_t ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const DbError& e) {
        return e.Number();
    }
    return 0;
}

class RecordsetTest : public ::testing::Test {
protected:
    void SetUp() override {
        connection = project.Open();
        for (int i = 1; i <= 5; ++i) AddItem(1, QStringLiteral("Item%1").arg(i));
        AddItem(2, QStringLiteral("Other"));
    }

    int AddItem(int device, const QString& name) {
        connection->Execute(QStringLiteral("INSERT INTO TpdbItems (DeviceID, Name, ItemAccess) VALUES (?, ?, ?)"),
                            {device, name, name});
        return Query(QStringLiteral("SELECT MAX(ID) FROM TpdbItems")).Fields(0).Value().toInt();
    }

    Recordset Query(const QString& source, CommandType type = CommandType::Text) {
        Recordset rs;
        rs.Open(source, *connection, type);
        return rs;
    }

    static QString Name(Recordset& rs) { return rs.Value(QStringLiteral("Name")).toString(); }

    QStringList Names(Recordset& rs) {
        QStringList names;
        for (rs.MoveFirst(); !rs.IsEOF(); rs.MoveNext()) names << Name(rs);
        return names;
    }

    TempProject project;
    std::unique_ptr<Connection> connection;
};

TEST_F(RecordsetTest, NavigationAndPositions) {
    Recordset rs = Query(QStringLiteral("SELECT * FROM TpdbItems WHERE DeviceID = 1 ORDER BY Name DESC"));
    EXPECT_EQ(rs.RecordCount(), 5);
    EXPECT_FALSE(rs.IsBOF());
    EXPECT_EQ(rs.AbsolutePosition(), 1);
    EXPECT_EQ(Name(rs), QStringLiteral("Item5"));
    rs.MoveLast();
    EXPECT_EQ(Name(rs), QStringLiteral("Item1"));
    rs.MoveNext();
    EXPECT_TRUE(rs.IsEOF());
    EXPECT_EQ(rs.AbsolutePosition(), kPositionEOF);
    EXPECT_EQ(ErrorOf([&] { rs.MoveNext(); }), err::NoCurrentRecord);
    EXPECT_EQ(ErrorOf([&] { rs.Value(QStringLiteral("Name")); }), err::NoCurrentRecord);
    rs.MovePrevious();
    rs.Move(-2);
    EXPECT_EQ(rs.AbsolutePosition(), 3);
    rs.SetAbsolutePosition(2);
    EXPECT_EQ(Name(rs), QStringLiteral("Item4"));
    const auto bookmark = rs.GetBookmark();
    rs.MoveFirst();
    rs.SetBookmark(bookmark);
    EXPECT_EQ(Name(rs), QStringLiteral("Item4"));

    Recordset empty = Query(QStringLiteral("SELECT * FROM TpdbItems WHERE DeviceID = 99"));
    EXPECT_TRUE(empty.IsEOF());
    EXPECT_TRUE(empty.IsBOF());
    EXPECT_EQ(empty.RecordCount(), 0);
}

TEST_F(RecordsetTest, FieldsInTableOrderWithTheirTypes) {
    Recordset rs = Query(QStringLiteral("SELECT * FROM TpdbItems"));
    EXPECT_EQ(rs.Fields(0).Name(), QStringLiteral("ID"));
    EXPECT_EQ(rs.Fields(2).Name(), QStringLiteral("DeviceID"));
    for (const auto& [field, type] : {std::pair{"id", DataType::Integer}, {"Name", DataType::VarWChar},
                                      {"Comment", DataType::LongVarWChar}, {"MinVal", DataType::Double},
                                      {"Enabled", DataType::Boolean}})
        EXPECT_EQ(rs.Fields(QString::fromUtf8(field)).Type(), type) << field;
    EXPECT_EQ(rs.Fields(QStringLiteral("Name")).DefinedSize(), 255);
    EXPECT_EQ(rs.Fields(QStringLiteral("Enabled")).Value(), QVariant(true));
    EXPECT_TRUE(rs.Fields(QStringLiteral("Comment")).IsNull());
    EXPECT_EQ(ErrorOf([&] { rs.Fields(QStringLiteral("NoSuchField")); }), err::ItemNotFound);
    EXPECT_EQ(Query(QStringLiteral("TpdbDevices"), CommandType::TableDirect).Fields(QStringLiteral("BlobMode")).Type(),
              DataType::SmallInt);
}

TEST_F(RecordsetTest, WithoutOrderByRowsComeInTableOrder) {
    // A unique index on Name would otherwise tempt SQLite to give name order.
    connection->Execute(QStringLiteral("INSERT INTO TpdbGroups (Name) VALUES ('Alpha')"));
    connection->Execute(QStringLiteral("INSERT INTO TpdbGroups (Name) VALUES ('Beta')"));
    Recordset rs = Query(QStringLiteral("SELECT Name FROM TpdbGroups"));
    EXPECT_EQ(Names(rs), (QStringList{QStringLiteral("Standard"), QStringLiteral("Alpha"), QStringLiteral("Beta")}));
}

TEST_F(RecordsetTest, FindMovesToTheNextMatchOrEOF) {
    Recordset rs = Query(QStringLiteral("SELECT * FROM TpdbItems ORDER BY ID"));
    EXPECT_TRUE(rs.Find(QStringLiteral("Name='item3'")));
    EXPECT_EQ(rs.AbsolutePosition(), 3);
    EXPECT_TRUE(rs.Find(QStringLiteral("Name='Item3'"))) << "the current row counts";
    EXPECT_FALSE(rs.Find(QStringLiteral("Name='Item3'"), 1));
    EXPECT_TRUE(rs.IsEOF());
    rs.MoveLast();
    EXPECT_TRUE(rs.Find(QStringLiteral("DeviceID=1"), 0, SearchDirection::Backward));
    EXPECT_EQ(Name(rs), QStringLiteral("Item5"));
    EXPECT_FALSE(rs.Find(QStringLiteral("ID=999"), 0, SearchDirection::Backward));
    EXPECT_TRUE(rs.IsBOF());
    EXPECT_EQ(ErrorOf([&] { rs.Find(QStringLiteral("Nam='x'")); }), err::ItemNotFound);
}

TEST_F(RecordsetTest, FilterNarrowsAndAnEmptyFilterRestores) {
    Recordset rs = Query(QStringLiteral("SELECT * FROM TpdbItems ORDER BY ID"));
    rs.SetFilter(QStringLiteral("DeviceID = 1 AND (Name = 'Item2' OR Name Like 'item4%')"));
    EXPECT_EQ(rs.RecordCount(), 2);
    EXPECT_EQ(Names(rs), (QStringList{QStringLiteral("Item2"), QStringLiteral("Item4")}));
    rs.SetFilter(QStringLiteral("ID > 3"));
    EXPECT_EQ(rs.RecordCount(), 3);
    EXPECT_EQ(ErrorOf([&] { rs.SetFilter(QStringLiteral("ID >")); }), err::InvalidArgument);
    EXPECT_EQ(rs.Filter(), QStringLiteral("ID > 3")) << "a refused filter keeps the previous one";
    rs.SetFilter(QString());
    EXPECT_EQ(rs.RecordCount(), 6);
}

TEST_F(RecordsetTest, SeekOnANamedIndexOfATableOpenedDirectly) {
    for (const auto& [group, item] : {std::pair{1, 3}, {1, 5}, {2, 3}, {2, 4}, {3, 1}})
        connection->Execute(QStringLiteral("INSERT INTO TpdbConnections (GroupID, ItemID) VALUES (?, ?)"), {group, item});
    Recordset rs = Query(QStringLiteral("Tpdbconnections"), CommandType::TableDirect);
    EXPECT_EQ(ErrorOf([&] { rs.Seek({1, 3}); }), err::FeatureNotAvailable) << "Seek needs an index";
    const auto at = [&rs] {
        return QStringLiteral("%1/%2").arg(rs.Value(QStringLiteral("GroupID")).toInt()).arg(rs.Value(QStringLiteral("ItemID")).toInt());
    };
    rs.SetIndex(QStringLiteral("Connection"));
    EXPECT_TRUE(rs.Seek({2, 4}));
    EXPECT_EQ(at(), QStringLiteral("2/4"));
    EXPECT_FALSE(rs.Seek({2, 5}));
    EXPECT_TRUE(rs.IsEOF());
    EXPECT_TRUE(rs.Seek({2}, SeekOption::FirstEQ)) << "a key prefix seeks the first row of the group";
    EXPECT_EQ(at(), QStringLiteral("2/3"));
    EXPECT_TRUE(rs.Seek({2}, SeekOption::LastEQ));
    EXPECT_EQ(at(), QStringLiteral("2/4"));
    rs.MoveNext();
    EXPECT_EQ(at(), QStringLiteral("3/1")) << "the rows follow the index order";
    EXPECT_TRUE(rs.Seek({1, 4}, SeekOption::AfterEQ));
    EXPECT_EQ(at(), QStringLiteral("1/5"));
    rs.SetIndex(QStringLiteral("ItemID"));
    EXPECT_TRUE(rs.Seek({3}));
    EXPECT_EQ(at(), QStringLiteral("1/3"));
    EXPECT_EQ(ErrorOf([&] { rs.SetIndex(QStringLiteral("NoSuchIndex")); }), err::ItemNotFound);
}

TEST_F(RecordsetTest, AddNewGetsIdAndTemplateDefaultsOrWritesNothingWhenCancelled) {
    Recordset rs = Query(QStringLiteral("SELECT * FROM TpdbItems WHERE DeviceID = 1"));
    rs.MoveLast();
    rs.AddNew();
    EXPECT_EQ(rs.GetEditMode(), EditMode::Add);
    rs.SetValue(QStringLiteral("Name"), QStringLiteral("Ghost"));
    EXPECT_EQ(Name(rs), QStringLiteral("Ghost"));
    rs.CancelUpdate();
    EXPECT_EQ(rs.GetEditMode(), EditMode::None);
    EXPECT_EQ(Name(rs), QStringLiteral("Item5")) << "back on the row before AddNew";
    rs.Requery();
    EXPECT_EQ(rs.RecordCount(), 5);

    rs.AddNew();
    rs.SetValue(QStringLiteral("Name"), QStringLiteral("New"));
    rs.SetValue(QStringLiteral("ItemAccess"), QStringLiteral("New"));
    rs.SetValue(QStringLiteral("DeviceID"), 1);
    rs.Update();
    EXPECT_EQ(rs.RecordCount(), 6);
    EXPECT_GT(rs.Value(QStringLiteral("ID")).toInt(), 6);
    EXPECT_EQ(rs.Value(QStringLiteral("AccessRights")).toInt(), 3);
    EXPECT_EQ(rs.Value(QStringLiteral("Enabled")), QVariant(true));
    EXPECT_EQ(rs.Value(QStringLiteral("DataType")).toInt(), 0);
    EXPECT_EQ(Query(QStringLiteral("SELECT CAST(Enabled AS INTEGER) FROM TpdbItems WHERE Name = 'New'")).Fields(0).Value().toInt(),
              -1) << "Yes/No values are stored as -1 and 0";
}

TEST_F(RecordsetTest, UniqueViolationOnUpdateIsRecoverable) {
    Recordset rs = Query(QStringLiteral("SELECT * FROM TpdbItems WHERE DeviceID = 1"));
    rs.AddNew();
    rs.SetValue(QStringLiteral("DeviceID"), 1);
    rs.SetValue(QStringLiteral("Name"), QStringLiteral("ITEM1"));
    rs.SetValue(QStringLiteral("ItemAccess"), QStringLiteral("x"));
    try {
        rs.Update();
        FAIL() << "the name is taken";
    } catch (const DbError& e) {
        EXPECT_TRUE(e.IsUniqueViolation());
        EXPECT_EQ(e.Number(), err::ErrorsOccurred);
    }
    EXPECT_EQ(rs.GetEditMode(), EditMode::Add) << "the new row is still pending and can be retried";
    rs.SetValue(QStringLiteral("Name"), QStringLiteral("Item6"));
    rs.Update();
    EXPECT_EQ(Name(rs), QStringLiteral("Item6"));

    // The same on a change of an existing row: the stored values stay.
    rs.MoveFirst();
    rs.SetValue(QStringLiteral("Name"), QStringLiteral("Item2"));
    EXPECT_EQ(ErrorOf([&] { rs.Update(); }), err::ErrorsOccurred);
    rs.CancelUpdate();
    EXPECT_EQ(Name(rs), QStringLiteral("Item1"));
}

TEST_F(RecordsetTest, AssignmentsAreCheckedAgainstTheFieldType) {
    Recordset rs = Query(QStringLiteral("SELECT * FROM TpdbItems"));
    EXPECT_EQ(ErrorOf([&] { rs.SetValue(QStringLiteral("FieldSize"), QStringLiteral("abc")); }), err::CantConvertValue);
    EXPECT_EQ(ErrorOf([&] { rs.SetValue(QStringLiteral("FieldSize"), 3e10); }), err::DataOverflow);
    EXPECT_EQ(ErrorOf([&] { rs.SetValue(QStringLiteral("Name"), QString(1000, u'x')); }), err::DataOverflow);
    EXPECT_EQ(rs.GetEditMode(), EditMode::None) << "a refused value starts no change";
    rs.SetValue(QStringLiteral("FieldSize"), QStringLiteral(" 12 "));
    rs.SetValue(QStringLiteral("MaxVal"), QStringLiteral("1.5"));
    rs.SetValue(QStringLiteral("Enabled"), 0);
    rs.Update();
    rs.Resync();
    EXPECT_EQ(rs.Value(QStringLiteral("FieldSize")), QVariant(12));
    EXPECT_EQ(rs.Value(QStringLiteral("MaxVal")), QVariant(1.5));
    EXPECT_EQ(rs.Value(QStringLiteral("Enabled")), QVariant(false));

    Recordset devices = Query(QStringLiteral("TpdbDevices"), CommandType::TableDirect);
    devices.AddNew();
    EXPECT_EQ(ErrorOf([&] { devices.SetValue(QStringLiteral("BlobMode"), 40000); }), err::DataOverflow);
    devices.SetValue(QStringLiteral("BlobMode"), -32768);
    devices.SetValue(QStringLiteral("Name"), QStringLiteral("Ch1"));
    devices.Update();
    EXPECT_EQ(devices.Value(QStringLiteral("BlobMode")).toInt(), -32768);
}

TEST_F(RecordsetTest, MovingOnSavesAPendingChange) {
    Recordset rs = Query(QStringLiteral("SELECT * FROM TpdbItems WHERE DeviceID = 1 ORDER BY ID"));
    rs.SetValue(QStringLiteral("Comment"), QStringLiteral("first"));
    EXPECT_EQ(rs.GetEditMode(), EditMode::InProgress);
    EXPECT_EQ(rs.Fields(QStringLiteral("Comment")).OriginalValue(), QVariant());
    rs.MoveNext();
    EXPECT_EQ(rs.GetEditMode(), EditMode::None);
    rs.SetValue(QStringLiteral("Comment"), QStringLiteral("second"));
    rs.Close();

    EXPECT_EQ(Query(QStringLiteral("SELECT Comment FROM TpdbItems WHERE Comment IS NOT NULL")).RecordCount(), 2)
        << "Close saved the second change too";
}

TEST_F(RecordsetTest, DeletedRowsKeepTheCursorUsable) {
    Recordset rs = Query(QStringLiteral("SELECT * FROM TpdbItems WHERE DeviceID = 1 ORDER BY ID"));
    rs.Move(2);
    rs.Delete();
    EXPECT_EQ(ErrorOf([&] { rs.Value(QStringLiteral("Name")); }), err::NoCurrentRecord);
    EXPECT_EQ(rs.RecordCount(), 4);
    rs.MoveNext();
    EXPECT_EQ(Name(rs), QStringLiteral("Item4"));
    EXPECT_EQ(rs.AbsolutePosition(), 3);
    EXPECT_EQ(Names(rs), (QStringList{QStringLiteral("Item1"), QStringLiteral("Item2"), QStringLiteral("Item4"),
                                      QStringLiteral("Item5")}));

    // A row deleted by another program stays in the set, marked, until the set is read again.
    project.Open()->Execute(QStringLiteral("DELETE FROM TpdbItems WHERE Name = 'Item2'"));
    rs.MoveFirst();
    rs.Resync();  // values are read again; the set of rows stays
    rs.MoveNext();
    EXPECT_TRUE(rs.IsCurrentRowDeleted());
    EXPECT_EQ(ErrorOf([&] { rs.Value(QStringLiteral("Name")); }), err::DeletedRow);
    EXPECT_EQ(ErrorOf([&] { rs.SetValue(QStringLiteral("Name"), QStringLiteral("x")); }), err::DeletedRow);
    rs.MoveNext();
    EXPECT_EQ(Name(rs), QStringLiteral("Item4"));
    rs.Requery();
    EXPECT_EQ(rs.RecordCount(), 3);
}

TEST_F(RecordsetTest, ForgottenRowsLeaveTheSetWithoutReadingItAgain) {
    Recordset rs = Query(QStringLiteral("SELECT * FROM TpdbItems WHERE DeviceID = 1 ORDER BY ID"));
    Recordset clone = rs.Clone();
    rs.Move(3);
    rs.Delete();  // Item4, through the recordset itself
    std::vector<qint64> gone;
    for (const char* name : {"Item2", "Item5"})
        gone.push_back(Query(QStringLiteral("SELECT ID FROM TpdbItems WHERE Name = '%1'").arg(QLatin1String(name)))
                           .Fields(0).Value().toLongLong());
    connection->Execute(QStringLiteral("DELETE FROM TpdbItems WHERE Name IN ('Item2', 'Item5')"));
    // A row that is not in the set, and one added meanwhile: neither matters.
    const int added = AddItem(1, QStringLiteral("Item6"));
    gone.push_back(99999);
    rs.Forget(gone);
    EXPECT_EQ(Names(rs), (QStringList{QStringLiteral("Item1"), QStringLiteral("Item3")}))
        << "the rows read again, the new row not yet in the set";
    EXPECT_EQ(rs.RecordCount(), 2);
    rs.MoveLast();
    EXPECT_EQ(rs.AbsolutePosition(), 2);
    EXPECT_EQ(Names(clone), Names(rs)) << "clones share the set";
    rs.Requery();
    EXPECT_EQ(rs.RecordCount(), 3);
    EXPECT_TRUE(Names(rs).contains(QStringLiteral("Item6"))) << added;

    // A set read whole (an aggregate) is read again.
    Recordset counts = Query(QStringLiteral("SELECT DeviceID, Count(*) AS n FROM TpdbItems GROUP BY DeviceID ORDER BY DeviceID"));
    connection->Execute(QStringLiteral("DELETE FROM TpdbItems WHERE DeviceID = 2"));
    counts.Forget({1});
    EXPECT_EQ(counts.RecordCount(), 1);
}

TEST_F(RecordsetTest, OptimisticLockingRefusesAChangeOverAnotherProgramsChange) {
    Recordset rs = Query(QStringLiteral("SELECT * FROM TpdbItems WHERE DeviceID = 1 ORDER BY ID"));
    rs.SetValue(QStringLiteral("Comment"), QStringLiteral("mine"));
    auto other = project.Open();
    other->Execute(QStringLiteral("UPDATE TpdbItems SET Comment = 'theirs' WHERE Name = 'Item1'"));
    EXPECT_EQ(ErrorOf([&] { rs.Update(); }), err::RowNotFoundForUpdate);
    rs.CancelUpdate();
    EXPECT_EQ(rs.Value(QStringLiteral("Comment")).toString(), QStringLiteral("theirs"));

    // A change of another field of the same row does not conflict.
    rs.SetValue(QStringLiteral("MaxVal"), 10);
    other->Execute(QStringLiteral("UPDATE TpdbItems SET Comment = 'again' WHERE Name = 'Item1'"));
    rs.Update();
    rs.Resync();
    EXPECT_EQ(rs.Value(QStringLiteral("MaxVal")).toDouble(), 10.0);
    EXPECT_EQ(rs.Value(QStringLiteral("Comment")).toString(), QStringLiteral("again"));
}

TEST_F(RecordsetTest, ClonesShareRowsButNotPosition) {
    Recordset rs = Query(QStringLiteral("SELECT * FROM TpdbItems ORDER BY ID"));
    Recordset clone = rs.Clone();
    rs.MoveLast();
    EXPECT_EQ(clone.AbsolutePosition(), 1);
    clone.SetValue(QStringLiteral("Comment"), QStringLiteral("via clone"));
    clone.Update();
    rs.MoveFirst();
    EXPECT_EQ(rs.Value(QStringLiteral("Comment")).toString(), QStringLiteral("via clone"));
    clone.SetBookmark(rs.GetBookmark());
    EXPECT_EQ(clone.AbsolutePosition(), 1);
}

TEST_F(RecordsetTest, JoinedGroupViewChangesOnlyItemFields) {
    connection->Execute(QStringLiteral("INSERT INTO TpdbDevices (ID, Name) VALUES (1, 'PLC')"));
    connection->Execute(QStringLiteral("INSERT INTO TpdbConnections (GroupID, ItemID) SELECT 1, ID FROM TpdbItems WHERE DeviceID = 1"));
    Recordset rs = Query(
        QStringLiteral("SELECT TpdbItems.*, TpdbConnections.GroupID, TpdbDevices.Name As DeviceName FROM ((TpdbItems "
                       "INNER JOIN TpdbConnections ON TpdbItems.ID = TpdbConnections.ItemID) INNER JOIN TpdbGroups ON "
                       "TpdbConnections.GroupID = TpdbGroups.ID) INNER JOIN TpdbDevices ON TpdbItems.DeviceID = "
                       "TpdbDevices.ID WHERE (GroupID = 1) ORDER BY Name"));
    EXPECT_EQ(rs.RecordCount(), 5);
    EXPECT_EQ(rs.Value(QStringLiteral("DeviceName")).toString(), QStringLiteral("PLC"));
    EXPECT_TRUE(rs.Fields(QStringLiteral("Name")).IsUpdatable());
    EXPECT_FALSE(rs.Fields(QStringLiteral("DeviceName")).IsUpdatable());
    EXPECT_EQ(ErrorOf([&] { rs.SetValue(QStringLiteral("DeviceName"), QStringLiteral("x")); }), err::FeatureNotAvailable);
    rs.SetValue(QStringLiteral("Name"), QStringLiteral("Item1 renamed"));
    rs.Update();
    EXPECT_EQ(Query(QStringLiteral("SELECT * FROM TpdbItems WHERE Name = 'item1 RENAMED'")).RecordCount(), 1);
}

TEST_F(RecordsetTest, AggregatesAreReadOnly) {
    Recordset rs = Query(QStringLiteral("SELECT DeviceID, COUNT(*) AS N FROM TpdbItems GROUP BY DeviceID ORDER BY DeviceID"));
    EXPECT_EQ(rs.RecordCount(), 2);
    EXPECT_EQ(rs.Value(QStringLiteral("N")).toInt(), 5);
    EXPECT_FALSE(rs.IsUpdatable());
    EXPECT_EQ(ErrorOf([&] { rs.AddNew(); }), err::FeatureNotAvailable);
    EXPECT_EQ(ErrorOf([&] { Recordset().Open(QStringLiteral("DELETE FROM TpdbItems"), *connection); }),
              err::IllegalOperation);
    EXPECT_EQ(rs.RecordCount(), 2);
}

TEST_F(RecordsetTest, LargeResultsAreReadInPages) {
    connection->BeginTrans();
    for (int i = 0; i < 3000; ++i)
        connection->Execute(QStringLiteral("INSERT INTO TpdbItems (DeviceID, Name, ItemAccess) VALUES (7, ?, ?)"),
                            {QStringLiteral("P%1").arg(i, 5, 10, QChar(u'0')), QString::number(i)});
    connection->CommitTrans();
    Recordset rs = Query(QStringLiteral("SELECT * FROM TpdbItems WHERE DeviceID = 7 ORDER BY Name"));
    EXPECT_EQ(rs.RecordCount(), 3000);
    // Jump around beyond the cache and come back: every row is the right one.
    for (int position : {2999, 1, 1500, 2000, 64, 65, 2999, 1}) {
        rs.SetAbsolutePosition(position);
        EXPECT_EQ(Name(rs), QStringLiteral("P%1").arg(position - 1, 5, 10, QChar(u'0')));
    }
    rs.SetFilter(QStringLiteral("ItemAccess Like '%99'"));
    EXPECT_EQ(rs.RecordCount(), 30);
    rs.SetFilter(QString());
    rs.MoveLast();
    rs.SetValue(QStringLiteral("Comment"), QStringLiteral("last"));
    rs.MoveFirst();
    rs.MoveLast();
    EXPECT_EQ(rs.Value(QStringLiteral("Comment")).toString(), QStringLiteral("last"));
}

TEST_F(RecordsetTest, ChangesThroughExecuteAreSeenByOpenRecordsets) {
    Recordset rs = Query(QStringLiteral("SELECT * FROM TpdbItems ORDER BY ID"));
    EXPECT_EQ(rs.Value(QStringLiteral("ItemAccess")).toString(), QStringLiteral("Item1"));
    connection->Execute(QStringLiteral("UPDATE TpdbItems SET ItemAccess = Name || '.x'"));
    EXPECT_EQ(rs.Value(QStringLiteral("ItemAccess")).toString(), QStringLiteral("Item1.x"));
    connection->BeginTrans();
    connection->Execute(QStringLiteral("UPDATE TpdbItems SET ItemAccess = 'rolled back' WHERE ID = 1"));
    connection->RollbackTrans();
    EXPECT_EQ(rs.Value(QStringLiteral("ItemAccess")).toString(), QStringLiteral("Item1.x"));
}

TEST_F(RecordsetTest, ClosedObjectsRefuseWork) {
    Recordset rs;
    EXPECT_EQ(ErrorOf([&] { rs.MoveFirst(); }), err::ObjectClosed);
    rs.Open(QStringLiteral("SELECT * FROM TpdbItems"), *connection);
    EXPECT_EQ(ErrorOf([&] { rs.Open(QStringLiteral("SELECT 1"), *connection); }), err::ObjectOpen);
    connection->Close();
    EXPECT_EQ(ErrorOf([&] { rs.MoveNext(); }), err::ObjectClosed);
}

}  // namespace

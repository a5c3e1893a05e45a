// The connection to a project database: which files it opens, how readers
// and writers share one, transactions, the errors it reports, and recorded
// changes taken back and applied again.

#include "platform/db/Changeset.h"
#include "platform/db/Connection.h"
#include "platform/db/Cursor.h"
#include "platform/db/DbError.h"
#include "platform/db/Recordset.h"
#include "support/TempProject.h"

#include <QDir>
#include <QFile>
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

QString OpenError(const QString& connectionString) {
    Connection connection;
    try {
        connection.Open(connectionString);
    } catch (const DbError& e) {
        EXPECT_EQ(connection.State(), ObjectState::Closed);
        EXPECT_FALSE(connection.Errors().empty()) << "the failure is also in the error list";
        return e.Description();
    }
    return QString();
}

// The first value of the first row.
QVariant Scalar(Connection& connection, const QString& sql) {
    Recordset rs;
    rs.Open(sql, connection);
    return rs.Fields(0).Value();
}

QString ReadOnly(const QString& path) { return QStringLiteral("Data Source=%1;Mode=Read").arg(path); }

// A project with a connection open for editing.
class ConnectionTest : public ::testing::Test {
protected:
    qint64 AddItem(int device, const QString& name, const QString& access) {
        return connection->Execute("INSERT INTO TpdbItems (DeviceID, Name, ItemAccess) VALUES (?, ?, ?)", {device, name, access});
    }

    TempProject project;
    std::unique_ptr<Connection> connection = project.Open();
};

TEST(Connection, OpensOnlyFilesThatAreUsableProjects) {
    TempProject project;
    Connection connection;
    connection.Open(project.ConnectionString());
    EXPECT_EQ(connection.DataSource(), project.Path());
    connection.Close();
    EXPECT_EQ(connection.State(), ObjectState::Closed);

    // How a file that is no database, or one locked by another program, is refused is seen
    // through ovopc and the studio session; here the state and error list of a refused open.
    EXPECT_TRUE(OpenError(QStringLiteral("Data Source=%1/missing.ovs;").arg(project.Folder())).contains(u"Could not find"));
    EXPECT_TRUE(OpenError("Provider=x;Mode=Read|Write").contains(u"No project database"));

    QFile::setPermissions(project.Path(), QFile::ReadOwner | QFile::ReadGroup);
    EXPECT_TRUE(OpenError(project.ConnectionString()).contains(u"read-only"));
    // Read access alone is fine for a read-only project.
    Connection reader;
    reader.Open(ReadOnly(project.Path()));
    EXPECT_TRUE(reader.IsReadOnly());
}

TEST(Connection, AReaderLeavesNoFilesBesideAProjectNobodyHasOpen) {
    TempProject project;
    project.Open()->Execute("INSERT INTO TpdbDevices (Name) VALUES ('Press')");
    const QDir folder(project.Folder());
    const QStringList before = folder.entryList(QDir::Files);
    ASSERT_EQ(before, QStringList{"project.ovs"}) << "the writer took its log with it";
    {
        Connection reader;
        reader.Open(ReadOnly(project.Path()));
        EXPECT_EQ(Scalar(reader, "SELECT Name FROM TpdbDevices").toString(), "Press");
        EXPECT_EQ(folder.entryList(QDir::Files), before) << "no log or index while it reads";
    }
    EXPECT_EQ(folder.entryList(QDir::Files), before);

    // With a writer at work the reader shares its log and sees what it committed.
    auto writer = project.Open();
    writer->Execute("INSERT INTO TpdbDevices (Name) VALUES ('Mill')");
    Connection reader;
    reader.Open(ReadOnly(project.Path()));
    Recordset rs;
    rs.Open("SELECT Count(*) FROM TpdbDevices", reader);
    EXPECT_EQ(rs.Fields(0).Value().toInt(), 2);
    writer->Execute("INSERT INTO TpdbDevices (Name) VALUES ('Oven')");
    rs.Requery();
    EXPECT_EQ(rs.Fields(0).Value().toInt(), 3) << "and what it commits meanwhile";
}

TEST_F(ConnectionTest, ExecuteBindsUserTextSoNoNameBreaksAStatement) {
    const QStringList names = {"O'Brien", "say \"hi\"", "a; DROP TABLE TpdbItems", "50%", "[x]"};
    for (const QString& name : names) EXPECT_EQ(AddItem(1, name, name), 1);
    QStringList stored;
    for (Cursor rows(*connection, "SELECT Name FROM TpdbItems ORDER BY ID"); rows.Next();) stored << rows.Value(0).toString();
    EXPECT_EQ(stored, names);
    EXPECT_TRUE(connection->HasTable("TpdbItems"));
}

TEST_F(ConnectionTest, LikeInStatementsUsesTheClassicPatternsWithoutLetterCase) {
    for (const char* name : {"50%", "500", "a_b", "axb", "Motor.A", "MOTOR.B", "Motor.A.Deep"}) AddItem(1, name, name);
    const auto count = [&](const char* where) {
        return Scalar(*connection, "SELECT Count(*) FROM [TpdbItems] WHERE " + QString::fromUtf8(where)).toInt();
    };
    EXPECT_EQ(count("Name Like '50[%]'"), 1);
    EXPECT_EQ(count("Name Like 'a[_]b'"), 1);
    EXPECT_EQ(count("Name Like 'motor.%' AND Name Not Like 'motor.%.%'"), 2);
    EXPECT_EQ(count("(DeviceID = 1 AND Name Like 'MOTOR%' )"), 3);
}

TEST_F(ConnectionTest, NestedTransactionsRollBackOnlyTheirOwnWorkAndActions) {
    EXPECT_EQ(connection->BeginTrans(), 1);
    connection->Execute("INSERT INTO TpdbGroups (Name) VALUES ('Outer')");
    EXPECT_EQ(connection->BeginTrans(), 2);
    connection->Execute("INSERT INTO TpdbGroups (Name) VALUES ('Inner')");
    connection->RollbackTrans();
    connection->CommitTrans();
    EXPECT_EQ(connection->TransactionLevel(), 0);
    EXPECT_EQ(Scalar(*connection, "SELECT Count(*) FROM TpdbGroups").toInt(), 2) << "Standard and Outer";
    EXPECT_EQ(ErrorOf([&] { connection->CommitTrans(); }), err::IllegalOperation);

    // Actions after commit run only for work that was kept.
    QStringList ran;
    const auto note = [&ran](const char* what) { return [&ran, what] { ran << QString::fromUtf8(what); }; };

    connection->AfterCommit(note("no transaction: at once"));
    EXPECT_EQ(ran, QStringList{"no transaction: at once"});

    ran.clear();
    connection->BeginTrans();
    connection->AfterCommit(note("outer"));
    connection->BeginTrans();
    connection->AfterCommit(note("inner kept"));
    connection->CommitTrans();
    connection->BeginTrans();
    connection->AfterCommit(note("inner rolled back"));
    connection->RollbackTrans();
    EXPECT_TRUE(ran.isEmpty()) << "nothing runs before the outermost commit";
    connection->CommitTrans();
    EXPECT_EQ(ran, (QStringList{"outer", "inner kept"}));

    ran.clear();
    connection->BeginTrans();
    connection->AfterCommit(note("dropped"));
    connection->RollbackTrans();
    connection->BeginTrans();
    connection->CommitTrans();
    EXPECT_TRUE(ran.isEmpty()) << "a rolled back transaction leaves nothing for the next one";
}

TEST_F(ConnectionTest, AStoppedStatementEndsItsTransactionCleanly) {
    connection->Execute("INSERT INTO TpdbDevices (ID, Name) VALUES (1, 'D')");
    connection->Execute("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 50000) "
                        "INSERT INTO TpdbItems (DeviceID, Name, ItemAccess) SELECT 1, 'I' || i, 'I' || i FROM n");
    QStringList ran;
    // Stopped half-way, the database rolls the whole transaction back itself.
    connection->SetKeepGoing([] { return false; });
    connection->BeginTrans();
    connection->BeginTrans();
    connection->AfterCommit([&ran] { ran << "stopped"; });
    EXPECT_NE(ErrorOf([&] { connection->Execute("UPDATE TpdbItems SET Name = Name || 'x'"); }), 0u);
    connection->SetKeepGoing({});
    EXPECT_EQ(ErrorOf([&] { connection->RollbackTrans(); }), 0u);
    EXPECT_EQ(ErrorOf([&] { connection->RollbackTrans(); }), 0u) << "the outer level ends as well";
    EXPECT_EQ(connection->TransactionLevel(), 0);

    // The next transaction is a real one: its actions run at its commit.
    connection->BeginTrans();
    connection->Execute("DELETE FROM TpdbItems WHERE Name = 'I7'");
    connection->AfterCommit([&ran] { ran << "kept"; });
    connection->CommitTrans();
    EXPECT_EQ(ran, QStringList{"kept"});
    EXPECT_EQ(Scalar(*connection, "SELECT Count(*) FROM TpdbItems WHERE Name Like '%x'").toInt(), 0)
        << "nothing of the stopped update stayed";
}

TEST_F(ConnectionTest, StatementErrorsAreClassifiedAndAUniqueViolationIsItsOwnError) {
    const std::pair<const char*, std::uint32_t> cases[] = {
        {"SELECT * FROM NoSuchTable", err::NoTable},
        {"SELECT NoSuchField FROM TpdbItems", err::ParamNotOptional},
        {"SELEKT 1", err::ErrorsInCommand},
        // A second statement is refused, not silently dropped.
        {"DELETE FROM TpdbItems; DELETE FROM TpdbGroups", err::ErrorsInCommand},
    };
    for (const auto& [sql, number] : cases) {
        const QString statement = QString::fromUtf8(sql);  // named: clang 14 cannot capture a structured binding
        EXPECT_EQ(ErrorOf([&] { connection->Execute(statement); }), number) << sql;
    }

    AddItem(1, "Motor", "M1");
    try {
        AddItem(1, "MOTOR", "M2");
        FAIL() << "a second 'Motor' in the same device must be refused";
    } catch (const DbError& e) {
        EXPECT_EQ(e.Number(), err::ErrorsOccurred);
        EXPECT_TRUE(e.IsUniqueViolation());
        ASSERT_EQ(connection->Errors().size(), 1u);
        EXPECT_EQ(connection->Errors()[0].number, err::ErrorsOccurred);
    }
    EXPECT_EQ(AddItem(2, "Motor", "M1"), 1) << "the same name in another device is fine";

    connection->Close();
    EXPECT_EQ(ErrorOf([&] { connection->Execute("SELECT 1"); }), err::ObjectClosed);
}

TEST_F(ConnectionTest, SchemaInspectionFindsOptionalPartsAndTypes) {
    EXPECT_TRUE(connection->HasTable("tpdbalign"));
    EXPECT_TRUE(connection->HasColumn("TpdbItems", "TextID"));
    EXPECT_TRUE(connection->HasIndex("TpdbItems", "UniqueItemAccess"));

    connection->Execute("DROP TABLE TpdbAlign");
    EXPECT_FALSE(connection->HasTable("TpdbAlign"));
    EXPECT_FALSE(connection->HasColumn("TpdbAlign", "ItemID"));
    EXPECT_EQ(ErrorOf([&] { Recordset().Open("TpdbAlign", *connection, CommandType::TableDirect); }), err::NoTable);

    connection->DropIndex("TpdbItems", "UniqueItemAccess");
    EXPECT_FALSE(connection->HasIndex("TpdbItems", "UniqueItemAccess"));
    AddItem(1, "A", "X");
    AddItem(1, "B", "x");
    const IndexInfo uniqueAccess{"UniqueItemAccess", {"DeviceID", "ItemAccess"}, true, false};
    try {
        connection->CreateIndex("TpdbItems", uniqueAccess);
        FAIL() << "duplicate item accesses must prevent the unique index";
    } catch (const DbError& e) {
        EXPECT_TRUE(e.IsUniqueViolation());
    }
    connection->Execute("UPDATE TpdbItems SET ItemAccess = Name");
    connection->CreateIndex("TpdbItems", uniqueAccess);
    EXPECT_TRUE(connection->HasIndex("TpdbItems", "UniqueItemAccess"));
}

// Every row of the tables a command changes, with the type of every value.
QStringList Contents(Connection& c) {
    QStringList rows;
    for (const char* table : {"TpdbItems", "TpdbConnections", "TpdbSimulation"}) {
        for (Cursor cursor(c, QStringLiteral("SELECT * FROM %1 ORDER BY 1").arg(QLatin1String(table))); cursor.Next();) {
            QStringList values{QString::fromUtf8(table)};
            for (int i = 0; i < cursor.ColumnCount(); ++i)
                values << cursor.Value(i).toString() + u':' + QString::number(cursor.Value(i).typeId());
            rows << values.join(u'|');
        }
    }
    return rows;
}

// Recorded changes taken back and applied again give the tables byte for byte. What becomes a step
// is the undo history's part; a row someone else changed since is shown by the editor's undo.
TEST_F(ConnectionTest, TakingRecordedWorkBackAndDoingItAgainGivesTheSameTables) {
    connection->Execute("INSERT INTO TpdbDevices (ID, Name) VALUES (1, 'D')");
    for (int i = 0; i < 20; ++i)
        connection->Execute("INSERT INTO TpdbItems (DeviceID, Name, ItemAccess, MaxVal) VALUES (1, ?, ?, 1.5)",
                            {QStringLiteral("I%1").arg(i), QStringLiteral("I%1").arg(i)});
    connection->Execute("INSERT INTO TpdbConnections (GroupID, ItemID) SELECT 1, ID FROM TpdbItems");
    const QStringList before = Contents(*connection);

    // A command's worth of changes: new rows, changed rows, removed rows.
    Changeset work;
    {
        ChangeRecorder recorder(*connection);
        connection->InTransaction([&] {
            AddItem(1, "New", "New");
            connection->Execute("UPDATE TpdbItems SET MaxVal = 99, Comment = 'x' WHERE Name Like 'I1%'");
            connection->Execute("DELETE FROM TpdbConnections WHERE ItemID IN (SELECT ID FROM TpdbItems WHERE Name = 'I3')");
            connection->Execute("DELETE FROM TpdbItems WHERE Name = 'I3'");
            connection->Execute("INSERT INTO TpdbSimulation (ItemID, SimulationFunction) SELECT ID, 'Sine' FROM TpdbItems WHERE Name = 'I4'");
        });
        work = recorder.Changes();
    }
    ASSERT_FALSE(work.IsEmpty());
    const QStringList after = Contents(*connection);
    ASSERT_NE(after, before);

    EXPECT_TRUE(ApplyChangeset(*connection, work.Inverted()).applied);
    EXPECT_EQ(Contents(*connection), before) << "undone";
    EXPECT_TRUE(ApplyChangeset(*connection, work).applied);
    EXPECT_EQ(Contents(*connection), after) << "done again";
    EXPECT_EQ(connection->TransactionLevel(), 0);
}

}  // namespace

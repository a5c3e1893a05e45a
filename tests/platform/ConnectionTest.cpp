// The connection to a project database: which files it opens, how readers
// and writers share one, transactions, and the errors it reports.

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

// The first value of the first row, for counts.
int Scalar(Connection& connection, const QString& sql) {
    Recordset rs;
    rs.Open(sql, connection);
    return rs.Fields(0).Value().toInt();
}

QString ReadOnly(const QString& path) { return QStringLiteral("Data Source=%1;Mode=Read").arg(path); }

// A project with a connection open for editing.
class ConnectionTest : public ::testing::Test {
protected:
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
    EXPECT_TRUE(OpenError(QStringLiteral("Provider=x;Mode=Read|Write")).contains(u"No project database"));

    QFile::setPermissions(project.Path(), QFile::ReadOwner | QFile::ReadGroup);
    EXPECT_TRUE(OpenError(project.ConnectionString()).contains(u"read-only"));
    // Read access alone is fine for a read-only project.
    Connection reader;
    reader.Open(ReadOnly(project.Path()));
    EXPECT_TRUE(reader.IsReadOnly());
}

TEST(Connection, AReaderLeavesNoFilesBesideAProjectNobodyHasOpen) {
    TempProject project;
    project.Open()->Execute(QStringLiteral("INSERT INTO TpdbDevices (Name) VALUES ('Press')"));
    const QDir folder(project.Folder());
    const QStringList before = folder.entryList(QDir::Files);
    ASSERT_EQ(before, QStringList{QStringLiteral("project.ovs")}) << "the writer took its log with it";
    {
        Connection reader;
        reader.Open(ReadOnly(project.Path()));
        Recordset rs;
        rs.Open(QStringLiteral("SELECT Name FROM TpdbDevices"), reader);
        EXPECT_EQ(rs.Fields(0).Value().toString(), QStringLiteral("Press"));
        EXPECT_EQ(folder.entryList(QDir::Files), before) << "no log or index while it reads";
    }
    EXPECT_EQ(folder.entryList(QDir::Files), before);

    // With a writer at work the reader shares its log and sees what it committed.
    auto writer = project.Open();
    writer->Execute(QStringLiteral("INSERT INTO TpdbDevices (Name) VALUES ('Mill')"));
    Connection reader;
    reader.Open(ReadOnly(project.Path()));
    Recordset rs;
    rs.Open(QStringLiteral("SELECT Count(*) FROM TpdbDevices"), reader);
    EXPECT_EQ(rs.Fields(0).Value().toInt(), 2);
    writer->Execute(QStringLiteral("INSERT INTO TpdbDevices (Name) VALUES ('Oven')"));
    rs.Requery();
    EXPECT_EQ(rs.Fields(0).Value().toInt(), 3) << "and what it commits meanwhile";
}

TEST_F(ConnectionTest, ExecuteBindsUserTextSoNoNameBreaksAStatement) {
    const QStringList names = {QStringLiteral("O'Brien"), QStringLiteral("say \"hi\""), QStringLiteral("a; DROP TABLE TpdbItems"),
                               QStringLiteral("50%"), QStringLiteral("[x]")};
    for (const QString& name : names)
        EXPECT_EQ(connection->Execute(QStringLiteral("INSERT INTO TpdbItems (DeviceID, Name, ItemAccess) VALUES (1, ?, ?)"),
                                      {name, name}),
                  1);
    QStringList stored;
    for (Cursor rows(*connection, QStringLiteral("SELECT Name FROM TpdbItems ORDER BY ID")); rows.Next();)
        stored << rows.Value(0).toString();
    EXPECT_EQ(stored, names);
    EXPECT_TRUE(connection->HasTable(QStringLiteral("TpdbItems")));
}

TEST_F(ConnectionTest, LikeInStatementsUsesTheClassicPatternsWithoutLetterCase) {
    for (const char* name : {"50%", "500", "a_b", "axb", "Motor.A", "MOTOR.B", "Motor.A.Deep"})
        connection->Execute(QStringLiteral("INSERT INTO TpdbItems (DeviceID, Name, ItemAccess) VALUES (1, ?, ?)"),
                            {QString::fromUtf8(name), QString::fromUtf8(name)});
    const auto count = [&](const char* where) {
        return Scalar(*connection, QStringLiteral("SELECT Count(*) FROM [TpdbItems] WHERE ") + QString::fromUtf8(where));
    };
    EXPECT_EQ(count("Name Like '50[%]'"), 1);
    EXPECT_EQ(count("Name Like 'a[_]b'"), 1);
    EXPECT_EQ(count("Name Like 'motor.%' AND Name Not Like 'motor.%.%'"), 2);
    EXPECT_EQ(count("(DeviceID = 1 AND Name Like 'MOTOR%' )"), 3);
}

TEST_F(ConnectionTest, NestedTransactionsRollBackOnlyTheirOwnWork) {
    EXPECT_EQ(connection->BeginTrans(), 1);
    connection->Execute(QStringLiteral("INSERT INTO TpdbGroups (Name) VALUES ('Outer')"));
    EXPECT_EQ(connection->BeginTrans(), 2);
    connection->Execute(QStringLiteral("INSERT INTO TpdbGroups (Name) VALUES ('Inner')"));
    connection->RollbackTrans();
    connection->CommitTrans();
    EXPECT_EQ(connection->TransactionLevel(), 0);
    EXPECT_EQ(Scalar(*connection, QStringLiteral("SELECT Count(*) FROM TpdbGroups")), 2) << "Standard and Outer";
    EXPECT_EQ(ErrorOf([&] { connection->CommitTrans(); }), err::IllegalOperation);
}

TEST_F(ConnectionTest, ActionsAfterCommitRunOnlyForWorkThatWasKept) {
    QStringList ran;
    const auto note = [&ran](const char* what) { return [&ran, what] { ran << QString::fromUtf8(what); }; };

    connection->AfterCommit(note("no transaction: at once"));
    EXPECT_EQ(ran, QStringList{QStringLiteral("no transaction: at once")});

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
    EXPECT_EQ(ran, (QStringList{QStringLiteral("outer"), QStringLiteral("inner kept")}));

    ran.clear();
    connection->BeginTrans();
    connection->AfterCommit(note("dropped"));
    connection->RollbackTrans();
    connection->BeginTrans();
    connection->CommitTrans();
    EXPECT_TRUE(ran.isEmpty()) << "a rolled back transaction leaves nothing for the next one";
}

TEST_F(ConnectionTest, AStoppedStatementEndsItsTransactionCleanly) {
    connection->Execute(QStringLiteral("INSERT INTO TpdbDevices (ID, Name) VALUES (1, 'D')"));
    connection->Execute(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 50000) "
                                       "INSERT INTO TpdbItems (DeviceID, Name, ItemAccess) SELECT 1, 'I' || i, 'I' || i FROM n"));
    QStringList ran;
    // Stopped half-way, the database rolls the whole transaction back itself.
    connection->SetKeepGoing([] { return false; });
    connection->BeginTrans();
    connection->BeginTrans();
    connection->AfterCommit([&ran] { ran << QStringLiteral("stopped"); });
    EXPECT_NE(ErrorOf([&] { connection->Execute(QStringLiteral("UPDATE TpdbItems SET Name = Name || 'x'")); }), 0u);
    connection->SetKeepGoing({});
    EXPECT_EQ(ErrorOf([&] { connection->RollbackTrans(); }), 0u);
    EXPECT_EQ(ErrorOf([&] { connection->RollbackTrans(); }), 0u) << "the outer level ends as well";
    EXPECT_EQ(connection->TransactionLevel(), 0);

    // The next transaction is a real one: its actions run at its commit.
    connection->BeginTrans();
    connection->Execute(QStringLiteral("DELETE FROM TpdbItems WHERE Name = 'I7'"));
    connection->AfterCommit([&ran] { ran << QStringLiteral("kept"); });
    connection->CommitTrans();
    EXPECT_EQ(ran, QStringList{QStringLiteral("kept")});
    EXPECT_EQ(Scalar(*connection, QStringLiteral("SELECT Count(*) FROM TpdbItems WHERE Name Like '%x'")), 0)
        << "nothing of the stopped update stayed";
}

TEST_F(ConnectionTest, UniqueViolationIsItsOwnError) {
    connection->Execute(QStringLiteral("INSERT INTO TpdbItems (DeviceID, Name, ItemAccess) VALUES (1, 'Motor', 'M1')"));
    try {
        connection->Execute(QStringLiteral("INSERT INTO TpdbItems (DeviceID, Name, ItemAccess) VALUES (1, 'MOTOR', 'M2')"));
        FAIL() << "a second 'Motor' in the same device must be refused";
    } catch (const DbError& e) {
        EXPECT_EQ(e.Number(), err::ErrorsOccurred);
        EXPECT_TRUE(e.IsUniqueViolation());
        ASSERT_EQ(connection->Errors().size(), 1u);
        EXPECT_EQ(connection->Errors()[0].number, err::ErrorsOccurred);
    }
    // The same name in another device is fine.
    EXPECT_EQ(connection->Execute(QStringLiteral("INSERT INTO TpdbItems (DeviceID, Name, ItemAccess) VALUES (2, 'Motor', 'M1')")), 1);
}

TEST_F(ConnectionTest, StatementErrorsAreClassified) {
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
    connection->Close();
    EXPECT_EQ(ErrorOf([&] { connection->Execute(QStringLiteral("SELECT 1")); }), err::ObjectClosed);
}

TEST_F(ConnectionTest, SchemaInspectionFindsOptionalPartsAndTypes) {
    EXPECT_TRUE(connection->HasTable(QStringLiteral("tpdbalign")));
    EXPECT_TRUE(connection->HasColumn(QStringLiteral("TpdbItems"), QStringLiteral("TextID")));
    EXPECT_TRUE(connection->HasIndex(QStringLiteral("TpdbItems"), QStringLiteral("UniqueItemAccess")));

    connection->Execute(QStringLiteral("DROP TABLE TpdbAlign"));
    EXPECT_FALSE(connection->HasTable(QStringLiteral("TpdbAlign")));
    EXPECT_FALSE(connection->HasColumn(QStringLiteral("TpdbAlign"), QStringLiteral("ItemID")));
    EXPECT_EQ(ErrorOf([&] { Recordset().Open(QStringLiteral("TpdbAlign"), *connection, CommandType::TableDirect); }),
              err::NoTable);

    connection->DropIndex(QStringLiteral("TpdbItems"), QStringLiteral("UniqueItemAccess"));
    EXPECT_FALSE(connection->HasIndex(QStringLiteral("TpdbItems"), QStringLiteral("UniqueItemAccess")));
    connection->Execute(QStringLiteral("INSERT INTO TpdbItems (DeviceID, Name, ItemAccess) VALUES (1, 'A', 'X')"));
    connection->Execute(QStringLiteral("INSERT INTO TpdbItems (DeviceID, Name, ItemAccess) VALUES (1, 'B', 'x')"));
    const IndexInfo uniqueAccess{QStringLiteral("UniqueItemAccess"),
                                 {QStringLiteral("DeviceID"), QStringLiteral("ItemAccess")}, true, false};
    try {
        connection->CreateIndex(QStringLiteral("TpdbItems"), uniqueAccess);
        FAIL() << "duplicate item accesses must prevent the unique index";
    } catch (const DbError& e) {
        EXPECT_TRUE(e.IsUniqueViolation());
    }
    connection->Execute(QStringLiteral("UPDATE TpdbItems SET ItemAccess = Name"));
    connection->CreateIndex(QStringLiteral("TpdbItems"), uniqueAccess);
    EXPECT_TRUE(connection->HasIndex(QStringLiteral("TpdbItems"), QStringLiteral("UniqueItemAccess")));
}

}  // namespace

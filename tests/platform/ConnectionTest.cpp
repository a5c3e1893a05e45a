// The connection to a project database: which files it opens, how readers
// and writers share one, transactions, the errors it reports, and recorded
// changes taken back and applied again; the same on a project file and on a
// server project, and what only a server has (roles, passwords, the log of
// who changed what).

#include "platform/db/Changeset.h"
#include "platform/db/Connection.h"
#include "platform/db/Cursor.h"
#include "platform/db/DbError.h"
#include "platform/db/Recordset.h"
#include "support/PgCluster.h"
#include "support/TempProject.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using namespace ov::db;
using ov::test::Store;
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

qint64 AddItem(Connection& connection, int device, const QString& name, const QString& access) {
    return connection.Execute("INSERT INTO TpdbItems (DeviceID, Name, ItemAccess) VALUES (?, ?, ?)", {device, name, access});
}

// A project in a file or on the server, with a connection open for editing.
class ConnectionTest : public ov::test::StoreTest {
protected:
    qint64 AddItem(int device, const QString& name, const QString& access) {
        return ::AddItem(*connection, device, name, access);
    }
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
}

TEST_P(ConnectionTest, AReaderSeesWhatAWriterCommitsAndWritesNothing) {
    connection->Execute("INSERT INTO TpdbDevices (Name) VALUES ('Mill')");
    Connection reader;
    reader.Open(project->ReadConnectionString());
    EXPECT_TRUE(reader.IsReadOnly());
    Recordset rs;
    rs.Open("SELECT Count(*) FROM TpdbDevices", reader);
    EXPECT_EQ(rs.Fields(0).Value().toInt(), 1);
    connection->Execute("INSERT INTO TpdbDevices (Name) VALUES ('Oven')");
    rs.Requery();
    EXPECT_EQ(rs.Fields(0).Value().toInt(), 2) << "and what it commits meanwhile";
    EXPECT_EQ(ErrorOf([&] { reader.Execute("DELETE FROM TpdbDevices"); }), err::Fail);
    EXPECT_EQ(Scalar(*connection, "SELECT Count(*) FROM TpdbDevices").toInt(), 2);
}

TEST_P(ConnectionTest, ExecuteBindsUserTextSoNoNameBreaksAStatement) {
    const QStringList names = {"O'Brien", "say \"hi\"", "a; DROP TABLE TpdbItems", "50%", "[x]"};
    for (const QString& name : names) EXPECT_EQ(AddItem(1, name, name), 1);
    QStringList stored;
    for (Cursor rows(*connection, "SELECT Name FROM TpdbItems ORDER BY ID"); rows.Next();) stored << rows.Value(0).toString();
    EXPECT_EQ(stored, names);
    EXPECT_TRUE(connection->HasTable("TpdbItems"));
}

TEST_P(ConnectionTest, LikeInStatementsUsesTheClassicPatternsWithoutLetterCase) {
    for (const char* name : {"50%", "500", "a_b", "axb", "Motor.A", "MOTOR.B", "Motor.A.Deep"}) AddItem(1, name, name);
    const auto count = [&](const char* where) {
        return Scalar(*connection, "SELECT Count(*) FROM [TpdbItems] WHERE " + QString::fromUtf8(where)).toInt();
    };
    EXPECT_EQ(count("Name Like '50[%]'"), 1);
    EXPECT_EQ(count("Name Like 'a[_]b'"), 1);
    EXPECT_EQ(count("Name Like 'motor.%' AND Name Not Like 'motor.%.%'"), 2);
    EXPECT_EQ(count("(DeviceID = 1 AND Name Like 'MOTOR%' )"), 3);
}

TEST_P(ConnectionTest, NestedTransactionsRollBackOnlyTheirOwnWorkAndActions) {
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

TEST_P(ConnectionTest, AStoppedStatementEndsItsTransactionCleanly) {
    connection->Execute("INSERT INTO TpdbDevices (ID, Name) VALUES (1, 'D')");
    connection->Execute("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 50000) "
                        "INSERT INTO TpdbItems (DeviceID, Name, ItemAccess) SELECT 1, 'I' || i, 'I' || i FROM n");
    QStringList ran;
    // Stopped half-way: a file rolls the whole transaction back itself, a
    // server only the statement; either way each level ends cleanly.
    int asked = 0;
    connection->SetKeepGoing([&asked] { return ++asked < 3; });
    connection->BeginTrans();
    connection->BeginTrans();
    connection->AfterCommit([&ran] { ran << "stopped"; });
    EXPECT_NE(ErrorOf([&] { connection->Execute("UPDATE TpdbItems SET Name = Name || 'x'"); }), 0u);
    EXPECT_EQ(asked, 3) << "asked while the statement ran, and not again once told to stop";
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

TEST_P(ConnectionTest, StatementErrorsAreClassifiedAndAUniqueViolationIsItsOwnError) {
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

TEST_P(ConnectionTest, SchemaInspectionFindsOptionalPartsAndTypes) {
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
TEST_P(ConnectionTest, TakingRecordedWorkBackAndDoingItAgainGivesTheSameTables) {
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

// --- only on a server ---

// Roles of the server with the rights of a viewer or an editor of one project.
class ServerRoles : public ::testing::Test {
protected:
    void SetUp() override {
        OV_REQUIRE_STORE(Store::Server);
        project = std::make_unique<TempProject>(Store::Server);
        // Roles belong to the whole server: each test has names of its own.
        static int made = 0;
        const QString suffix = QString::number(++made);
        viewer = "viewer" + suffix;
        editor = "editor" + suffix;
        const auto* cluster = ov::test::SharedPgCluster();
        cluster->CreateRole(viewer, "seen");
        cluster->CreateRole(editor, "written");
        const QString schema = '"' + project->Schema() + '"';
        project->RunSql(QStringLiteral("GRANT USAGE ON SCHEMA %1 TO %2, %3;"
                                       "GRANT SELECT ON ALL TABLES IN SCHEMA %1 TO %2;"
                                       "GRANT SELECT, INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA %1 TO %3;"
                                       "GRANT USAGE, UPDATE ON ALL SEQUENCES IN SCHEMA %1 TO %3")
                            .arg(schema, viewer, editor));
        project->Open()->Execute("INSERT INTO TpdbDevices (Name) VALUES ('Press')");
    }

    QString OpenError(const QString& connectionString, const QString& user, const QString& password) const {
        Connection connection;
        try {
            connection.Open(connectionString, user, password);
        } catch (const DbError& e) {
            EXPECT_EQ(connection.State(), ObjectState::Closed);
            return e.Description();
        }
        return QString();
    }

    std::unique_ptr<TempProject> project;
    QString viewer, editor;
};

TEST_F(ServerRoles, ARoleThatMayOnlyReadOpensTheProjectOnlyForViewingAndIsToldWhy) {
    const QString refusal = OpenError(project->ConnectionString(), viewer, "seen");
    EXPECT_TRUE(refusal.contains(viewer) && refusal.contains("may only read")) << refusal.toStdString();

    Connection connection;
    connection.Open(project->ReadConnectionString(), viewer, "seen");
    EXPECT_TRUE(connection.IsReadOnly());
    EXPECT_EQ(Scalar(connection, "SELECT Name FROM TpdbDevices").toString(), "Press");
    EXPECT_EQ(ErrorOf([&] { connection.Execute("DELETE FROM TpdbDevices"); }), err::Fail);

    // An editor opens it for editing.
    EXPECT_FALSE(project->Open(editor, "written")->IsReadOnly());
}

TEST_F(ServerRoles, AWrongOrMissingPasswordIsToldAsSuchAndKnownByItsKind) {
    struct Login {
        QString role, password;
        LoginFailure kind;
    };
    // A role the server does not know is refused like a wrong password: nobody learns which roles exist.
    for (const Login& login : {Login{editor, "guessed", LoginFailure::PasswordRefused},
                               Login{editor, QString(), LoginFailure::PasswordWanted},
                               Login{"nobody here", "x", LoginFailure::PasswordRefused}}) {
        SCOPED_TRACE(login.role.toStdString() + "/" + login.password.toStdString());
        Connection connection;
        try {
            connection.Open(project->ConnectionString(), login.role, login.password);
            ADD_FAILURE() << "opened";
        } catch (const DbError& e) {
            EXPECT_TRUE(e.Description().contains("password") && e.Description().contains(login.role))
                << e.Description().toStdString();
            EXPECT_EQ(e.Login(), login.kind) << e.Description().toStdString();
            EXPECT_EQ(e.LoginRole(), login.role);
            EXPECT_EQ(connection.Errors().back().login, login.kind) << "the error list knows it too";
        }
    }
    // The right one opens; a server out of reach is no matter of passwords.
    EXPECT_EQ(OpenError(project->ConnectionString(), editor, "written"), QString());
    Connection unreachable;
    try {
        unreachable.Open(QStringLiteral("Data Source=postgresql://ov@127.0.0.1:1/x?project=p"));
        ADD_FAILURE() << "opened";
    } catch (const DbError& e) {
        EXPECT_EQ(e.Login(), LoginFailure::None) << e.Description().toStdString();
    }
}

TEST_F(ServerRoles, TheChangeLogNamesTheRoleThatWroteEachRow) {
    auto connection = project->Open(editor, "written");
    connection->Execute("UPDATE TpdbDevices SET Name = 'Mill'");
    AddItem(*connection, 1, "Motor", "M1");
    const auto who = ov::test::SharedPgCluster()->Query(
        project->Database(), QStringLiteral("SELECT who, tbl FROM \"%1\".ov_changes ORDER BY seq DESC LIMIT 3").arg(project->Schema()));
    ASSERT_EQ(who.size(), 3u);
    EXPECT_EQ(who[0], (QStringList{editor, "TpdbItems"}));
    EXPECT_EQ(who[1], (QStringList{editor, "TpdbDevices"}));
    EXPECT_EQ(who[2], (QStringList{"ov", "TpdbDevices"})) << "the device the superuser added";
}

INSTANTIATE_TEST_SUITE_P(, ConnectionTest, ov::test::kBothStores, ov::test::StoreName);

}  // namespace

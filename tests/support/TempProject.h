#pragma once

#include "platform/db/Connection.h"
#include "support/QtPrinters.h"

#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace ov::test {

class PgCluster;

// Where a project database lies: a file, or a schema on a PostgreSQL server.
enum class Store { File, Server };

// A project database made from the project template, gone with the object:
// a file in a private temporary folder, or a project schema of its own in
// one database of the test program's server (SharedPgCluster()), dropped at
// the end. The server must be running (OV_REQUIRE_STORE first).
class TempProject {
public:
    enum class Content { Empty, Demo };
    explicit TempProject(Content content = Content::Empty, Store store = Store::File);
    explicit TempProject(Store store) : TempProject(Content::Empty, store) {}
    ~TempProject();
    TempProject(const TempProject&) = delete;
    TempProject& operator=(const TempProject&) = delete;

    Store Where() const { return m_store; }
    bool OnServer() const { return m_store == Store::Server; }
    // The Data Source: the file's path, or the server project's URL.
    const QString& Path() const { return m_path; }
    // A private temporary folder, for files beside the project.
    QString Folder() const { return m_dir.path(); }
    QString ConnectionString() const;
    QString ReadConnectionString() const;

    // A new connection to the project, opened for editing; as another user
    // (a role of the server) when one is given.
    std::unique_ptr<db::Connection> Open(const QString& user = QString(), const QString& password = QString()) const;

    // On a server: its database, the project's schema, and SQL run there as
    // the superuser with the project's schema first on the search path.
    QString Database() const;
    QString Schema() const { return m_schema; }
    void RunSql(const QString& sql) const;

private:
    Store m_store;
    QTemporaryDir m_dir;
    QString m_path;
    QString m_schema;
};

// A project in the store of the test's parameter, with a connection open
// for editing. A SetUp of its own calls this one first and returns when
// the test was skipped or failed (IsSkipped(), HasFatalFailure()).
class StoreTest : public ::testing::TestWithParam<Store> {
protected:
    void SetUp() override;
    bool OnServer() const { return GetParam() == Store::Server; }

    std::unique_ptr<TempProject> project;
    std::unique_ptr<db::Connection> connection;
};

// Test names of value-parameterised tests over both stores: .../File, .../Server.
std::string StoreName(const ::testing::TestParamInfo<Store>& info);
inline const auto kBothStores = ::testing::Values(Store::File, Store::Server);

// Why projects cannot be made in the store here (the server's programs are
// missing or it would not start), empty when they can; and whether to skip
// rather than fail.
QString StoreUnavailable(Store store);
bool StoreMissing(Store store);

}  // namespace ov::test

// First thing in a test, or the SetUp of a fixture, that uses the store.
#define OV_REQUIRE_STORE(store)                                                                                  \
    do {                                                                                                         \
        if (const QString why = ::ov::test::StoreUnavailable(store); !why.isEmpty()) {                            \
            if (::ov::test::StoreMissing(store)) GTEST_SKIP() << why.toStdString();                               \
            FAIL() << why.toStdString();                                                                         \
        }                                                                                                        \
    } while (false)

#include "support/TempProject.h"

#include "model/DemoProject.h"
#include "model/ProjectTemplate.h"
#include "platform/db/DbError.h"
#include "platform/db/PgBackend.h"
#include "support/PgCluster.h"

#include <stdexcept>

namespace ov::test {

namespace {

// Every server project of a test program lies in this database.
const QString kDatabase = QStringLiteral("projects");

const PgCluster* ProjectServer() {
    static bool made = false;
    const PgCluster* cluster = SharedPgCluster();
    if (cluster && !made) {
        cluster->CreateDatabase(kDatabase);
        made = true;
    }
    return cluster;
}

}  // namespace

TempProject::TempProject(Content content, Store store) : m_store(store) {
    if (!m_dir.isValid()) throw std::runtime_error("cannot create a temporary folder");
    if (store == Store::File) {
        m_path = m_dir.filePath(QStringLiteral("project.ovs"));
    } else {
        const PgCluster* cluster = ProjectServer();
        if (!cluster) throw std::runtime_error("no test server: " + PgClusterUnavailable().toStdString());
        static int made = 0;
        m_schema = QStringLiteral("test%1").arg(++made);
        m_path = cluster->Url(kDatabase, m_schema);
    }
    if (content == Content::Demo)
        model::CreateDemoProject(m_path);
    else
        model::CreateProjectDatabase(m_path);
}

TempProject::~TempProject() {
    if (m_store != Store::Server) return;
    try {
        db::PgBackend::DropProject(m_path);
    } catch (const db::DbError&) {
        // The cluster goes at the program's end anyway.
    }
}

QString TempProject::ConnectionString() const { return model::ProjectConnectionString(m_path); }

QString TempProject::ReadConnectionString() const { return model::ProjectReadConnectionString(m_path); }

std::unique_ptr<db::Connection> TempProject::Open(const QString& user, const QString& password) const {
    auto connection = std::make_unique<db::Connection>();
    connection->Open(ConnectionString(), user, password);
    return connection;
}

QString TempProject::Database() const { return OnServer() ? kDatabase : QString(); }

void TempProject::RunSql(const QString& sql) const {
    if (!OnServer()) throw std::logic_error("RunSql is for server projects");
    SharedPgCluster()->RunSql(kDatabase, QStringLiteral("SET search_path = \"%1\", public;\n").arg(m_schema) + sql);
}

void StoreTest::SetUp() {
    OV_REQUIRE_STORE(GetParam());
    project = std::make_unique<TempProject>(GetParam());
    connection = project->Open();
}

std::string StoreName(const ::testing::TestParamInfo<Store>& info) {
    return info.param == Store::File ? "File" : "Server";
}

QString StoreUnavailable(Store store) {
    if (store == Store::File || ProjectServer()) return QString();
    return PgClusterUnavailable();
}

bool StoreMissing(Store store) { return store == Store::Server && PgClusterMissing(); }

}  // namespace ov::test

#include "support/TempProject.h"

#include "model/DemoProject.h"
#include "model/ProjectTemplate.h"

#include <stdexcept>

namespace ov::test {

TempProject::TempProject(Content content) {
    if (!m_dir.isValid()) throw std::runtime_error("cannot create a temporary folder");
    m_path = m_dir.filePath(QStringLiteral("project.ovs"));
    if (content == Content::Demo)
        model::CreateDemoProject(m_path);
    else
        model::CreateProjectDatabase(m_path);
}

QString TempProject::ConnectionString() const { return model::ProjectConnectionString(m_path); }

std::unique_ptr<db::Connection> TempProject::Open() const {
    auto connection = std::make_unique<db::Connection>();
    connection->Open(ConnectionString());
    return connection;
}

}  // namespace ov::test

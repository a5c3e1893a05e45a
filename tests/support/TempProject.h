#pragma once

#include "platform/db/Connection.h"
#include "support/QtPrinters.h"

#include <QString>
#include <QTemporaryDir>
#include <memory>

namespace ov::test {

// A project database made from the project template in a private temporary
// folder that disappears with the object.
class TempProject {
public:
    enum class Content { Empty, Demo };
    explicit TempProject(Content content = Content::Empty);

    const QString& Path() const { return m_path; }
    QString Folder() const { return m_dir.path(); }
    QString ConnectionString() const;

    // A new connection to the project, opened for editing.
    std::unique_ptr<db::Connection> Open() const;

private:
    QTemporaryDir m_dir;
    QString m_path;
};

}  // namespace ov::test

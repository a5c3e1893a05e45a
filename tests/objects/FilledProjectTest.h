#pragma once

// The editor on a project made from the template and filled by the test
// itself, for the item tests whose few rows must be known one by one:
// device 1 with its folders, and what the tests ask of the item grid and
// the tree.

#include "model/ProjectTemplate.h"
#include "objects/ObjectTest.h"

#include <QFile>
#include <functional>

namespace ov::test {

class FilledProjectTest : public ObjectTest {
  protected:
    // Makes the project anew from the template, fills it through a
    // connection of its own, then starts the studio session on it and loads
    // the editor.
    void Open(const std::function<void(db::Connection&)>& fill) {
        ASSERT_TRUE(QFile::remove(project.Path()));
        model::CreateProjectDatabase(project.Path());
        fill(*project.Open());
        ObjectTest::Open();
        ASSERT_TRUE(harness.Session().IsLoaded());
        ClearShown();
    }

    ui::GridModel& Items() { return Window().tdbI(); }
    int Column(const char* field) { return Items().ColumnIndexInSplit(QString::fromUtf8(field), 1); }
    QString Folder(const char* path) const { return device + host::nodekey::kSeparator + QString::fromUtf8(path); }
    // The item count the tree shows on a node, -1 when there is no such node.
    int FolderCount(const QString& key) {
        QVariant count;
        return harness.Host().GetNodeProperty(key, host::kPropertyItemCount, count) == 0 ? count.toInt() : -1;
    }

    const QString device = host::nodekey::DeviceKey(1, QStringLiteral("."), false);
};

}  // namespace ov::test

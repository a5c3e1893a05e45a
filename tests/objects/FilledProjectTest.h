#pragma once

// The editor on a project made from the template and filled by the test
// itself, for the item tests whose few rows must be known one by one:
// device 1 with its folders, and what the tests ask of the window, the item
// grid, the tree and the messages.

#include "editor/frmtabgridOPC.h"
#include "host/NodeKey.h"
#include "model/DataConnection.h"
#include "objects/ObjectTest.h"
#include "platform/db/Recordset.h"
#include "platform/ui/FormPresenter.h"
#include "platform/ui/MessageBox.h"
#include "settings/TextTable.h"
#include "support/SessionHarness.h"

#include <functional>
#include <gtest/gtest.h>

namespace ov::test {

class FilledProjectTest : public ::testing::Test {
  protected:
    // Fills the project through a connection of its own, then starts the
    // studio session on it and loads the editor.
    void Open(const std::function<void(db::Connection&)>& fill) {
        fill(*project.Open());
        settings::TextTable::Instance().SetLanguage(settings::TextTable::kEnglish);
        harness.Start(project.Path());
        harness.Load();
        ASSERT_TRUE(harness.Session().IsLoaded());
        ui::DefaultFormRunner().Clear();
        ui::DefaultMessageBoxes().Clear();
    }
    void TearDown() override {
        settings::TextTable::Instance().SetLanguage(settings::TextTable::kGerman);
        ui::DefaultFormRunner().Clear();
    }

    editor::frmtabgridOPC& Window() { return dynamic_cast<editor::frmtabgridOPC&>(*harness.Session().Window()); }
    ui::GridModel& Items() { return Window().tdbI(); }
    void Click(const QString& key) { harness.Session().NodeClick(QString(), key, QString()); }
    int Column(const char* field) { return Items().ColumnIndexInSplit(QString::fromUtf8(field), 1); }
    QString Folder(const char* path) const { return device + host::nodekey::kSeparator + QString::fromUtf8(path); }
    // A key pressed in a grid; what is left of the key code, 0 when the grid took it.
    static int Press(ui::GridModel& grid, int code, int shift = 0) {
        grid.KeyDown(code, shift);
        return code;
    }
    // The item count the tree shows on a node, -1 when there is no such node.
    int FolderCount(const QString& key) {
        QVariant count;
        return harness.Host().GetNodeProperty(key, host::kPropertyItemCount, count) == 0 ? count.toInt() : -1;
    }
    // The first field of the first row as a number, read through a connection of its own.
    int Count(const QString& sql) {
        auto c = project.Open();
        db::Recordset rs;
        rs.Open(sql, *c);
        return rs.IsEOF() ? 0 : rs.Fields(0).Value().toInt();
    }
    static QString LastMessage() {
        const auto& shown = ui::DefaultMessageBoxes().Shown();
        return shown.empty() ? QString() : shown.back().text;
    }

    SessionHarness harness;
    TempProject project;
    const QString device = host::nodekey::DeviceKey(1, QStringLiteral("."), false);
};

}  // namespace ov::test

#pragma once

#include "editor/frmtabgridOPC.h"
#include "platform/db/Recordset.h"
#include "platform/system/ScriptedSaveFileDialog.h"
#include "platform/system/SystemTools.h"
#include "platform/ui/FormPresenter.h"
#include "platform/ui/MessageBox.h"
#include "settings/TextTable.h"
#include "support/SessionHarness.h"

#include <gtest/gtest.h>

namespace ov::test {

// The demo project open in the editor with English texts, as the object
// tests use it, and what they ask of it: the window, clicks on nodes, menu
// tools, the database as another program sees it, the tree and messages.
class EditorTest : public ::testing::Test {
  protected:
    // Starts the studio session on the project and loads the editor.
    void Open() {
        harness.Start(project.Path());
        settings::TextTable::Instance().SetLanguage(settings::TextTable::kEnglish);
        harness.Load();
    }
    void TearDown() override {
        settings::TextTable::Instance().SetLanguage(settings::TextTable::kGerman);
        ui::DefaultFormRunner().Clear();
    }
    // Forgets the dialogs and messages seen so far.
    static void ClearShown() {
        ui::DefaultFormRunner().Clear();
        ui::DefaultMessageBoxes().Clear();
    }

    editor::frmtabgridOPC& Window() { return dynamic_cast<editor::frmtabgridOPC&>(*harness.Session().Window()); }
    void Click(const QString& key) { harness.Session().NodeClick(QString(), key, QString()); }
    // A menu tool with the availability computed for a node (the current one when none is given).
    void RunTool(const char* tool, const QString& key = QString()) {
        Window().ComputeAvailability(key.isEmpty() ? Window().CurrentNode() : key, false);
        Window().ClickTool(QString::fromUtf8(tool));
    }
    // The first field of the first row, read through a connection of its own.
    QVariant Query(const QString& sql) {
        auto c = project.Open();
        db::Recordset rs;
        rs.Open(sql, *c);
        return rs.IsEOF() ? QVariant() : rs.Fields(0).Value();
    }
    int Count(const QString& sql) { return Query(sql).toInt(); }
    QString NodeText(const QString& key) {
        QVariant text;
        return harness.Host().GetNodeProperty(key, host::kPropertyText, text) == 0 ? text.toString() : QString();
    }
    // The file dialog of the tests, which takes queued answers.
    static sys::ScriptedSaveFileDialog& Files() {
        return dynamic_cast<sys::ScriptedSaveFileDialog&>(sys::SystemTools::Instance().FileDialog());
    }
    static QStringList Messages() {
        QStringList texts;
        for (const auto& m : ui::DefaultMessageBoxes().Shown()) texts << m.text;
        return texts;
    }

    SessionHarness harness;
    TempProject project{TempProject::Content::Demo};
};

}  // namespace ov::test

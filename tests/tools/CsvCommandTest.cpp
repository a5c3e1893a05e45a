// Export and import from the editor's Extras menu: the two dialogs, which
// options they offer, the file dialogs and what reaches the database.

#include "host/NodeKey.h"
#include "model/DataConnection.h"
#include "platform/system/ScriptedSaveFileDialog.h"
#include "platform/system/SystemTools.h"
#include "support/EditorTest.h"
#include "support/Files.h"
#include "support/QtPrinters.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace ov;
using settings::Text;

namespace {

class CsvCommandTest : public test::EditorTest {
  protected:
    void SetUp() override {
        Open();
        Click(plc);
        ClearShown();
    }
    // The menu tool with the script acting on its dialog and the answer queued for the file dialog.
    void Transfer(const char* tool, const char* form, const std::function<void(ui::Form&)>& script, const QString& answer) {
        ui::DefaultFormRunner().Once(QString::fromUtf8(form), script);
        Files().Queue(answer);
        RunTool(tool);
    }
    static bool Enabled(ui::Form& f, int option) { return f.Get(QStringLiteral("optSelItems"), option).enabled; }

    const QString plc = host::nodekey::DeviceKey(1, QStringLiteral("."), false) + host::nodekey::kSeparator + QStringLiteral("Line1.Motor1");
    QTemporaryDir dir;
};

TEST_F(CsvCommandTest, TheOptionsFollowTheViewAndTheSelection) {
    Transfer("mnuOptionExport", "FExportToCSV", [](ui::Form& f) {
        EXPECT_FALSE(Enabled(f, 0)) << "no rows selected";
        EXPECT_TRUE(Enabled(f, 1));
        EXPECT_EQ(f.Get(QStringLiteral("optSelItems"), 1).caption, Text(804));
        EXPECT_TRUE(f.Get(QStringLiteral("optSelItems"), 1).IsChecked());
        f.PressCancel();
    }, QString());
    EXPECT_EQ(Files().PendingAnswers(), 1) << "Cancel asks for no file";
    Files().Choose(0, {}, {}, {}, 0, 0);  // drop the unused answer

    Window().tdbI().SelectRows({0, 1});
    Click(host::nodekey::GroupKey(1));
    Window().tdbI().SelectRows({0});
    Transfer("mnuOptionImport", "FImportFromCSV", [](ui::Form& f) {
        EXPECT_TRUE(f.caption.endsWith(QStringLiteral("in.csv"))) << f.caption.toStdString();
        EXPECT_EQ(f.Get(QStringLiteral("optSelItems"), 1).caption, Text(905)) << "a group view";
        f.UserCheck(QStringLiteral("chkInsertAllItemsAsNew"), true);
        EXPECT_FALSE(Enabled(f, 2));
        EXPECT_FALSE(f.Get(QStringLiteral("chkInsertNewItems")).enabled);
        f.PressCancel();
    }, dir.filePath(QStringLiteral("in.csv")));
    EXPECT_EQ(Files().Calls().back().filter, QStringLiteral("csv-Files (*.csv)|*.csv"));
}

TEST_F(CsvCommandTest, SelectedRowsGoOutAndComeBackInTheChosenEncoding) {
    const QString path = dir.filePath(QStringLiteral("selected.csv"));
    Window().tdbI().SelectRows({1, 0});
    Transfer("mnuOptionExport", "FExportToCSV", [](ui::Form& f) {
        EXPECT_TRUE(f.Get(QStringLiteral("optSelItems"), 0).IsChecked()) << "rows are selected";
        f.UserChoose(QStringLiteral("cboEncoding"), 1);
        f.PressDefault();
    }, path);
    const QByteArray bytes = test::ReadFile(path);
    ASSERT_TRUE(bytes.startsWith("\xEF\xBB\xBF")) << "UTF-8 with its byte order mark";
    EXPECT_EQ(bytes.count("\r\n"), 2) << bytes.toStdString();

    // Change both items, then take the file back for the selected rows.
    auto c = project.Open();
    c->Execute(QStringLiteral("UPDATE TpdbItems SET Comment = 'changed' WHERE Name LIKE 'Line1.Motor1.%'"));
    Window().tdbI().SelectRows({0, 1});
    Transfer("mnuOptionImport", "FImportFromCSV", [](ui::Form& f) {
        EXPECT_EQ(f.Get(QStringLiteral("optSelItems"), 0).IsChecked(), true);
        f.PressDefault();
    }, path);
    EXPECT_TRUE(Messages().isEmpty()) << Messages().join(u'|').toStdString();
    EXPECT_EQ(Count(QStringLiteral("SELECT Count(*) FROM TpdbItems WHERE Comment = 'changed'")), 1)
        << "the folder's third item was not in the file";
}

TEST_F(CsvCommandTest, BadLinesAreListedAndCancelOfTheFileDialogImportsNothing) {
    const QString path = dir.filePath(QStringLiteral("bad.csv"));
    ASSERT_EQ(test::WriteFile(path, "1;2\r\n\r\n;;\r\n"), path);
    const int before = Count(QStringLiteral("SELECT Count(*) FROM TpdbItems"));
    Transfer("mnuOptionImport", "FImportFromCSV", [](ui::Form& f) {
        f.UserCheck(QStringLiteral("chkInsertAllItemsAsNew"), true);
        f.PressDefault();
    }, path);
    ASSERT_EQ(Messages().size(), 1);
    EXPECT_EQ(Messages().front(), Text(909).replace(QStringLiteral("<i>"), QStringLiteral("0")) + u'\n' +
                                      Text(909).replace(QStringLiteral("<i>"), QStringLiteral("2")));
    EXPECT_EQ(Count(QStringLiteral("SELECT Count(*) FROM TpdbItems")), before);

    ClearShown();
    Transfer("mnuOptionImport", "FImportFromCSV", [](ui::Form& f) { f.PressDefault(); }, QString());
    EXPECT_TRUE(ui::DefaultFormRunner().Unexpected().isEmpty()) << "the dialog closed itself";
    EXPECT_TRUE(Messages().isEmpty()) << Messages().join(u'|').toStdString();
}

}  // namespace

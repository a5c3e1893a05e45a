// The item grid online against the test server's changing variables: values
// in the rows, a wrong node ID, writing through FWriteValue (taken, refused
// by the server, out of range, cancelled at the second question) and an edit
// typed while values arrive.

#include "host/NodeKey.h"
#include "model/DataConnection.h"
#include "opc/OnlineValues.h"
#include "settings/TextTable.h"
#include "support/Files.h"
#include "support/QtPrinters.h"
#include "OpcEditorTest.h"
#include "TestServer.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

using namespace ov;
using settings::Text;

namespace {

const QString kAlive = QStringLiteral("nsu=urn:ovopc:alive;s=Alive.");

class OnlineGridTest : public test::OpcEditorTest {
  protected:
    static void SetUpTestSuite() {
        if (!test::HelperInstalled()) return;
        UseOwnPki();
        server = new test::TestServer({QStringLiteral("--alive")});
    }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
        DropOwnPki();
    }
    void SetUp() override {
        if (!test::HelperInstalled()) GTEST_SKIP() << "node or the helper's npm packages are missing (scripts/setup.sh)";
        ASSERT_FALSE(server->Endpoint().isEmpty()) << "the test server did not start";
        ServerKey(QStringLiteral("Alive.Live.1"), "Endpoint", server->Endpoint());
        Open();
        // PLC1 becomes the server's device with four items: rows 0 to 3 by ID.
        UseServer(QStringLiteral("Alive.Live.1"));
        db::Connection& c = Window().Data()->Connection();
        c.Execute(QStringLiteral("DELETE FROM TpdbConnections WHERE ItemID IN (SELECT ID FROM TpdbItems WHERE DeviceID = 1)"));
        c.Execute(QStringLiteral("DELETE FROM TpdbItems WHERE DeviceID = 1"));
        for (const char* name : {"Ramp", "Setpoint", "ReadOnly", "Typo"})
            c.Execute(QStringLiteral("INSERT INTO TpdbItems (Name, ItemAccess, DataType, AccessRights, MinVal, MaxVal, "
                                     "DeviceID) VALUES (?, ?, 5, 3, 0, 50, 1)"),
                      {QString::fromUtf8(name), kAlive + QString::fromUtf8(name)});
        Click(host::nodekey::DeviceKey(1, QString(), false));
        ASSERT_EQ(Items().RowCount(), 4);
        ClearShown();
        RunTool("mnuViewOnline");
        ASSERT_TRUE(Window().Online().IsOn());
    }
    void TearDown() override {
        if (harness.Session().IsLoaded() && Window().Online().IsOn()) RunTool("mnuViewOnline");
        OpcEditorTest::TearDown();
    }
    ui::GridModel& Items() { return Window().tdbI(); }
    QString Live(int row, int caption) {
        for (int c = 0; c < Items().ColumnCount(); ++c)
            if (!Items().Column(c).IsBound() && Items().Column(c).caption == Text(caption)) return Items().CellText(row, c);
        return QStringLiteral("<no column>");
    }
    bool Until(const std::function<bool()>& done) {
        return test::Within(done, [this] {
            QCoreApplication::processEvents();
            Window().Online().Poll();
        }, 10000);
    }
    // Write Value on a row with the typed text and the answer to the second question.
    void Write(int row, const QString& text, const char* answer) {
        Items().SetCurrentCell(row, 0);
        ui::DefaultMessageBoxes().Queue(QString::fromUtf8(answer) == QStringLiteral("OK") ? ui::Answer::OK : ui::Answer::Cancel);
        ui::DefaultFormRunner().Once(QStringLiteral("FWriteValue"), [text](ui::Form& form) {
            form.UserSetText(QStringLiteral("txtNewValue"), text);
            form.UserClick(QStringLiteral("cmdOK"));
        });
        RunTool("mnuItemWriteValue");
    }
    QList<QByteArray> LogLines() {
        return test::ReadFile(opc::WriteLogPath(project.Path())).trimmed().split('\n');
    }

    static inline test::TestServer* server = nullptr;
};

TEST_F(OnlineGridTest, RowsShowTheServersValuesAsTheyChange) {
    ASSERT_TRUE(Until([&] { return Live(0, 9328) == QStringLiteral("Good"); }));
    const QString first = Live(0, 9327);
    EXPECT_FALSE(Live(0, 9329).isEmpty());
    EXPECT_TRUE(Until([&] { return Live(0, 9327) != first; })) << "the ramp moves";
    EXPECT_EQ(Live(3, 9328), QStringLiteral("Bad_NodeIdUnknown"));
    EXPECT_EQ(Items().ToneOfRow(3), ui::RowTone::Error);
    EXPECT_EQ(Items().ToneOfRow(0), ui::RowTone::Normal);
}

TEST_F(OnlineGridTest, WriteValueChecksAsksTwiceAndRecordsWhatWasSent) {
    ASSERT_TRUE(Until([&] { return Live(1, 9328) == QStringLiteral("Good"); }));
    // Out of range: refused before anything is sent; the dialog stays for a correction.
    Write(1, QStringLiteral("99"), "OK");
    ASSERT_FALSE(Messages().isEmpty());
    EXPECT_TRUE(Messages().front().contains(QStringLiteral("outside"))) << Messages().front().toStdString();
    // Cancel at the second question sends nothing either.
    ClearShown();
    Write(1, QStringLiteral("33"), "Cancel");
    EXPECT_TRUE(Messages().front().contains(QStringLiteral("Write 33"))) << Messages().front().toStdString();
    EXPECT_FALSE(QFile::exists(opc::WriteLogPath(project.Path())));

    ClearShown();
    Write(1, QStringLiteral("21,5"), "OK");
    EXPECT_EQ(Messages().size(), 1) << "only the second question";
    EXPECT_TRUE(Until([&] { return Live(1, 9327).startsWith(QStringLiteral("21")); })) << "the server holds the value";
    // The server refuses the read-only variable and says why.
    ClearShown();
    Write(2, QStringLiteral("1"), "OK");
    ASSERT_EQ(Messages().size(), 2);
    EXPECT_TRUE(Messages().back().contains(QStringLiteral("Bad_"))) << Messages().back().toStdString();

    const QList<QByteArray> lines = LogLines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].contains("\tSetpoint\t20\t21") && lines[0].endsWith("\tGood")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].contains("\tReadOnly\t42") && lines[1].contains("\tBad")) << lines[1].toStdString();
}

TEST_F(OnlineGridTest, AnEditTypedWhileValuesArriveGoesIntoTheRecordShown) {
    const int comment = Items().ColumnIndex(QStringLiteral("Comment"));
    ASSERT_GE(comment, 0);
    Items().SetCurrentCell(1, comment);
    ASSERT_TRUE(Items().BeginEdit(1, comment));
    // The ramp's row changes a few times meanwhile.
    const QString before = Live(0, 9327);
    ASSERT_TRUE(Until([&] { return !Live(0, 9327).isEmpty() && Live(0, 9327) != before; }));
    EXPECT_EQ(Items().CurrentRow(), 1);
    EXPECT_TRUE(Items().EditActive());
    ASSERT_TRUE(Items().CommitEdit(QStringLiteral("typed while online")));
    EXPECT_EQ(Query(QStringLiteral("SELECT Name FROM TpdbItems WHERE Comment = 'typed while online'")).toString(),
              QStringLiteral("Setpoint"));
    EXPECT_EQ(Items().CurrentRow(), 1);
}

}  // namespace

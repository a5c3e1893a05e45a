// A studio session and a script (ovopc run) editing the same items at once
// for a while: every write either side was not told of a failure is in the
// database or was replaced by a later acknowledged write; nothing refused
// stays, nothing else changes, and every refusal is a clear message.
// OV_TWO_PROGRAMS_SECONDS sets the time (30 s by default).

#include "editor/frmtabgridOPC.h"
#include "host/NodeKey.h"
#include "model/DemoProject.h"
#include "model/ProjectTemplate.h"
#include "platform/db/Connection.h"
#include "platform/db/Cursor.h"
#include "platform/ui/MessageBox.h"
#include "settings/TextTable.h"
#include "support/Files.h"
#include "support/SessionHarness.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace ov;
namespace nk = ov::host::nodekey;

namespace {

const char* const kScript = R"(
const [project, key, seconds] = args;
studio.open(project);
studio.expand("OPCE0");
studio.click(key);
const grid = studio.grid("tdbI");
const end = Date.now() + Number(seconds) * 1000;
let n = 0;
while (Date.now() < end) {
  if (Math.random() < 0.5) studio.click(key);  // read afresh, or edit what was read a while ago
  const rows = grid.rows();
  const r = Math.floor(Math.random() * rows.length);
  const value = "A-" + (++n);
  const before = studio.messages().length;
  grid.setCell(r, "Comment", value);
  studio.click(key);  // leaving the row writes it
  const told = studio.messages().slice(before);
  if (told.length === 0) print("ack " + rows[r].ItemAccess + " " + value);
  else print("refused " + rows[r].ItemAccess + " " + value + " " + told[0].text.replace(/\n/g, " "));
}
)";

// Everything but the comments of the shared items.
QByteArray RestOfTheProject(db::Connection& c) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    db::Cursor rows(c, QStringLiteral("SELECT ID, DeviceID, Name, ItemAccess, MaxVal, MinVal, DataType, "
                                      "CASE WHEN ItemAccess Like 'Shared.%' THEN NULL ELSE Comment END FROM TpdbItems ORDER BY ID"));
    while (rows.Next())
        for (int i = 0; i < rows.ColumnCount(); ++i) hash.addData(rows.Value(i).toString().toUtf8() + '\x1f');
    return hash.result();
}

TEST(TwoProgramsTest, BothSidesEditTheSameItemsAndNoAcknowledgedWriteIsLost) {
    const int seconds = qEnvironmentVariableIsSet("OV_TWO_PROGRAMS_SECONDS") ? qEnvironmentVariableIntValue("OV_TWO_PROGRAMS_SECONDS") : 30;
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("shared.ovs"));
    model::CreateDemoProject(file);
    QByteArray rest;
    {
        db::Connection c;
        c.Open(model::ProjectConnectionString(file));
        c.BeginTrans();
        for (int i = 0; i < 40; ++i)
            c.Execute(QStringLiteral("INSERT INTO TpdbItems (DeviceID, Name, ItemAccess) VALUES (1, ?, ?)"),
                      {QStringLiteral("Shared.I%1").arg(i), QStringLiteral("Shared.I%1").arg(i)});
        c.CommitTrans();
        rest = RestOfTheProject(c);
    }
    const QString key = nk::DeviceKey(1, QStringLiteral("."), false) + nk::kSeparator + QStringLiteral("Shared");
    const QString script = test::WriteFile(dir.filePath(QStringLiteral("edit.js")), kScript);
    ASSERT_FALSE(script.isEmpty());
    QProcess other;
    other.start(QStringLiteral(OV_OVOPC), {QStringLiteral("run"), script, file, key, QString::number(seconds),
                                           QStringLiteral("--timeout"), QString::number(seconds + 60)});
    ASSERT_TRUE(other.waitForStarted());

    // This side: the studio's own session, edits through the grid.
    test::SessionHarness harness;
    harness.Start(file);
    settings::TextTable::Instance().SetLanguage(settings::TextTable::kEnglish);
    harness.Load();
    auto& window = dynamic_cast<editor::frmtabgridOPC&>(*harness.Session().Window());
    harness.Session().NodeClick(QString(), key, QString());
    ui::GridModel& grid = window.tdbI();
    QRandomGenerator random(6122026);
    QHash<QString, QStringList> acks;  // item access -> values acknowledged, in this side's order
    QStringList refusals;
    int n = 0;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < seconds * 1000) {
        if (random.bounded(2) == 0) harness.Session().NodeClick(QString(), key, QString());
        const int row = random.bounded(grid.RowCount());
        const QString access = grid.CellText(row, grid.ColumnIndex(QStringLiteral("ItemAccess")));
        const QString value = QStringLiteral("B-%1").arg(++n);
        const std::size_t before = ui::DefaultMessageBoxes().Shown().size();
        if (grid.BeginEdit(row, grid.ColumnIndex(QStringLiteral("Comment")))) grid.CommitEdit(value);
        harness.Session().NodeClick(QString(), key, QString());  // leaving the row writes it
        const auto& shown = ui::DefaultMessageBoxes().Shown();
        if (shown.size() == before) acks[access] << value;
        else refusals << shown[before].text;
    }
    ASSERT_TRUE(other.waitForFinished((seconds + 90) * 1000));
    EXPECT_EQ(other.exitCode(), 0) << other.readAllStandardError().toStdString();
    int otherAcks = 0, otherRefusals = 0;
    for (const QString& line : QString::fromUtf8(other.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts)) {
        const QStringList parts = line.split(u' ');
        if (parts.value(0) == QStringLiteral("ack")) {
            acks[parts.value(1)] << parts.value(2);
            ++otherAcks;
        } else if (parts.value(0) == QStringLiteral("refused")) {
            refusals << line.section(u' ', 3);
            ++otherRefusals;
        }
    }
    harness.Session().Terminate();

    // Every refusal says why in words a person understands.
    for (const QString& text : refusals)
        EXPECT_TRUE((text.startsWith(QStringLiteral("Error: ")) || text.startsWith(QStringLiteral("Fehler: "))) &&
                    (text.contains(QStringLiteral("changed by another program")) || text.contains(QStringLiteral("locked by another"))))
            << text.toStdString();
    db::Connection c;
    c.Open(model::ProjectConnectionString(file));
    EXPECT_EQ(RestOfTheProject(c), rest) << "nothing but the comments changed";
    db::Cursor items(c, QStringLiteral("SELECT ItemAccess, Comment FROM TpdbItems WHERE ItemAccess Like 'Shared.%'"));
    int kept = 0;
    while (items.Next()) {
        const QString access = items.Value(0).toString(), comment = items.Value(1).toString();
        const QStringList& written = acks[access];
        if (written.isEmpty()) {
            EXPECT_TRUE(comment.isEmpty()) << access.toStdString() << " was never written, yet holds " << comment.toStdString();
        } else {
            // The last acknowledged write of one side or the other, never a refused one, never none.
            EXPECT_TRUE(written.contains(comment)) << access.toStdString() << " holds " << comment.toStdString();
            ++kept;
        }
    }
    std::printf("two programs: %d s, this side %d writes (%lld refused), the script %d acknowledged and %d refused, %d items edited\n",
                seconds, n, static_cast<long long>(refusals.size() - otherRefusals), otherAcks, otherRefusals, kept);
    EXPECT_GT(otherAcks, 0) << "the script got writes through";
    EXPECT_GT(n - (refusals.size() - otherRefusals), 0) << "this side got writes through";
}

}  // namespace

// A studio session and a script (ovopc run) editing the same items at once
// for a while: every write either side was not told of a failure is in the
// database or was replaced by a later acknowledged write; nothing refused
// stays, nothing else changes, and every refusal is a clear message.
// OV_TWO_PROGRAMS_SECONDS sets the time (30 s by default). Runs on a project
// file and on a server project, where both programs open the same address.

#include "editor/frmtabgridOPC.h"
#include "host/NodeKey.h"
#include "platform/db/Connection.h"
#include "platform/db/Cursor.h"
#include "platform/ui/MessageBox.h"
#include "settings/TextTable.h"
#include "support/Files.h"
#include "support/SessionHarness.h"
#include "support/TempProject.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <gtest/gtest.h>
#include <optional>

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
  grid.setCell(r, "Comment", value);  // the item grid writes the row at once
  const told = studio.messages().slice(before);
  if (told.length === 0) print("ack " + rows[r].ItemAccess + " " + value + " " + rows[r].Comment);
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

// An acknowledged write: the comment the side saw, and what it wrote over it.
struct Write {
    QString read;
    QString value;
};

// The writes of both sides: item access -> writes acknowledged, and the
// texts of the refusals.
struct Outcome {
    QHash<QString, std::vector<Write>> acks;
    QStringList refusals;
    int writes = 0;
    int refused = 0;
};

int Seconds() {
    return qEnvironmentVariableIsSet("OV_TWO_PROGRAMS_SECONDS") ? qEnvironmentVariableIntValue("OV_TWO_PROGRAMS_SECONDS") : 30;
}

// The studio's side, in this process: edits through the item grid, with
// the event loop turning between edits as the studio's does, so that what
// the studio hears of the other program arrives in between.
void EditInTheStudio(test::SessionHarness& harness, const QString& key, int seconds, Outcome& outcome) {
    auto& window = dynamic_cast<editor::frmtabgridOPC&>(*harness.Session().Window());
    harness.Session().NodeClick(QString(), key, QString());
    ui::GridModel& grid = window.tdbI();
    QRandomGenerator random(6122026);
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < seconds * 1000) {
        QCoreApplication::processEvents();
        if (random.bounded(2) == 0) harness.Session().NodeClick(QString(), key, QString());
        const int row = random.bounded(grid.RowCount());
        const QString access = grid.CellText(row, grid.ColumnIndex(QStringLiteral("ItemAccess")));
        const QString read = grid.CellText(row, grid.ColumnIndex(QStringLiteral("Comment")));
        const QString value = QStringLiteral("B-%1").arg(++outcome.writes);
        const std::size_t before = ui::DefaultMessageBoxes().Shown().size();
        // The item grid writes the row at once; the rows stay as read until the next re-read.
        if (grid.BeginEdit(row, grid.ColumnIndex(QStringLiteral("Comment")))) grid.CommitEdit(value);
        const auto& shown = ui::DefaultMessageBoxes().Shown();
        if (shown.size() == before) {
            outcome.acks[access].push_back({read, value});
        } else {
            outcome.refusals << shown[before].text;
            ++outcome.refused;
        }
    }
}

// The script's lines: "ack ACCESS VALUE READ" or "refused ACCESS VALUE TEXT".
void ReadTheScriptsLines(const QString& output, Outcome& outcome) {
    for (const QString& line : output.split(u'\n', Qt::SkipEmptyParts)) {
        const QStringList parts = line.split(u' ');
        if (parts.value(0) == QStringLiteral("ack")) {
            outcome.acks[parts.value(1)].push_back({parts.value(3), parts.value(2)});
            ++outcome.writes;
        } else if (parts.value(0) == QStringLiteral("refused")) {
            outcome.refusals << line.section(u' ', 3);
            ++outcome.writes;
            ++outcome.refused;
        }
    }
}

// Each acknowledged write was checked against the value its side had read,
// so an item's writes follow one another from the empty comment to the one
// it holds: two made over the same value mean one was lost unseen, one made
// over a value that was never acknowledged means a refused write stayed.
// Empty when they do.
QString BrokenChain(const std::vector<Write>& writes, const QString& stored) {
    QHash<QString, QString> next;
    for (const Write& w : writes) {
        if (next.contains(w.read))
            return QStringLiteral("\"%1\" and \"%2\" were both written over \"%3\": one was lost unseen")
                .arg(next.value(w.read), w.value, w.read);
        next.insert(w.read, w.value);
    }
    QString last;
    std::size_t followed = 0;
    for (auto it = next.constFind(last); it != next.cend() && followed <= writes.size(); it = next.constFind(last)) {
        last = it.value();
        ++followed;
    }
    if (followed != writes.size())
        return QStringLiteral("%1 of %2 writes were made over a value no side had written").arg(writes.size() - followed).arg(writes.size());
    if (last != stored) return QStringLiteral("holds \"%1\", the last acknowledged write was \"%2\"").arg(stored, last);
    return QString();
}

// The comments of the shared items as the database holds them.
QHash<QString, QString> StoredComments(db::Connection& c) {
    QHash<QString, QString> comments;
    db::Cursor items(c, QStringLiteral("SELECT ItemAccess, Comment FROM TpdbItems WHERE ItemAccess Like 'Shared.%'"));
    while (items.Next()) comments.insert(items.Value(0).toString(), items.Value(1).toString());
    return comments;
}

// The comments the studio's grid shows, row by row.
QHash<QString, QString> ShownComments(ui::GridModel& grid) {
    QHash<QString, QString> comments;
    const int access = grid.ColumnIndex(QStringLiteral("ItemAccess")), comment = grid.ColumnIndex(QStringLiteral("Comment"));
    for (int row = 0; row < grid.RowCount(); ++row) comments.insert(grid.CellText(row, access), grid.CellText(row, comment));
    return comments;
}

class TwoProgramsTest : public ::testing::TestWithParam<test::Store> {};

TEST_P(TwoProgramsTest, BothSidesEditTheSameItemsAndNoAcknowledgedWriteIsLost) {
    OV_REQUIRE_STORE(GetParam());
    int argc = 1;
    char name[] = "test_crash";
    char* argv[] = {name, nullptr};
    std::optional<QCoreApplication> app;
    if (!QCoreApplication::instance()) app.emplace(argc, argv);
    const int seconds = Seconds();
    test::TempProject project(test::TempProject::Content::Demo, GetParam());
    QByteArray rest;
    {
        const auto c = project.Open();
        c->BeginTrans();
        for (int i = 0; i < 40; ++i)
            c->Execute(QStringLiteral("INSERT INTO TpdbItems (DeviceID, Name, ItemAccess) VALUES (1, ?, ?)"),
                       {QStringLiteral("Shared.I%1").arg(i), QStringLiteral("Shared.I%1").arg(i)});
        c->CommitTrans();
        rest = RestOfTheProject(*c);
    }
    const QString key = nk::DeviceKey(1, QStringLiteral("."), false) + nk::kSeparator + QStringLiteral("Shared");
    const QString script = test::WriteFile(project.Folder() + QStringLiteral("/edit.js"), kScript);
    ASSERT_FALSE(script.isEmpty());
    test::SessionHarness harness;
    harness.Start(project.Path());
    settings::TextTable::Instance().SetLanguage(settings::TextTable::kEnglish);
    harness.Load();
    // The script goes on alone for a moment after the studio stopped editing:
    // the studio must come to show those writes as well.
    QProcess ovopc;
    ovopc.start(QStringLiteral(OV_OVOPC), {QStringLiteral("run"), script, project.Path(), key, QString::number(seconds + 2),
                                           QStringLiteral("--timeout"), QString::number(seconds + 60)});
    ASSERT_TRUE(ovopc.waitForStarted());
    Outcome studio;
    EditInTheStudio(harness, key, seconds, studio);
    // The event loop may have seen the script end already.
    ASSERT_TRUE(ovopc.state() == QProcess::NotRunning || ovopc.waitForFinished((seconds + 90) * 1000));
    EXPECT_EQ(ovopc.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(ovopc.exitCode(), 0) << ovopc.readAllStandardError().toStdString();
    Outcome scripted;
    ReadTheScriptsLines(QString::fromUtf8(ovopc.readAllStandardOutput()), scripted);

    // Every refusal says why in words a person understands.
    for (const QStringList* refusals : {&studio.refusals, &scripted.refusals})
        for (const QString& text : *refusals)
            EXPECT_TRUE((text.startsWith(QStringLiteral("Error: ")) || text.startsWith(QStringLiteral("Fehler: "))) &&
                        (text.contains(QStringLiteral("changed by another program")) ||
                         text.contains(QStringLiteral("locked by another"))))
                << text.toStdString();
    const auto c = project.Open();
    EXPECT_EQ(RestOfTheProject(*c), rest) << "nothing but the comments changed";
    const QHash<QString, QString> stored = StoredComments(*c);
    int kept = 0;
    for (auto it = stored.cbegin(); it != stored.cend(); ++it) {
        std::vector<Write> written = studio.acks.value(it.key());
        const std::vector<Write> theirs = scripted.acks.value(it.key());
        written.insert(written.end(), theirs.begin(), theirs.end());
        const QString broken = BrokenChain(written, it.value());
        EXPECT_TRUE(broken.isEmpty()) << it.key().toStdString() << ": " << broken.toStdString();
        kept += written.empty() ? 0 : 1;
    }
    std::printf("two programs (%s): %d s, the studio %d writes (%d refused), the script %d writes (%d refused), %d items edited\n",
                project.OnServer() ? "server" : "file", seconds, studio.writes, studio.refused, scripted.writes,
                scripted.refused, kept);
    EXPECT_GT(scripted.writes - scripted.refused, 0) << "the script got writes through";
    EXPECT_GT(studio.writes - studio.refused, 0) << "the studio got writes through";

    // The studio shows what the other program wrote last: a server tells it
    // of the commits, a file is read again when the folder is shown again.
    auto& window = dynamic_cast<editor::frmtabgridOPC&>(*harness.Session().Window());
    if (!project.OnServer()) harness.Session().NodeClick(QString(), key, QString());
    const auto outdated = [&] {
        const QHash<QString, QString> shown = ShownComments(window.tdbI());
        QStringList rows;
        for (auto it = stored.cbegin(); it != stored.cend(); ++it)
            if (shown.value(it.key()) != it.value())
                rows << QStringLiteral("%1 shows \"%2\", holds \"%3\"").arg(it.key(), shown.value(it.key()), it.value());
        return rows;
    };
    const qsizetype before = outdated().size();
    QElapsedTimer waited;
    waited.start();
    while (!outdated().isEmpty() && waited.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_EQ(outdated().join(u'\n').toStdString(), "");
    if (project.OnServer())
        std::printf("two programs (server): %lld rows shown again with the news of the script's last writes\n",
                    static_cast<long long>(before));
    harness.Session().Terminate();
}

INSTANTIATE_TEST_SUITE_P(, TwoProgramsTest, test::kBothStores, test::StoreName);

}  // namespace

// The values of a device's items while they are shown online: which items
// the helper watches as the screen moves, the values and qualities as a
// grid shows them, a server that goes away and comes back. The server is
// played by tests/fixtures/scripted-helper.js.

#include "opc/OnlineValues.h"
#include "platform/ui/ModalState.h"
#include "settings/TextTable.h"
#include "support/Files.h"
#include "support/QtPrinters.h"
#include "support/TempProject.h"
#include "ScriptedServer.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QLocale>
#include <QTimeZone>
#include <algorithm>
#include <gtest/gtest.h>
#include <set>

using namespace ov;
using test::kPump;
using test::kTank;
using test::kWrong;

namespace {

// VT codes as items store them.
constexpr int kI4 = 3, kR4 = 4, kR8 = 5, kDate = 7, kText = 8, kBool = 11, kI8 = 20, kUi8 = 21;

opc::OnlineItem Item(int id, const QString& nodeId, int dataType, int samplingMs, const QString& unit = {}) {
    opc::OnlineItem item;
    item.itemId = id;
    item.nodeId = nodeId;
    item.dataType = dataType;
    item.samplingMs = samplingMs;
    item.unit = unit;
    return item;
}

class OnlineValuesTest : public test::ScriptedServer<> {
  protected:
    void SetUp() override {
        ScriptedServer::SetUp();
        if (IsSkipped()) return;
        opc::ServerSettings settings;
        settings.endpoint = QStringLiteral("opc.tcp://scripted:4840");
        settings.timeoutSeconds = 2;
        // The person answers every question: as the server wants, or trusting it once.
        opc::ServerAskers askers{[this](const QString&, const QString&, opc::LoginReason) {
                                     ++loginsAsked;
                                     return std::optional<opc::Login>(opc::Login{"anna", "secret"});
                                 },
                                 [this](const QString&, const opc::ServerCertificate&) {
                                     ++certificatesAsked;
                                     return opc::CertificateChoice::TrustOnce;
                                 }};
        online = std::make_unique<opc::OnlineValues>(std::make_unique<opc::ServerSource>(settings, askers));
        online->reconnectMs = 50;
        online->onChanged = [this](const std::vector<int>& ids) { changed.insert(changed.end(), ids.begin(), ids.end()); };
        ASSERT_TRUE(online->Open(&error)) << error.toStdString();
    }
    bool Until(const std::function<bool()>& done) {
        return test::Within(done, [this] { online->Poll(); });
    }
    QString QualityOf(int id) const {
        const opc::ItemValue* value = online->Value(id);
        return value ? value->quality : QStringLiteral("<none>");
    }
    // The handles of the monitor and unmonitor requests since the last call
    // (those let go of in ascending order: they leave in no order of their own).
    std::vector<std::pair<QString, std::vector<int>>> Requests() {
        std::vector<std::pair<QString, std::vector<int>>> requests;
        const std::vector<QJsonObject> all = LiveRequests();
        for (size_t i = seen; i < all.size(); ++i) {
            std::vector<int> handles;
            for (const QJsonValue& item : all[i].value("items").toArray()) handles.push_back(item.toObject().value("handle").toInt());
            for (const QJsonValue& handle : all[i].value("handles").toArray()) handles.push_back(handle.toInt());
            if (all[i].value("op") == QStringLiteral("unmonitor")) std::ranges::sort(handles);
            requests.push_back({all[i].value("op").toString(), handles});
        }
        seen = all.size();
        return requests;
    }
    using Requested = std::vector<std::pair<QString, std::vector<int>>>;

    std::unique_ptr<opc::OnlineValues> online;
    QString error;  // why the last call failed
    std::vector<int> changed;
    size_t seen = 0;
    int loginsAsked = 0;
    int certificatesAsked = 0;
};

TEST_F(OnlineValuesTest, KeepsWhatIsOnScreenWatchedAndNoMore) {
    online->cap = 3;
    const std::vector<opc::OnlineItem> screen{Item(1, kTank, kR8, 500, QStringLiteral("m")), Item(2, kWrong, kR8, 1000),
                                              Item(3, kPump, kI8, 100), Item(4, kTank, kR8, 1000)};
    ASSERT_TRUE(online->Show(screen, &error)) << error.toStdString();
    EXPECT_EQ(Requests(), (Requested{{"monitor", {1, 2, 3}}})) << "the cap holds";
    EXPECT_EQ(online->WatchedCount(), 3);
    EXPECT_EQ(QualityOf(2), QStringLiteral("Bad_NodeIdUnknown")) << "known with the answer";
    ASSERT_TRUE(Until([&] { return online->Value(1) && online->Value(3); }));
    EXPECT_EQ(online->Value(1)->value, QLocale().toString(12.5) + QStringLiteral(" m"));
    EXPECT_EQ(online->Value(1)->level, opc::Quality::Good);
    EXPECT_EQ(online->Value(3)->value, QStringLiteral("9007199254740993"));
    EXPECT_EQ(online->Value(4), nullptr);

    changed.clear();
    SetValue(kTank, 20.0);
    ASSERT_TRUE(Until([&] { return !changed.empty(); }));
    EXPECT_EQ(changed, std::vector<int>{1}) << "only the row that changed repaints";

    // Scrolling: what left is no longer watched, what came is, the rest stays as it is.
    ASSERT_TRUE(online->Show({screen[2], screen[3], Item(5, kPump, kI8, 100)}, &error)) << error.toStdString();
    EXPECT_EQ(Requests(), (Requested{{"unmonitor", {1, 2}}, {"monitor", {4, 5}}}));
    EXPECT_EQ(online->Value(1), nullptr);
    ASSERT_TRUE(online->Show({screen[2], screen[3], Item(5, kPump, kI8, 100)}, &error)) << error.toStdString();
    EXPECT_TRUE(Requests().empty()) << "the same screen asks nothing";
    ASSERT_TRUE(online->Show({}, &error)) << error.toStdString();
    EXPECT_EQ(online->WatchedCount(), 0);
}

TEST_F(OnlineValuesTest, ARefreshReadsEveryShownItemAtOnce) {
    ASSERT_TRUE(online->Show({Item(1, kTank, kR8, 1000), Item(2, kWrong, kR8, 1000)}, &error)) << error.toStdString();
    changed.clear();
    ASSERT_TRUE(online->Refresh(&error)) << error.toStdString();
    ASSERT_NE(online->Value(1), nullptr) << "no waiting for the next change";
    EXPECT_EQ(online->Value(1)->value, QLocale().toString(12.5));
    EXPECT_EQ(QualityOf(2), QStringLiteral("Bad_NodeIdUnknown"));
    EXPECT_EQ(std::set<int>(changed.begin(), changed.end()), (std::set<int>{1, 2})) << "both rows repaint";
}

TEST_F(OnlineValuesTest, AServerThatStopsAndStartsAgainIsWatchedAgainByItself) {
    ASSERT_TRUE(online->Show({Item(1, kTank, kR8, 100), Item(2, kPump, kI8, 100)}, &error)) << error.toStdString();
    ASSERT_TRUE(Until([&] { return QualityOf(1) == "Good" && QualityOf(2) == "Good"; }));
    description.insert("down", true);
    Describe();
    ASSERT_TRUE(Until([&] { return QualityOf(1) == "Bad_ConnectionLost"; }));
    EXPECT_EQ(QualityOf(2), QStringLiteral("Bad_ConnectionLost"));
    EXPECT_EQ(online->Value(1)->value, QLocale().toString(12.5)) << "the last value stays in sight";
    EXPECT_FALSE(online->Connected());
    // Scrolling meanwhile is remembered for when the server is back.
    ASSERT_TRUE(online->Show({Item(1, kTank, kR8, 100), Item(3, kTank, kR8, 100)}, &error)) << error.toStdString();

    description.remove("down");
    SetValue(kTank, 7.0);
    ASSERT_TRUE(Until([&] { return QualityOf(1) == "Good" && QualityOf(3) == "Good"; }));
    EXPECT_EQ(online->Value(1)->value, QLocale().toString(7.0));
    EXPECT_TRUE(online->Connected());
    EXPECT_EQ(online->WatchedCount(), 2);
}

TEST_F(OnlineValuesTest, PollNeverWaitsForTheAnswerToAConnectInTheBackground) {
    ASSERT_TRUE(online->Show({Item(1, kTank, kR8, 100)}, &error)) << error.toStdString();
    ASSERT_TRUE(Until([&] { return QualityOf(1) == "Good"; }));
    description.insert("connectDelayMs", 1500);
    BreakConnection();

    QElapsedTimer total, call;
    total.start();
    qint64 longest = 0;
    bool lost = false;
    while (QualityOf(1) != "Good" || !lost) {
        if (total.elapsed() > 10000) break;
        call.start();
        online->Poll();
        longest = std::max(longest, call.elapsed());
        lost = lost || QualityOf(1) == "Bad_ConnectionLost";
        QThread::msleep(10);
    }
    EXPECT_TRUE(lost);
    EXPECT_EQ(QualityOf(1), QStringLiteral("Good")) << "watched again once the server answered";
    EXPECT_GE(total.elapsed(), 1500) << "the answer was late indeed";
    EXPECT_LT(longest, 200) << "a Poll waited for the server";
    EXPECT_TRUE(online->Status().isEmpty()) << online->Status().toStdString();
}

TEST_F(OnlineValuesTest, AConnectInTheBackgroundAsksNobodyAndLeavesTheQuestionToOpen) {
    struct Case {
        const char* what;
        QJsonObject server;  // what the server wants from now on
        QString why;         // in the status meanwhile
        const int* asker;
    };
    const Case cases[] = {
        {"a log-on", {{"user", "anna"}, {"password", "secret"}}, settings::Text(9308), &loginsAsked},
        {"a new certificate",
         {{"certificate", QJsonObject{{"thumbprint", "AB12CD"}, {"subject", "CN=plant"}, {"problems", QJsonArray{"untrusted"}}}}},
         QStringLiteral("AB12CD"),
         &certificatesAsked},
    };
    ASSERT_TRUE(online->Show({Item(1, kTank, kR8, 100)}, &error)) << error.toStdString();
    for (const Case& c : cases) {
        ASSERT_TRUE(Until([&] { return QualityOf(1) == "Good"; })) << c.what;
        for (auto it = c.server.begin(); it != c.server.end(); ++it) description.insert(it.key(), it.value());
        BreakConnection();
        const int asked = loginsAsked + certificatesAsked;
        ASSERT_TRUE(Until([&] { return !online->Status().isEmpty(); })) << c.what;
        EXPECT_TRUE(online->Status().contains(c.why)) << c.what << ": " << online->Status().toStdString();
        // Not asked, and not tried again behind the person's back.
        const size_t connects = ConnectRequests().size();
        Until([] { return false; });
        EXPECT_EQ(ConnectRequests().size(), connects) << c.what;
        EXPECT_EQ(loginsAsked + certificatesAsked, asked) << c.what;
        EXPECT_EQ(QualityOf(1), QStringLiteral("Bad_ConnectionLost")) << c.what;

        const int before = *c.asker;
        ASSERT_TRUE(online->Open(&error)) << c.what << ": " << error.toStdString();
        EXPECT_EQ(*c.asker, before + 1) << c.what << ": the person's Open asks";
        EXPECT_TRUE(online->Status().isEmpty()) << c.what;
    }
    EXPECT_TRUE(Until([&] { return QualityOf(1) == "Good"; }));
}

TEST_F(OnlineValuesTest, TheOwnersTimerPollingWithinAWriteLeavesItsAnswerAlone) {
    ASSERT_TRUE(online->Show({Item(1, kTank, kR8, 100)}, &error)) << error.toStdString();
    ASSERT_TRUE(Until([&] { return QualityOf(1) == "Good"; }));
    // Waiting for the server lets the window's events run, the timer among them.
    ui::SetEventPump([this] { online->Poll(); });
    const opc::WriteOutcome outcome = online->Write(Item(1, kTank, kR8, 100), QStringLiteral("3"));
    ui::SetEventPump({});
    EXPECT_EQ(outcome.status, QStringLiteral("Good")) << outcome.error.toStdString();
    EXPECT_TRUE(online->Connected());
}

TEST(OnlineValuesOfflineTest, ASourceThatIsNoLiveServerIsNotOnline) {
    opc::OnlineValues nodeSet(std::make_unique<opc::NodeSetSource>(QStringLiteral("plant.NodeSet2.xml")),
                              QStringLiteral("offline"));
    EXPECT_FALSE(nodeSet.IsOnline());
    QString error;
    EXPECT_FALSE(nodeSet.Open(&error));
    EXPECT_EQ(error, QStringLiteral("offline"));
    EXPECT_TRUE(nodeSet.Show({Item(1, kTank, kR8, 100)}, &error)) << "nothing to watch, nothing to fail";
    nodeSet.Poll();
    EXPECT_EQ(nodeSet.Value(1), nullptr);
    const opc::OnlineValues ownDriver(nullptr);
    EXPECT_FALSE(ownDriver.IsOnline());
    EXPECT_FALSE(ownDriver.NotOnline().isEmpty()) << "one message for the whole device";
}

TEST(OnlineTextTest, ValuesQualitiesAndTimesAsTheGridShowsThem) {
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    struct Case {
        QJsonValue value;
        int type;
        QString unit;
        const char* shown;
    };
    const Case cases[] = {
        {12.5, kR8, "bar", "12,5 bar"},
        {0.1, kR4, {}, "0,1"},           // no float rounding digits
        {1234567.0, kR8, {}, "1234567"}, // no group separators
        {42, kI4, "m", "42 m"},
        {"-9223372036854775808", kI8, {}, "-9223372036854775808"},
        {"NaN", kR8, {}, "NaN"},
        {true, kBool, {}, "True"},
        {0, kBool, {}, "False"},
        {"Pumpe 1", kText, "m", "Pumpe 1 m"},
        {QJsonArray{1.5, 2}, kR8, {}, "[1,5; 2]"},
        {QJsonValue::Null, kR8, "bar", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(opc::ValueText(c.value, c.type, c.unit), QString::fromUtf8(c.shown)) << c.shown;
    QLocale::setDefault(before);

    const std::pair<const char*, const char*> qualities[] = {
        {"Good", "Good"}, {"UncertainLastUsableValue", "Uncertain_LastUsableValue"}, {"Uncertain", "Uncertain"},
        {"BadNodeIdUnknown", "Bad_NodeIdUnknown"}, {"", "Bad"}, {"0x80AB0000", "Bad_0x80AB0000"}};
    for (const auto& [status, shown] : qualities) EXPECT_EQ(opc::QualityText(status), QString::fromUtf8(shown)) << status;

    const QString iso = QStringLiteral("2026-12-06T10:00:00.123Z");
    EXPECT_EQ(opc::LocalTimeText(iso),
              QDateTime(QDate(2026, 12, 6), QTime(10, 0, 0, 123), QTimeZone::utc()).toLocalTime().toString("yyyy-MM-dd HH:mm:ss.zzz"));
    EXPECT_EQ(opc::ValueText(iso, kDate), opc::LocalTimeText(iso));
    EXPECT_EQ(opc::LocalTimeText({}), QString());
    // The grid leaves out today's date, and only today's.
    const QDateTime local = QDateTime(QDate(2026, 12, 6), QTime(10, 0, 0, 123), QTimeZone::utc()).toLocalTime();
    EXPECT_EQ(opc::GridTimeText(iso, local.date()), local.toString("HH:mm:ss.zzz"));
    EXPECT_EQ(opc::GridTimeText(iso, local.date().addDays(1)), opc::LocalTimeText(iso));
    EXPECT_EQ(opc::GridTimeText(QStringLiteral("not a time"), local.date()), QStringLiteral("not a time"));
}

// Times are shown in a zone with summer time: every quarter of an hour
// around both of its changes, forwards and backwards (values of several
// items do not arrive in order), for today and another day, and the forms
// of a time stamp the helper itself does not write.
TEST(OnlineTextTest, GridTimesFollowTheZonesOffsetAcrossItsChanges) {
    const QTimeZone berlin("Europe/Berlin");
    if (!berlin.isValid()) GTEST_SKIP() << "no zone data for Europe/Berlin";
    const auto expected = [&](const QString& iso, const QDate& today) {
        const QDateTime local = QDateTime::fromString(iso, Qt::ISODateWithMs).toTimeZone(berlin);
        if (!local.isValid()) return iso;
        return local.toString(local.date() == today ? QStringLiteral("HH:mm:ss.zzz") : QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    };
    std::vector<QString> stamps;
    for (const QDate day : {QDate(2026, 3, 28), QDate(2026, 10, 24)})
        for (int quarter = 0; quarter < 4 * 30; ++quarter)
            stamps.push_back(QDateTime(day, QTime(20, 0), QTimeZone::utc()).addSecs(quarter * 900 + 7).addMSecs(quarter % 1000).toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz'Z'")));
    ASSERT_EQ(stamps.front().size(), 24) << stamps.front().toStdString();
    const std::vector<QString> forwards = stamps;
    stamps.insert(stamps.end(), forwards.rbegin(), forwards.rend());
    for (const QString& iso : stamps) {
        const QDate today = QDateTime::fromString(iso, Qt::ISODateWithMs).toTimeZone(berlin).date();
        EXPECT_EQ(opc::GridTimeText(iso, today, berlin), expected(iso, today)) << iso.toStdString();
        EXPECT_EQ(opc::GridTimeText(iso, today.addDays(-1), berlin), expected(iso, today.addDays(-1))) << iso.toStdString();
    }
    const QDate today(2026, 12, 7);
    for (const char* other : {"2026-12-07T10:00:00Z", "2026-12-07T10:00:00.123+01:00", "2026-12-07T10:00:00.1234Z",
                              "2026-12-07T23:30:00.000Z", "2026-02-30T10:00:00.000Z", "2026-12-07T24:00:00.000Z",
                              "2026-12-07T10:00:60.000Z", "2026-12-07T1a:00:00.000Z", "not a time", ""}) {
        const QString iso = QString::fromLatin1(other);
        EXPECT_EQ(opc::GridTimeText(iso, today, berlin), expected(iso, today)) << other;
    }
    // Another zone after Berlin's: its own offset, not the one in hand.
    const QTimeZone tokyo("Asia/Tokyo");
    ASSERT_TRUE(tokyo.isValid());
    EXPECT_EQ(opc::GridTimeText(QStringLiteral("2026-12-07T10:00:00.123Z"), today, tokyo), QStringLiteral("19:00:00.123"));
}

TEST_F(OnlineValuesTest, AWriteIsCheckedSentAndRecorded) {
    description.insert("refuse", QJsonObject{{kPump, "BadUserAccessDenied"}});
    Describe();
    online->writeLog = opc::WriteLogPath(dir.filePath(QStringLiteral("plant.mdb")));
    EXPECT_EQ(online->writeLog, dir.filePath(QStringLiteral("plant.writes.log")));
    online->user = QStringLiteral("anna");
    ASSERT_TRUE(online->Show({Item(1, kTank, kR8, 100)}, &error)) << error.toStdString();
    ASSERT_TRUE(Until([&] { return online->Value(1) != nullptr; }));
    opc::OnlineItem level = Item(1, kTank, kR8, 100);
    level.name = QStringLiteral("Tank.Level");
    level.minVal = 0.0;
    level.maxVal = 100.0;
    opc::OnlineItem speed = Item(2, kPump, kI4, 100);
    speed.name = QStringLiteral("Pump.Speed");
    Requests();

    const opc::WriteOutcome accepted = online->Write(level, QStringLiteral("42,5"));
    EXPECT_TRUE(accepted.sent);
    EXPECT_EQ(accepted.status, QStringLiteral("Good"));
    EXPECT_TRUE(accepted.logProblem.isEmpty()) << accepted.logProblem.toStdString();
    const opc::WriteOutcome refused = online->Write(speed, QStringLiteral("12"));
    EXPECT_EQ(refused.status, QStringLiteral("BadUserAccessDenied")) << "the server's word, not a failed call";

    // Refused before anything is sent.
    for (const char* typed : {"100,5", "-1", "zwölf"}) {
        const opc::WriteOutcome outcome = online->Write(level, QString::fromUtf8(typed));
        EXPECT_FALSE(outcome.sent) << typed;
        EXPECT_FALSE(outcome.error.isEmpty()) << typed;
    }
    std::vector<QJsonObject> writes;
    for (const QJsonObject& request : LiveRequests())
        if (request.value("op") == QStringLiteral("write")) writes.push_back(request);
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].value("value"), QJsonValue(42.5));
    EXPECT_EQ(writes[1].value("value"), QJsonValue(12));

    const QList<QByteArray> lines = test::ReadFile(online->writeLog).trimmed().split('\n');
    ASSERT_EQ(lines.size(), 2);
    const QStringList first = QString::fromUtf8(lines[0]).split(u'\t');
    ASSERT_EQ(first.size(), 6) << lines[0].toStdString();
    EXPECT_TRUE(QDateTime::fromString(first[0], QStringLiteral("yyyy-MM-dd HH:mm:ss")).isValid()) << first[0].toStdString();
    EXPECT_EQ(first.mid(1), (QStringList{"anna", "Tank.Level", QLocale().toString(12.5), QLocale().toString(42.5), "Good"}));
    EXPECT_TRUE(lines[1].endsWith("\tBadUserAccessDenied"));

    // A log that cannot be written does not keep the value from the server:
    // a file stands where its folder would be made.
    test::WriteFile(dir.filePath(QStringLiteral("blocked")), "not a folder");
    online->writeLog = dir.filePath(QStringLiteral("blocked/plant.writes.log"));
    const opc::WriteOutcome unlogged = online->Write(level, QStringLiteral("1"));
    EXPECT_EQ(unlogged.status, QStringLiteral("Good"));
    EXPECT_TRUE(unlogged.logProblem.contains(online->writeLog)) << unlogged.logProblem.toStdString();
}

TEST(SamplingTest, AnItemSamplesAsFastAsItsFastestGroup) {
    test::TempProject project;
    const auto connection = project.Open();
    connection->Execute(QStringLiteral("INSERT INTO TpdbGroups (ID, Name, UpdateRate) VALUES (901, 'Slow', 5000), "
                                       "(902, 'Fast', 250), (903, 'Unset', 0)"));
    connection->Execute(QStringLiteral("INSERT INTO TpdbConnections (GroupID, ItemID) VALUES (901, 11), (902, 11), "
                                       "(901, 12), (903, 13)"));
    const QHash<int, int> intervals = opc::SamplingIntervals(*connection, {11, 12, 13, 14});
    EXPECT_EQ(intervals, (QHash<int, int>{{11, 250}, {12, 5000}, {13, 1000}, {14, 1000}}));
    EXPECT_TRUE(opc::SamplingIntervals(*connection, {}).isEmpty());
}

TEST(WriteValueTest, TypedTextIsConvertedByTheItemsDataType) {
    struct Case {
        const char* typed;
        int type;
        std::optional<double> min, max;
        QJsonValue sent;  // undefined: refused
    };
    const QJsonValue refused(QJsonValue::Undefined);
    const Case cases[] = {
        {"12,5", kR8, {}, {}, 12.5},
        {" 12.5 ", kR4, {}, {}, 12.5},
        {"1e39", kR4, {}, {}, refused},
        {"-129", 16, {}, {}, refused},               // VT_I1
        {"255", 17, {}, {}, 255},                     // VT_UI1
        {"3,5", kI4, {}, {}, refused},
        {"2147483648", kI4, {}, {}, refused},
        {"9007199254740993", kI8, {}, {}, "9007199254740993"},
        {"-1", kUi8, {}, {}, refused},
        {"wahr?", kBool, {}, {}, refused},
        {"True", kBool, {}, {}, true},
        {"0", kBool, {}, {}, false},
        {"5", kR8, 0.0, 10.0, 5},
        {"10.5", kR8, 0.0, 10.0, refused},
        {"500", kI4, 0.0, 0.0, 500},                  // no range set
        {"2026-12-06T10:00:00Z", kDate, {}, {}, "2026-12-06T10:00:00.000Z"},
        {"gestern", kDate, {}, {}, refused},
        {" Pumpe ", kText, {}, {}, " Pumpe "},
        {"abc", 0, {}, {}, "abc"},
        {"7", 0, {}, {}, 7},
    };
    for (const Case& c : cases) {
        QString error;
        const std::optional<QJsonValue> sent = opc::ValueToWrite(QString::fromUtf8(c.typed), c.type, c.min, c.max, &error);
        if (c.sent.isUndefined()) {
            EXPECT_FALSE(sent) << c.typed;
            EXPECT_TRUE(error.contains(QString::fromUtf8(c.typed).trimmed())) << c.typed << ": " << error.toStdString();
        } else {
            EXPECT_EQ(sent, c.sent) << c.typed << ": " << error.toStdString();
        }
    }
}

}  // namespace

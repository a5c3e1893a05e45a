#include "opc/OnlineValues.h"

#include "model/CVT_Types.h"
#include "platform/db/PgBackend.h"
#include "platform/db/Recordset.h"
#include "platform/system/ProjectSettings.h"
#include "platform/ui/GridModel.h"
#include "settings/TextTable.h"

#include <QDateTime>
#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QLocale>
#include <QSet>
#include <QTimeZone>
#include <cfloat>
#include <cmath>
#include <limits>
#include <optional>
#include <pwd.h>
#include <unistd.h>
#include <utility>

namespace ov::opc {

namespace {

using settings::Text;

// VT codes of the item types that want a treatment of their own.
constexpr int kVtR4 = 4;
constexpr int kVtR8 = 5;
constexpr int kVtCy = 6;
constexpr int kVtDate = 7;
constexpr int kVtBstr = 8;
constexpr int kVtBool = 11;
constexpr int kVtI8 = 20;
constexpr int kVtUi8 = 21;
constexpr int kBit = 256;

struct IntegerRange {
    int code;
    double low;
    double high;
};
constexpr IntegerRange kIntegers[] = {{16, -128, 127},       {17, 0, 255},         {2, -32768, 32767},
                                      {18, 0, 65535},        {3, -2147483648.0, 2147483647.0},
                                      {19, 0, 4294967295.0}};

std::optional<double> Number(const QString& text) {
    const QVariant typed = ui::TypedNumber(text);
    if (typed.typeId() != QMetaType::Double || !std::isfinite(typed.toDouble())) return std::nullopt;
    return typed.toDouble();
}

// The user logged on, for the writes log: from the environment, else the account's name.
QString LoggedOnUser() {
    const QString user = qEnvironmentVariable("USER", qEnvironmentVariable("USERNAME"));
    if (!user.isEmpty()) return user;
    const passwd* account = getpwuid(geteuid());
    return account ? QString::fromLocal8Bit(account->pw_name) : QString();
}

QString OneLine(QString text) {
    text.replace(u'\t', u' ').replace(u'\n', u' ').replace(u'\r', u' ');
    return text;
}

QString ScalarText(const QJsonValue& value, int dataType) {
    switch (value.type()) {
    case QJsonValue::Bool:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QJsonValue::Double: {
        const double number = value.toDouble();
        if (dataType == kVtBool || dataType == kBit) return number != 0 ? QStringLiteral("True") : QStringLiteral("False");
        if (dataType == kVtR4) {
            // A Float holds about 7 digits; more would show its binary rounding.
            QLocale locale;
            locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
            return locale.toString(number, 'g', 7);
        }
        return ui::NumberText(number);
    }
    case QJsonValue::String:
        // Dates come as ISO text; Int64, NaN and the like as the server's digits and words.
        if (dataType == kVtDate) {
            const QString local = LocalTimeText(value.toString());
            if (!local.isEmpty()) return local;
        }
        return value.toString();
    case QJsonValue::Array: {
        QStringList parts;
        for (const QJsonValue& element : value.toArray()) parts << ScalarText(element, dataType);
        return u'[' + parts.join(QStringLiteral("; ")) + u']';
    }
    default:
        return QString();
    }
}

}  // namespace

QString QualityText(const QString& statusName) {
    for (const QLatin1String severity : {QLatin1String("Good"), QLatin1String("Uncertain"), QLatin1String("Bad")}) {
        if (!statusName.startsWith(severity)) continue;
        if (statusName.size() == severity.size()) return statusName;
        return severity + u'_' + statusName.mid(severity.size());
    }
    return statusName.isEmpty() ? QStringLiteral("Bad") : QStringLiteral("Bad_") + statusName;
}

QString ValueText(const QJsonValue& value, int dataType, const QString& unit) {
    const QString text = ScalarText(value, dataType);
    if (text.isEmpty() || unit.isEmpty()) return text;
    return text + u' ' + unit;
}

namespace {

// The zone is looked up once: converting through the C library's local
// time would read the zone file's state anew for every value.
const QTimeZone& LocalZone() {
    static const QTimeZone zone = QTimeZone::systemTimeZone();
    return zone;
}

QDateTime LocalTime(const QString& iso, const QTimeZone& zone) {
    const QDateTime time = QDateTime::fromString(iso, Qt::ISODateWithMs);
    if (!time.isValid()) return time;
    return time.toTimeZone(zone);
}

constexpr qint64 kMsPerDay = 86400000;
constexpr qint64 kJulianDayOf1970 = 2440588;

// "2026-12-07T10:00:00.123Z", the one form the helper writes its time
// stamps in, as milliseconds since 1970; nothing for any other text.
std::optional<qint64> HelperUtcMs(const QString& iso) {
    if (iso.size() != 24 || iso[4] != u'-' || iso[7] != u'-' || iso[10] != u'T' || iso[13] != u':' || iso[16] != u':' ||
        iso[19] != u'.' || iso[23] != u'Z')
        return std::nullopt;
    bool digits = true;
    const auto number = [&](int at, int count) {
        int n = 0;
        for (int i = at; i < at + count; ++i) {
            const char16_t c = iso[i].unicode();
            digits = digits && c >= u'0' && c <= u'9';
            n = n * 10 + (c - u'0');
        }
        return n;
    };
    const int year = number(0, 4), month = number(5, 2), day = number(8, 2);
    const int hour = number(11, 2), minute = number(14, 2), second = number(17, 2), ms = number(20, 3);
    if (!digits || hour > 23 || minute > 59 || second > 59 || !QDate::isValid(year, month, day)) return std::nullopt;
    const qint64 days = QDate(year, month, day).toJulianDay() - kJulianDayOf1970;
    return ((days * 24 + hour) * 60 + minute) * 60000 + second * 1000 + ms;
}

// The zone's offset from UTC at a moment. It holds from one of the zone's
// transitions to the next, so it is looked up again only outside that span.
int OffsetSeconds(const QTimeZone& zone, qint64 utcMs) {
    struct Span {
        QByteArray zone;
        qint64 from = 0, until = 0;
        int offset = 0;
    };
    thread_local Span span;
    const QByteArray id = zone.id();
    if (utcMs >= span.from && utcMs < span.until && span.zone == id) return span.offset;
    const QDateTime at = QDateTime::fromMSecsSinceEpoch(utcMs, QTimeZone::utc());
    span.zone = id;
    span.offset = zone.offsetFromUtc(at);
    // Without known transitions the span is this moment alone.
    span.from = span.until = utcMs;
    if (zone.hasTransitions()) {
        const QTimeZone::OffsetData previous = zone.previousTransition(at.addMSecs(1));
        const QTimeZone::OffsetData next = zone.nextTransition(at);
        const qint64 from = previous.atUtc.isValid() ? previous.atUtc.toMSecsSinceEpoch() : std::numeric_limits<qint64>::min();
        const qint64 until = next.atUtc.isValid() ? next.atUtc.toMSecsSinceEpoch() : std::numeric_limits<qint64>::max();
        if (from <= utcMs && utcMs < until) span.from = from, span.until = until;
    }
    return span.offset;
}

// Today in the zone the times are shown in. Asking the C library for the
// date reads the zone file's state anew, as converting a time would; it is
// asked again only when the day in hand has ended (or the clock went back).
QDate Today() {
    thread_local QDate today;
    thread_local qint64 from = 0, until = 0;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (today.isValid() && now >= from && now < until) return today;
    today = QDateTime::fromMSecsSinceEpoch(now, LocalZone()).date();
    from = QDateTime(today, QTime(0, 0), LocalZone()).toMSecsSinceEpoch();
    until = QDateTime(today.addDays(1), QTime(0, 0), LocalZone()).toMSecsSinceEpoch();
    return today;
}

}  // namespace

QString LocalTimeText(const QString& iso) {
    const QDateTime local = LocalTime(iso, LocalZone());
    return local.isValid() ? local.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) : iso;
}

QString GridTimeText(const QString& iso, const QDate& today) { return GridTimeText(iso, today, LocalZone()); }

QString GridTimeText(const QString& iso, const QDate& today, const QTimeZone& zone) {
    // Every value of a live column passes here ten times a second: today's
    // helper time stamps are worked out by hand, the rest by QDateTime.
    if (const std::optional<qint64> utc = HelperUtcMs(iso)) {
        const qint64 local = *utc + OffsetSeconds(zone, *utc) * qint64{1000};
        const qint64 day = local >= 0 ? local / kMsPerDay : (local + 1) / kMsPerDay - 1;
        if (QDate::fromJulianDay(kJulianDayOf1970 + day) == today) {
            const qint64 ms = local - day * kMsPerDay;
            const int parts[] = {static_cast<int>(ms / 3600000), static_cast<int>(ms / 60000 % 60), static_cast<int>(ms / 1000 % 60)};
            QString text;
            text.reserve(12);
            for (int part : parts) {
                if (!text.isEmpty()) text += u':';
                text += QChar(u'0' + part / 10);
                text += QChar(u'0' + part % 10);
            }
            const int milli = static_cast<int>(ms % 1000);
            text += u'.';
            text += QChar(u'0' + milli / 100);
            text += QChar(u'0' + milli / 10 % 10);
            text += QChar(u'0' + milli % 10);
            return text;
        }
    }
    const QDateTime local = LocalTime(iso, zone);
    if (!local.isValid()) return iso;
    return local.toString(local.date() == today ? QStringLiteral("HH:mm:ss.zzz") : QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

OnlineValues::OnlineValues(std::unique_ptr<AddressSource> source, QString notOnline)
    : m_source(std::move(source)), m_notOnline(std::move(notOnline)) {
    m_server = dynamic_cast<ServerSource*>(m_source.get());
    if (!m_server) {
        if (m_notOnline.isEmpty()) m_notOnline = Text(9313);
        return;
    }
    m_notOnline.clear();
    m_server->Client().onValues = [this](const std::vector<LiveValue>& values) { Take(values); };
    m_server->Client().onOutput = [this] {
        if (onArrival) onArrival();
    };
}

OnlineValues::~OnlineValues() {
    if (m_server) {
        m_server->Client().onValues = {};
        m_server->Client().onOutput = {};
    }
}

bool OnlineValues::Open(QString* error) {
    if (!m_server) {
        *error = m_notOnline;
        return false;
    }
    m_asked.clear();
    // The connect pumps the window's events, and with them Poll, which must
    // not begin a connect of its own meanwhile.
    const bool busy = std::exchange(m_busy, true);
    m_connected = m_server->Open(error);
    m_busy = busy;
    m_status = m_connected ? QString() : m_server->ConnectionState();
    return m_connected && Sync(error);
}

bool OnlineValues::Show(const std::vector<OnlineItem>& items, QString* error) {
    QHash<int, OnlineItem> next;
    m_order.clear();
    for (const OnlineItem& item : items) {
        if (next.size() >= cap) break;
        if (next.contains(item.itemId)) continue;
        next.insert(item.itemId, item);
        m_order.push_back(item.itemId);
        // A value shown another way, or of another node, waits for the next one.
        const auto before = m_watched.constFind(item.itemId);
        if (before == m_watched.cend() || before->nodeId != item.nodeId || before->dataType != item.dataType ||
            before->unit != item.unit)
            m_values.remove(item.itemId);
    }
    for (auto it = m_watched.cbegin(); it != m_watched.cend(); ++it)
        if (!next.contains(it.key())) m_values.remove(it.key());
    m_watched = std::move(next);
    return Sync(error);
}

bool OnlineValues::Sync(QString* error) {
    // Without a connection the items are watched when it is back; within a
    // request (the wait pumps the window's events) right after it.
    if (!m_connected || m_busy) {
        m_dirty = true;
        return true;
    }
    m_busy = true;
    bool done = true;
    do {
        m_dirty = false;
        std::vector<int> gone;
        for (auto it = m_asked.cbegin(); it != m_asked.cend(); ++it)
            if (!m_watched.contains(it.key())) gone.push_back(it.key());
        std::vector<OnlineItem> come;
        for (int id : m_order) {
            const OnlineItem& item = *m_watched.constFind(id);
            const auto asked = m_asked.constFind(item.itemId);
            if (asked == m_asked.cend() || asked->nodeId != item.nodeId || asked->samplingMs != item.samplingMs)
                come.push_back(item);
        }
        if (!gone.empty()) {
            if (!m_server->Client().Unmonitor(gone, error)) {
                done = Lost();
                break;
            }
            for (int id : gone) m_asked.remove(id);
        }
        if (!come.empty() && !Watch(come, error)) {
            done = Lost();
            break;
        }
    } while (m_dirty && m_connected);
    m_busy = false;
    return done;
}

bool OnlineValues::Lost() {
    const HelperClient& client = m_server->Client();
    if (!client.ConnectionLost() && client.IsRunning()) return false;
    Lose();
    return true;
}

bool OnlineValues::Watch(const std::vector<OnlineItem>& items, QString* error) {
    std::vector<MonitorItem> asked;
    asked.reserve(items.size());
    for (const OnlineItem& item : items) asked.push_back({item.itemId, item.nodeId, std::max(item.samplingMs, 1)});
    const auto results = m_server->Client().Monitor(asked, error);
    if (!results) return false;
    for (const OnlineItem& item : items) m_asked.insert(item.itemId, item);
    std::vector<int> refused;
    for (const MonitorResult& result : *results) {
        if (result.status == QLatin1String("Good") || !m_watched.contains(result.handle)) continue;
        ItemValue& value = m_values[result.handle];
        value = ItemValue{};
        value.quality = QualityText(result.status);
        value.revision = ++m_revision;
        refused.push_back(result.handle);
    }
    Changed(std::move(refused));
    return true;
}

bool OnlineValues::Refresh(QString* error) {
    if (!m_server) {
        *error = m_notOnline;
        return false;
    }
    if (!m_connected || m_busy || m_order.empty()) return true;
    m_busy = true;
    const std::vector<int> order = m_order;
    QStringList nodeIds;
    for (int id : order) nodeIds << m_watched.value(id).nodeId;
    auto values = m_server->Client().Read(nodeIds, error);
    bool done = true;
    if (values) {
        for (size_t i = 0; i < order.size(); ++i) (*values)[i].handle = order[i];
        Take(*values);
    } else {
        done = Lost();
    }
    m_busy = false;
    if (done && m_dirty) Sync(error);
    return done;
}

void OnlineValues::Take(const std::vector<LiveValue>& values) {
    std::vector<int> changed;
    for (const LiveValue& live : values) {
        const auto item = m_watched.constFind(live.handle);
        if (item == m_watched.cend()) continue;  // it left the screen while the value was under way
        ItemValue& value = m_values[live.handle];
        value.raw = live.value;
        value.type = live.type;
        value.dataType = item->dataType;
        value.unit = item->unit;
        value.formatted = false;
        value.quality = QualityText(live.status);
        value.level = value.quality.startsWith(QLatin1String("Good"))        ? Quality::Good
                      : value.quality.startsWith(QLatin1String("Uncertain")) ? Quality::Uncertain
                                                                              : Quality::Bad;
        value.isoTime = live.sourceTime.isEmpty() ? live.serverTime : live.sourceTime;
        value.revision = ++m_revision;
        changed.push_back(live.handle);
    }
    Changed(std::move(changed));
}

void OnlineValues::Lose() {
    // The helper's items went with the session.
    m_connected = false;
    m_asked.clear();
    m_sinceLoss.start();
    std::vector<int> all;
    for (auto it = m_watched.cbegin(); it != m_watched.cend(); ++it) {
        // The last value stays to be seen, marked as no longer current.
        ItemValue& value = m_values[it.key()];
        value.quality = QStringLiteral("Bad_ConnectionLost");
        value.level = Quality::Bad;
        value.revision = ++m_revision;
        all.push_back(it.key());
    }
    Changed(std::move(all));
}

void OnlineValues::Poll() {
    if (!m_server) return;
    // What arrived meanwhile is read by the request under way, or waits for the next poll.
    m_refused = m_busy;
    if (m_busy) return;
    // Watching the items again pumps the window's events, which may call here again.
    m_busy = true;
    if (m_connected) {
        HelperClient& client = m_server->Client();
        if (!client.PollEvents() || client.ConnectionLost()) {
            Lose();
        } else if (m_dirty) {
            m_busy = false;
            QString error;
            Sync(&error);
        }
    } else if (m_server->Client().Connecting() || (m_sinceLoss.isValid() && m_sinceLoss.elapsed() >= reconnectMs)) {
        TryAgain();
    }
    m_busy = false;
}

void OnlineValues::TryAgain() {
    switch (m_server->Reconnect()) {
    case Reconnecting::UnderWay:
        return;
    case Reconnecting::Failed:
        m_status = m_server->ConnectionState();
        m_sinceLoss.restart();
        return;
    case Reconnecting::NeedsPerson:
        // Asking again and again would not change the server's mind, and
        // refused passwords may lock the user out.
        m_status = m_server->ConnectionState();
        m_sinceLoss.invalidate();
        return;
    case Reconnecting::Connected:
        break;
    }
    m_connected = true;
    m_status.clear();
    m_sinceLoss.invalidate();
    m_busy = false;
    QString error;
    Sync(&error);
}

const ItemValue* OnlineValues::Value(int itemId) const {
    const auto it = m_values.find(itemId);
    if (it == m_values.end()) return nullptr;
    if (!it->formatted) {
        it->value = ValueText(it->raw, it->dataType, it->unit);
        it->time = GridTimeText(it->isoTime, Today());
        it->formatted = true;
    }
    return &*it;
}

void OnlineValues::Changed(std::vector<int> itemIds) {
    if (itemIds.empty() || !onChanged) return;
    std::sort(itemIds.begin(), itemIds.end());
    itemIds.erase(std::unique(itemIds.begin(), itemIds.end()), itemIds.end());
    onChanged(itemIds);
}

}  // namespace ov::opc

namespace ov::opc {

std::optional<QJsonValue> ValueToWrite(const QString& text, int dataType, std::optional<double> minVal,
                                       std::optional<double> maxVal, QString* error) {
    const QString typed = text.trimmed();
    const auto refuse = [&]() -> std::optional<QJsonValue> {
        *error = Text(9310).replace(QStringLiteral("<v>"), text).replace(QStringLiteral("<t>"), model::CVT_Types().GetTextFromID(dataType));
        return std::nullopt;
    };
    // A number outside the item's range is refused before anything is sent.
    const auto inRange = [&](double value) {
        if (!minVal || !maxVal || *minVal >= *maxVal || (value >= *minVal && value <= *maxVal)) return true;
        *error = Text(9311)
                     .replace(QStringLiteral("<v>"), typed)
                     .replace(QStringLiteral("<min>"), ui::NumberText(*minVal))
                     .replace(QStringLiteral("<max>"), ui::NumberText(*maxVal));
        return false;
    };
    for (const IntegerRange& range : kIntegers) {
        if (range.code != dataType) continue;
        const std::optional<double> number = Number(typed);
        if (!number || *number != std::trunc(*number) || *number < range.low || *number > range.high) return refuse();
        if (!inRange(*number)) return std::nullopt;
        return QJsonValue(*number);
    }
    switch (dataType) {
    case kVtI8:
    case kVtUi8: {
        // Beyond 2^53 a double loses digits: these travel as decimal text.
        bool ok = false;
        const QString digits = typed.startsWith(u'+') ? typed.mid(1) : typed;
        const QString exact = dataType == kVtI8 ? QString::number(digits.toLongLong(&ok)) : QString::number(digits.toULongLong(&ok));
        if (!ok) return refuse();
        if (!inRange(exact.toDouble())) return std::nullopt;
        return QJsonValue(exact);
    }
    case kVtR4:
    case kVtR8:
    case kVtCy: {
        const std::optional<double> number = Number(typed);
        if (!number || (dataType == kVtR4 && std::fabs(*number) > FLT_MAX)) return refuse();
        if (!inRange(*number)) return std::nullopt;
        return QJsonValue(*number);
    }
    case kVtBool:
    case kBit: {
        const QString word = typed.toLower();
        if (word == QLatin1String("true") || word == QLatin1String("1") || word == QLatin1String("-1")) return QJsonValue(true);
        if (word == QLatin1String("false") || word == QLatin1String("0")) return QJsonValue(false);
        return refuse();
    }
    case kVtDate: {
        // ISO 8601, or as the grid shows times: local time to the millisecond.
        QDateTime time = QDateTime::fromString(typed, Qt::ISODateWithMs);
        for (const char* format : {"yyyy-MM-dd HH:mm:ss.zzz", "yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd HH:mm", "yyyy-MM-dd"})
            if (!time.isValid()) time = QDateTime::fromString(typed, QString::fromLatin1(format));
        if (!time.isValid()) return refuse();
        return QJsonValue(time.toUTC().toString(Qt::ISODateWithMs));
    }
    case kVtBstr:
        return QJsonValue(text);
    default:
        // A type the project leaves open: a number where it is one, else the text.
        if (const std::optional<double> number = Number(typed)) {
            if (!inRange(*number)) return std::nullopt;
            return QJsonValue(*number);
        }
        return QJsonValue(text);
    }
}

QHash<int, int> SamplingIntervals(db::Connection& connection, const std::vector<int>& itemIds) {
    QHash<int, int> intervals;
    QStringList ids;
    for (int id : itemIds) {
        intervals.insert(id, 1000);
        ids << QString::number(id);
    }
    if (ids.isEmpty()) return intervals;
    db::Recordset fastest;
    fastest.Open(QStringLiteral("SELECT TpdbConnections.ItemID, MIN(TpdbGroups.UpdateRate) FROM TpdbConnections "
                                "INNER JOIN TpdbGroups ON TpdbConnections.GroupID = TpdbGroups.ID "
                                "WHERE TpdbGroups.UpdateRate > 0 AND TpdbConnections.ItemID IN (%1) "
                                "GROUP BY TpdbConnections.ItemID")
                     .arg(ids.join(u',')),
                 connection);
    for (; !fastest.IsEOF(); fastest.MoveNext())
        intervals.insert(fastest.Fields(0).Value().toInt(), std::max(1, qRound(fastest.Fields(1).Value().toDouble())));
    return intervals;
}

QString WriteLogPath(const QString& projectFile) {
    if (db::IsServerDataSource(projectFile)) return sys::ServerProjectLocalBase(projectFile) + QStringLiteral(".writes.log");
    const QFileInfo project(projectFile);
    return project.dir().filePath(project.completeBaseName() + QStringLiteral(".writes.log"));
}

WriteOutcome OnlineValues::Write(const OnlineItem& item, const QString& text) {
    WriteOutcome outcome;
    if (!m_server) {
        outcome.error = m_notOnline;
        return outcome;
    }
    const std::optional<QJsonValue> value = ValueToWrite(text, item.dataType, item.minVal, item.maxVal, &outcome.error);
    if (!value) return outcome;
    HelperClient& client = m_server->Client();
    // The waits below pump the window's events: a Poll meanwhile would read their answers away.
    const bool busy = std::exchange(m_busy, true);
    // The old value as shown, or as the server has it now.
    QString old;
    if (const ItemValue* shown = Value(item.itemId)) {
        old = shown->value;
    } else if (m_connected) {
        QString ignored;
        if (const auto read = client.Read({item.nodeId}, &ignored)) old = ValueText(read->front().value, item.dataType, item.unit);
    }
    if (!m_connected) {
        outcome.error = m_server->ConnectionState();
    } else {
        outcome.sent = true;
        if (const std::optional<QString> status = client.Write(item.nodeId, *value, &outcome.error)) outcome.status = *status;
        else Lost();
    }
    m_busy = busy;
    const QString who = !user.isEmpty() ? user : LoggedOnUser();
    const QStringList fields{QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                             who,
                             item.name.isEmpty() ? item.nodeId : item.name,
                             old,
                             ValueText(*value, item.dataType, item.unit),
                             outcome.status.isEmpty() ? outcome.error : outcome.status};
    QStringList line;
    for (const QString& field : fields) line << OneLine(field);
    QFile log(writeLog);
    const QByteArray bytes = (line.join(u'\t') + u'\n').toUtf8();
    if (!writeLog.isEmpty()) QDir().mkpath(QFileInfo(writeLog).absolutePath());
    if (writeLog.isEmpty() || !log.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text) ||
        log.write(bytes) != bytes.size() || !log.flush())
        outcome.logProblem = Text(9312)
                                 .replace(QStringLiteral("<f>"), writeLog)
                                 .replace(QStringLiteral("<r>"), writeLog.isEmpty() ? QStringLiteral("-") : log.errorString());
    return outcome;
}

}  // namespace ov::opc

// ovopc monitor and write: the live values of a device's items on its OPC UA server.

#include "CommandLine.h"

#include "model/DeviceAddress.h"
#include "model/ProjectTemplate.h"
#include "opc/MOpc.h"
#include "opc/OnlineItems.h"
#include "opc/OnlineValues.h"
#include "platform/db/Connection.h"
#include "platform/db/Recordset.h"
#include "platform/system/SystemTools.h"
#include "settings/TextTable.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>
#include <csignal>
#include <unistd.h>

namespace ovopc {

namespace {

using ov::settings::Text;

// The device a live command names, with the source of its server not yet connected.
struct LiveDevice {
    int id = 0;
    std::unique_ptr<ov::opc::AddressSource> source;
    ov::opc::ServerSource* server = nullptr;
    QString unanswered;  // why a question of the server went unanswered
};

// False after the message, with the exit code in failure: no such device, an
// own driver, or a server that is no live one.
bool FindLiveDevice(const Arguments& args, ov::db::Connection& connection, LiveDevice& device, int* failure) {
    QString name = args.Value("--device");
    const QString shown = name;
    ov::db::Recordset row;
    row.Open(QStringLiteral("SELECT ID, ProgID, BlobMode FROM TpdbDevices WHERE Name = '%1'")
                 .arg(name.replace(u'\'', QStringLiteral("''"))),
             connection);
    if (row.IsEOF()) {
        *failure = Fail(QStringLiteral("the project has no device \"%1\".").arg(shown));
        return false;
    }
    if (ov::model::blobmode::Kind(ov::model::blobmode::FromStored(row.Value(QStringLiteral("BlobMode")))) ==
        ov::model::blobmode::kOwnDriver) {
        *failure = Fail(Text(9316).replace(QStringLiteral("<d>"), shown));
        return false;
    }
    device.id = row.Value(QStringLiteral("ID")).toInt();
    const auto [progId, computer] = ov::opc::SplitServerProgId(row.Value(QStringLiteral("ProgID")).toString());
    QString error;
    device.source = ov::opc::SourceFor(ov::sys::SystemTools::Instance().GetRegistry(),
                                       ov::model::ParseOpcServerProgId(progId).VersionedProgId(), computer, &error,
                                       CommandLineAskers(args.Flag("--accept-server-certificate"), &device.unanswered));
    if (!device.source) {
        *failure = Fail(error);
        return false;
    }
    device.server = dynamic_cast<ov::opc::ServerSource*>(device.source.get());
    if (!device.server) {
        *failure = Fail(Text(9317).replace(QStringLiteral("<d>"), shown).replace(QStringLiteral("<f>"), device.source->Description()));
        return false;
    }
    return true;
}

// Connects; false after the message.
bool Connect(ov::opc::OnlineValues& online, const LiveDevice& device, int* failure) {
    QString error;
    if (online.Open(&error)) return true;
    *failure = Fail(!error.isEmpty() ? error : !device.unanswered.isEmpty() ? device.unanswered : device.server->ConnectionState());
    return false;
}

bool UnknownFlags(const Arguments& args, const QStringList& known, const char* command, int* failure) {
    for (const QString& flag : args.flags) {
        if (known.contains(flag)) continue;
        *failure = Usage(QStringLiteral("unknown option %1 for '%2'.").arg(flag, QString::fromUtf8(command)));
        return true;
    }
    return false;
}

// "[", "%" and "_" stand for themselves in a Like pattern when bracketed.
QString LikeLiteral(const QString& text) {
    QString pattern;
    for (const QChar c : text) pattern += c == u'[' || c == u'%' || c == u'_' ? u'[' + QString(c) + u']' : QString(c);
    return pattern;
}

volatile std::sig_atomic_t g_stop = 0;

// The first Ctrl+C ends the monitor at its next turn; a second one, while a
// connect is under way, ends the program at once.
void StopMonitor(int number) {
    g_stop = 1;
    std::signal(number, SIG_DFL);
}

// One line to stdout right away, so that a pipe sees it; false when the reader is gone.
bool Emit(const QString& line) {
    const QByteArray bytes = (line + u'\n').toUtf8();
    return std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout) ==
               static_cast<std::size_t>(bytes.size()) &&
           std::fflush(stdout) == 0;
}

QString ValueLine(const ov::opc::OnlineItem& item, const ov::opc::ItemValue& value, bool json) {
    // A log of values may run past midnight: each line keeps its date.
    if (!json)
        return QStringList{item.name, value.value, value.quality, ov::opc::LocalTimeText(value.isoTime)}.join(u'\t');
    const QJsonObject line{{QStringLiteral("item"), item.name},
                           {QStringLiteral("itemId"), item.nodeId},
                           {QStringLiteral("value"), value.raw.isUndefined() ? QJsonValue() : value.raw},
                           {QStringLiteral("text"), value.value},
                           {QStringLiteral("quality"), value.quality},
                           {QStringLiteral("time"), value.isoTime.isEmpty() ? QJsonValue() : QJsonValue(value.isoTime)}};
    return QString::fromUtf8(QJsonDocument(line).toJson(QJsonDocument::Compact));
}

}  // namespace

int CommandMonitor(const Arguments& args) {
    int failure = 0;
    if (args.positional.size() != 1 || !args.Has("--device"))
        return Usage(QStringLiteral("'monitor' needs a FILE and --device NAME."));
    if (UnknownFlags(args, {"--json", "--accept-server-certificate"}, "monitor", &failure)) return failure;
    double seconds = 0;
    if (args.Has("--seconds")) {
        bool ok = false;
        seconds = args.Value("--seconds").toDouble(&ok);
        if (!ok || !(seconds > 0)) return Usage(QStringLiteral("--seconds takes a number of seconds above 0."));
    }
    UseInstallationLanguage();
    ov::db::Connection connection;
    connection.SetBusyTimeout(args.busyTimeout);
    connection.Open(ov::model::ProjectReadConnectionString(args.positional[0]));
    LiveDevice device;
    if (!FindLiveDevice(args, connection, device, &failure)) return failure;
    const std::vector<ov::opc::OnlineItem> items = ov::opc::DeviceItemsOnline(connection, device.id, args.Value("--items"));
    connection.Close();
    if (items.empty())
        return Fail(args.Has("--items") ? QStringLiteral("the device \"%1\" has no item like \"%2\".").arg(args.Value("--device"), args.Value("--items"))
                                        : QStringLiteral("the device \"%1\" has no items.").arg(args.Value("--device")));

    ov::opc::OnlineValues online(std::move(device.source));
    // Every item asked for is watched, not only a screenful.
    online.cap = static_cast<int>(items.size());
    if (!Connect(online, device, &failure)) return failure;
    Print(stderr, device.server->ConnectionState() + u'\n');

    QHash<int, const ov::opc::OnlineItem*> byId;
    for (const ov::opc::OnlineItem& item : items) byId.insert(item.itemId, &item);
    const bool json = args.Flag("--json");
    bool readerGone = false;
    online.onChanged = [&](const std::vector<int>& ids) {
        for (const int id : ids) {
            const ov::opc::ItemValue* value = online.Value(id);
            if (g_stop || readerGone || !value) continue;
            readerGone = !Emit(ValueLine(*byId.value(id), *value, json));
        }
    };
    // A reader that goes away (| head) ends the monitor as Ctrl+C does.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGINT, StopMonitor);
    std::signal(SIGTERM, StopMonitor);
    QString error;
    if (!online.Show(items, &error)) return Fail(error);
    QElapsedTimer running;
    running.start();
    while (!g_stop && !readerGone && (seconds == 0 || running.elapsed() < seconds * 1000)) {
        online.Poll();
        QThread::msleep(20);
    }
    return 0;
}

int CommandWrite(const Arguments& args) {
    int failure = 0;
    if (args.positional.size() != 1 || !args.Has("--device") || !args.Has("--item") || !args.Has("--value"))
        return Usage(QStringLiteral("'write' needs a FILE, --device NAME, --item NAME and --value TEXT."));
    if (UnknownFlags(args, {"--yes", "--accept-server-certificate"}, "write", &failure)) return failure;
    UseInstallationLanguage();
    const QString project = args.positional[0];
    ov::db::Connection connection;
    connection.SetBusyTimeout(args.busyTimeout);
    connection.Open(ov::model::ProjectReadConnectionString(project));
    LiveDevice device;
    if (!FindLiveDevice(args, connection, device, &failure)) return failure;
    const std::vector<ov::opc::OnlineItem> found =
        ov::opc::DeviceItemsOnline(connection, device.id, LikeLiteral(args.Value("--item")));
    connection.Close();
    if (found.empty())
        return Fail(Text(9319).replace(QStringLiteral("<d>"), args.Value("--device")).replace(QStringLiteral("<i>"), args.Value("--item")));
    const ov::opc::OnlineItem& item = found.front();
    const QString typed = args.Value("--value");

    // What cannot be written is refused before the server is asked anything.
    QString error;
    const std::optional<QJsonValue> value = ov::opc::ValueToWrite(typed, item.dataType, item.minVal, item.maxVal, &error);
    if (!value) return Fail(error);
    const bool ask = !args.Flag("--yes");
    if (ask && isatty(STDIN_FILENO) == 0) return Fail(Text(9315));

    ov::opc::OnlineValues online(std::move(device.source));
    online.writeLog = ov::opc::WriteLogPath(project);
    if (!Connect(online, device, &failure)) return failure;
    if (ask) {
        // The value now, read once; it is also what the writes log records as the old one.
        if (!online.Show({item}, &error) || !online.Refresh(&error)) return Fail(error);
        const ov::opc::ItemValue* now = online.Value(item.itemId);
        const QString old = !now ? QStringLiteral("?") : now->value.isEmpty() ? now->quality : now->value;
        const std::optional<QString> answer =
            ReadLine(Text(9314)
                         .replace(QStringLiteral("<new>"), ov::opc::ValueText(*value, item.dataType, item.unit))
                         .replace(QStringLiteral("<item>"), item.name)
                         .replace(QStringLiteral("<old>"), old),
                     false);
        const QString word = answer.value_or(QString()).trimmed().toLower();
        if (!QStringList{"y", "yes", "j", "ja"}.contains(word)) return kExitError;
    }
    const ov::opc::WriteOutcome outcome = online.Write(item, typed);
    if (!outcome.logProblem.isEmpty()) Print(stderr, QStringLiteral("ovopc: warning: %1\n").arg(outcome.logProblem));
    if (outcome.status.isEmpty()) return Fail(outcome.error);
    if (outcome.status != QLatin1String("Good")) return Fail(Text(9318).replace(QStringLiteral("<s>"), outcome.status));
    return 0;
}

}  // namespace ovopc

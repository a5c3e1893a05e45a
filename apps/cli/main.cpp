// ovopc: the editor's command-line tool, for automation and tests.

#include "CommandLine.h"

#include "automation/ScriptRunner.h"
#include "components/InstalledPrograms.h"
#include "automation/ScriptSession.h"
#include "editor/AddinEntry.h"
#include "model/DeviceAddress.h"
#include "opc/ItemBrowser.h"
#include "tools/CsvTransfer.h"
#include "opc/MOpc.h"
#include "tools/MTools.h"
#include "platform/ui/Progress.h"
#include "model/ProjectCopy.h"
#include "platform/db/Recordset.h"
#include "host/Connect.h"
#include "model/DemoProject.h"
#include "model/LargeProject.h"
#include "model/ProjectDiff.h"
#include "model/ProjectStatistics.h"
#include "model/ProjectTemplate.h"
#include "platform/db/Connection.h"
#include "platform/db/DbError.h"
#include "platform/host/InMemoryHost.h"
#include "platform/system/ProjectResolution.h"
#include "platform/system/SystemTools.h"
#include "platform/ui/MessageBox.h"
#include "settings/TextTable.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QStringList>
#include <optional>
#include <cstdio>
#include <unistd.h>
#include <functional>
#include <map>

namespace {

using namespace ovopc;

// A demo project with many items, with a progress line on stderr.
int CreateLarge(const QString& file, const Arguments& args) {
    bool ok = false;
    ov::model::LargeProjectOptions options;
    options.items = args.Value("--items").toLongLong(&ok);
    if (!ok || options.items < 1 || options.items > 10000000) return Usage(QStringLiteral("--items takes 1 to 10000000."));
    if (args.Has("--devices")) {
        options.devices = args.Value("--devices").toInt(&ok);
        if (!ok || options.devices < 1 || options.devices > 1000) return Usage(QStringLiteral("--devices takes 1 to 1000."));
    }
    ov::ui::ProgressScope progress(QStringLiteral("creating items"), options.items);
    options.progress = [&](qint64 done, qint64 /*total*/) { return progress.Advance(done); };
    ov::model::CreateLargeProject(file, options);
    return 0;
}

int CommandNew(const Arguments& args) {
    if (args.positional.size() != 1) return Usage(QStringLiteral("'new' needs exactly one FILE."));
    for (const QString& flag : args.flags)
        if (flag != QStringLiteral("--demo")) return Usage(QStringLiteral("unknown option %1 for 'new'.").arg(flag));
    if ((args.Has("--items") || args.Has("--devices")) && !args.flags.contains(QStringLiteral("--demo")))
        return Usage(QStringLiteral("--items and --devices go with --demo."));
    const QString file = args.positional[0];
    if (!args.flags.contains(QStringLiteral("--demo"))) {
        ov::model::CreateProjectDatabase(file);
        Print(stdout, QStringLiteral("created %1\n").arg(file));
        return 0;
    }
    if (args.Has("--items")) {
        if (const int failed = CreateLarge(file, args)) return failed;
    } else {
        ov::model::CreateDemoProject(file);
    }
    Print(stdout, QStringLiteral("created %1\n").arg(file));
    // The demo's OPC servers and its driver become known to this installation.
    ov::sys::Registry registry;
    if (!ov::components::RegisterDemoInstallation(registry))
        Print(stderr, QStringLiteral("ovopc: warning: the demo's servers and driver could not be registered in %1\n")
                          .arg(registry.FilePath()));
    return 0;
}

int CommandDiff(const Arguments& args) {
    if (args.positional.size() != 2) return Usage(QStringLiteral("'diff' needs two project files."));
    for (const QString& flag : args.flags)
        if (flag != QStringLiteral("--json")) return Usage(QStringLiteral("unknown option %1 for 'diff'.").arg(flag));
    ov::db::Connection first, second;
    first.SetBusyTimeout(args.busyTimeout);
    second.SetBusyTimeout(args.busyTimeout);
    first.Open(ov::model::ProjectReadConnectionString(args.positional[0]));
    second.Open(ov::model::ProjectReadConnectionString(args.positional[1]));
    const ov::model::ProjectDiff diff = ov::model::DiffProjects(first, second);
    if (args.flags.contains(QStringLiteral("--json"))) {
        const auto list = [](const std::vector<ov::model::DiffEntry>& entries) {
            QJsonArray array;
            for (const auto& e : entries) {
                QJsonObject o{{QStringLiteral("kind"), e.kind}, {QStringLiteral("name"), e.name}};
                if (!e.fields.isEmpty()) o[QStringLiteral("fields")] = QJsonArray::fromStringList(e.fields);
                array.append(o);
            }
            return array;
        };
        const QJsonObject json{{QStringLiteral("added"), list(diff.added)},
                               {QStringLiteral("removed"), list(diff.removed)},
                               {QStringLiteral("changed"), list(diff.changed)}};
        Print(stdout, QString::fromUtf8(QJsonDocument(json).toJson(QJsonDocument::Indented)));
    } else {
        for (const auto& e : diff.added) Print(stdout, QStringLiteral("+ %1 %2\n").arg(e.kind, e.name));
        for (const auto& e : diff.removed) Print(stdout, QStringLiteral("- %1 %2\n").arg(e.kind, e.name));
        for (const auto& e : diff.changed)
            Print(stdout, QStringLiteral("~ %1 %2: %3\n").arg(e.kind, e.name, e.fields.join(QStringLiteral(", "))));
    }
    return diff.Same() ? 0 : 1;
}

// A whole project to another place: file to server, server to file.
int CommandCopy(const Arguments& args) {
    if (args.positional.size() != 2) return Usage(QStringLiteral("'copy' needs a SOURCE and a TARGET project."));
    if (!args.flags.isEmpty()) return Usage(QStringLiteral("unknown option %1 for 'copy'.").arg(args.flags.first()));
    std::optional<ov::ui::ProgressScope> progress;
    ov::model::CopyOptions options;
    options.busyTimeout = args.busyTimeout;
    options.progress = [&](qint64 done, qint64 total) {
        if (!progress) progress.emplace(QStringLiteral("copying rows"), total);
        return progress->Advance(done);
    };
    const qint64 rows = ov::model::CopyProject(args.positional[0], args.positional[1], options);
    Print(stdout, QStringLiteral("copied %1 rows to %2\n").arg(rows).arg(args.positional[1]));
    return 0;
}

int CommandInfo(const Arguments& args) {
    if (args.positional.size() != 1) return Usage(QStringLiteral("'info' needs exactly one FILE."));
    for (const QString& flag : args.flags)
        if (flag != QStringLiteral("--json")) return Usage(QStringLiteral("unknown option %1 for 'info'.").arg(flag));
    ov::db::Connection connection;
    connection.SetBusyTimeout(args.busyTimeout);
    connection.Open(ov::model::ProjectReadConnectionString(args.positional[0]));
    const auto counts = ov::model::CountProjectObjects(connection);
    UseInstallationLanguage();
    const QString notice = ov::model::NetworkShareNotice(connection);
    if (args.flags.contains(QStringLiteral("--json"))) {
        QJsonObject json;
        json[QStringLiteral("devices")] = counts.devices;
        json[QStringLiteral("groups")] = counts.groups;
        json[QStringLiteral("items")] = counts.items;
        json[QStringLiteral("unitClasses")] = counts.unitClasses;
        json[QStringLiteral("units")] = counts.units;
        json[QStringLiteral("structureDefinitions")] = counts.structureDefinitions;
        json[QStringLiteral("structureMembers")] = counts.structureMembers;
        json[QStringLiteral("networkShare")] = !notice.isEmpty();
        if (!notice.isEmpty()) {
            json[QStringLiteral("fileSystem")] = connection.FileSystem().name;
            json[QStringLiteral("notice")] = notice;
        }
        Print(stdout, QString::fromUtf8(QJsonDocument(json).toJson(QJsonDocument::Indented)));
    } else {
        for (const auto& [label, count] : counts.Labelled()) Print(stdout, QStringLiteral("%1: %2\n").arg(label).arg(count));
        if (!notice.isEmpty()) Print(stdout, notice + u'\n');
    }
    return 0;
}

void CheckProjectOpens(const QString& file, int busyTimeout) {
    ov::db::Connection connection;
    connection.SetBusyTimeout(busyTimeout);
    connection.Open(ov::model::ProjectReadConnectionString(file));
}

int CommandTree(const Arguments& args) {
    if (args.positional.size() != 1) return Usage(QStringLiteral("'tree' needs exactly one FILE."));
    if (!args.flags.isEmpty()) return Usage(QStringLiteral("unknown option %1 for 'tree'.").arg(args.flags[0]));
    const QString project = args.positional[0];
    const auto& registry = ov::sys::SystemTools::Instance().GetRegistry();
    QString file;
    try {
        file = ov::sys::ResolveProjectFile(project, registry);
    } catch (const ov::sys::RegistryError& e) {
        return Fail(e.Message());
    }
    if (file.isEmpty())
        return Fail(QStringLiteral("'%1' is neither a project file (.ovs) nor a project registered in %2.")
                        .arg(project, registry.FilePath()));
    CheckProjectOpens(file, args.busyTimeout);

    ov::host::InMemoryHost host;
    ov::opc::InstallEditor();
    ov::tools::InstallEditor();
    ov::host::Connect session;  // chooses the user-interface language from the registry
    if (!args.options.isEmpty()) {
        const int lcid = args.options[0].toInt();
        if (lcid != ov::settings::TextTable::kGerman && lcid != ov::settings::TextTable::kEnglish)
            return Usage(QStringLiteral("--lang takes 1031 or 1033."));
        ov::settings::TextTable::Instance().SetLanguage(lcid);
    }
    session.Initialize(file, QString(), &host, &host);
    auto& messages = ov::ui::DefaultMessageBoxes();
    messages.Clear();
    session.NodeExpand(QString(), QStringLiteral("OPCE0"), QString());
    if (!session.IsLoaded()) {
        QString why = messages.Shown().empty() ? QStringLiteral("the editor could not be loaded.")
                                                : messages.Shown().back().text;
        return Fail(why.replace(u'\n', QStringLiteral(": ")));
    }
    Print(stdout, host.Dump());
    session.Terminate();
    return 0;
}

int CommandRun(const QStringList& words) {
    QString script;
    QStringList scriptArgs;
    int timeoutSeconds = 60;
    for (qsizetype i = 0; i < words.size(); ++i) {
        if (words[i] == QStringLiteral("--timeout")) {
            bool ok = false;
            timeoutSeconds = i + 1 < words.size() ? words[++i].toInt(&ok) : 0;
            if (!ok || timeoutSeconds <= 0) return Usage(QStringLiteral("--timeout needs a number of seconds."));
        } else if (script.isEmpty()) {
            script = words[i];
        } else {
            scriptArgs << words[i];
        }
    }
    if (script.isEmpty()) return Usage(QStringLiteral("'run' needs a SCRIPT.js."));
    QFile file(script);
    if (!file.open(QIODevice::ReadOnly)) return Fail(QStringLiteral("Cannot read the script '%1'.").arg(script));
    const QString source = QString::fromUtf8(file.readAll());

    ov::automation::HeadlessSession session;
    ov::automation::ScriptRunner runner(session);
    runner.onOutput = [](const QString& text) {
        Print(stdout, text + u'\n');
        std::fflush(stdout);
    };
    runner.onWarning = [](const QString& text) { Print(stderr, QStringLiteral("ovopc: warning: %1\n").arg(text)); };
    const auto result = runner.Run(source, script, scriptArgs, timeoutSeconds * 1000);
    session.Close();
    if (!result.ok) return Fail(result.error);
    return 0;
}

// The device or group an export or import names; false after the message.
bool ViewOf(const Arguments& args, ov::db::Connection& connection, int* id, bool* group, int* failure) {
    *group = args.Has("--group");
    const char* option = *group ? "--group" : "--device";
    *id = IdByName(connection, *group ? "TpdbGroups" : "TpdbDevices", args.Value(option));
    if (*id == 0) {
        *failure = Fail(QStringLiteral("the project has no %1 \"%2\".")
                            .arg(*group ? QStringLiteral("group") : QStringLiteral("device"), args.Value(option)));
        return false;
    }
    return true;
}

// A progress line for a CSV transfer, begun with the first report (every
// thousand lines), so small files print none.
class CsvProgressLine {
  public:
    explicit CsvProgressLine(QString title) : m_title(std::move(title)) {}
    ov::tools::CsvProgress Callback() {
        return [this](qint64 done, qint64 total) {
            if (!m_scope) m_scope.emplace(m_title, total);
            return m_scope->Advance(done);
        };
    }

  private:
    QString m_title;
    std::optional<ov::ui::ProgressScope> m_scope;
};

int CommandExport(const Arguments& args) {
    const int scopes = (args.Has("--device") ? 1 : 0) + (args.Has("--group") ? 1 : 0) + (args.flags.contains(QStringLiteral("--all")) ? 1 : 0);
    if (args.positional.size() != 1 || !args.Has("-o") || scopes != 1)
        return Usage(QStringLiteral("'export' needs a FILE, one of --device NAME, --group NAME or --all, and -o OUT.csv."));
    for (const QString& flag : args.flags)
        if (flag != QStringLiteral("--all")) return Usage(QStringLiteral("unknown option %1 for 'export'.").arg(flag));
    const QString encoding = args.Has("--encoding") ? args.Value("--encoding") : QStringLiteral("ansi");
    if (encoding != QStringLiteral("ansi") && encoding != QStringLiteral("utf8"))
        return Usage(QStringLiteral("--encoding takes ansi or utf8."));
    ov::db::Connection connection;
    connection.SetBusyTimeout(args.busyTimeout);
    connection.Open(ov::model::ProjectReadConnectionString(args.positional[0]));
    QString select = QStringLiteral("SELECT * FROM TpdbItems ORDER BY ID");
    if (scopes == 1 && !args.flags.contains(QStringLiteral("--all"))) {
        int id = 0, failure = 0;
        bool group = false;
        if (!ViewOf(args, connection, &id, &group, &failure)) return failure;
        select = group ? QStringLiteral("SELECT i.* FROM TpdbItems i JOIN TpdbConnections c ON c.ItemID = i.ID "
                                        "WHERE c.GroupID = %1 ORDER BY i.ID").arg(id)
                       : QStringLiteral("SELECT * FROM TpdbItems WHERE DeviceID = %1 ORDER BY ID").arg(id);
    }
    CsvProgressLine progress(QStringLiteral("exporting rows"));
    const ov::tools::ExportResult result = ov::tools::ExportItemsBySql(
        connection, select, args.Value("-o"),
        encoding == QStringLiteral("utf8") ? ov::tools::CsvEncoding::Utf8WithBom : ov::tools::CsvEncoding::Ansi, QLocale(),
        progress.Callback());
    if (!result.error.isEmpty()) return Fail(result.error);
    Print(stdout, QStringLiteral("exported: %1\n").arg(result.rows));
    return 0;
}

int CommandImport(const Arguments& args) {
    bool numeric = false;
    const int mode = args.Value("--mode").toInt(&numeric);
    if (args.positional.size() != 2 || !numeric || !ov::tools::IsValidImportMode(mode))
        return Usage(QStringLiteral("'import' needs a FILE, the IN.csv file and --mode 0-3 or 5-7."));
    if (!args.flags.isEmpty()) return Usage(QStringLiteral("unknown option %1 for 'import'.").arg(args.flags[0]));
    ov::tools::ImportScope scope;
    for (const QString& id : args.Value("--ids").split(u',', Qt::SkipEmptyParts)) {
        bool ok = false;
        scope.selectedIds.push_back(id.trimmed().toInt(&ok));
        if (!ok) return Usage(QStringLiteral("--ids takes item IDs separated by commas."));
    }
    if ((mode == 1 || mode == 5) && scope.selectedIds.empty()) return Usage(QStringLiteral("modes 1 and 5 need --ids."));
    ov::db::Connection connection;
    connection.SetBusyTimeout(args.busyTimeout);
    connection.Open(ov::model::ProjectConnectionString(args.positional[0]));
    if (mode == 2 || mode == 6) {
        if (!args.Has("--device") && !args.Has("--group")) return Usage(QStringLiteral("modes 2 and 6 need --device or --group."));
        bool group = false;
        int failure = 0;
        if (!ViewOf(args, connection, &scope.viewId, &group, &failure)) return failure;
    }
    CsvProgressLine progress(QStringLiteral("importing (bytes read)"));
    const ov::tools::ImportResult result = ov::tools::ImportItems(
        connection, args.positional[1], mode, scope,
        [](qint64 line) { return ov::settings::Text(909).replace(QStringLiteral("<i>"), QString::number(line)); },
        progress.Callback());
    for (const QString& rejected : result.rejected) Print(stderr, rejected + u'\n');
    if (!result.fileError.isEmpty()) return Fail(result.fileError);
    if (!result.dbError.isEmpty()) return Fail(result.dbError + QStringLiteral(" (nothing was imported)"));
    Print(stdout, QStringLiteral("updated: %1\ninserted: %2\nrejected: %3\n")
                      .arg(result.updated)
                      .arg(result.inserted)
                      .arg(result.rejected.size()));
    return 0;
}

QJsonObject NodeJson(const ov::opc::ItemBrowser::Entry& entry, const QString& separator) {
    const ov::opc::OpcNode& node = entry.node;
    QJsonObject json{{QStringLiteral("nodeId"), node.nodeId},
                     {QStringLiteral("browseName"), node.browseName},
                     {QStringLiteral("displayName"), node.displayName},
                     {QStringLiteral("kind"), node.isVariable ? QStringLiteral("variable") : QStringLiteral("object")},
                     {QStringLiteral("itemName"), ov::opc::ItemName(entry.names, separator)}};
    if (node.isVariable) {
        const ov::opc::BrowseItem item = ov::opc::ItemOf(node, entry.names, separator);
        json[QStringLiteral("opcDataType")] = node.dataType;
        json[QStringLiteral("dataType")] = item.dataType;
        json[QStringLiteral("accessRights")] = item.accessRights;
        json[QStringLiteral("fieldSize")] = item.fieldSize;
    }
    return json;
}

int CommandBrowse(const Arguments& args) {
    if (args.positional.size() != 1 || !args.Has("--device"))
        return Usage(QStringLiteral("'browse' needs a FILE and --device NAME."));
    const QStringList known{"--json", "--system", "--accept-server-certificate"};
    for (const QString& flag : args.flags)
        if (!known.contains(flag)) return Usage(QStringLiteral("unknown option %1 for 'browse'.").arg(flag));
    // What the server refuses is said as the studio says it.
    UseInstallationLanguage();
    ov::db::Connection connection;
    connection.SetBusyTimeout(args.busyTimeout);
    connection.Open(ov::model::ProjectReadConnectionString(args.positional[0]));
    ov::db::Recordset device;
    QString name = args.Value("--device");
    device.Open(QStringLiteral("SELECT ProgID, HierarchBrowseSeparator, BlobMode FROM TpdbDevices WHERE Name = '%1'")
                    .arg(name.replace(u'\'', QStringLiteral("''"))),
                connection);
    if (device.IsEOF()) return Fail(QStringLiteral("the project has no device \"%1\".").arg(args.Value("--device")));
    if (ov::model::blobmode::Kind(ov::model::blobmode::FromStored(device.Value(QStringLiteral("BlobMode")))) ==
        ov::model::blobmode::kOwnDriver)
        return Fail(ov::settings::Text(416));
    const auto [progId, computer] = ov::opc::SplitServerProgId(device.Value(QStringLiteral("ProgID")).toString());
    const QString separator = device.Value(QStringLiteral("HierarchBrowseSeparator")).toString();
    QString error;
    QString unanswered;
    auto source = ov::opc::SourceFor(ov::sys::SystemTools::Instance().GetRegistry(),
                                     ov::model::ParseOpcServerProgId(progId).VersionedProgId(), computer, &error,
                                     CommandLineAskers(args.flags.contains(QStringLiteral("--accept-server-certificate")), &unanswered));
    if (!source) return Fail(error);
    ov::opc::ItemBrowser browser;
    browser.SetSeparator(separator.isEmpty() || separator.front().isNull() ? '.' : separator.front().unicode());
    browser.SetSource(std::move(source));
    // A progress line on a terminal; logs get the total only.
    const bool terminal = isatty(fileno(stderr)) != 0;
    browser.progress = [terminal](int loaded) {
        if (terminal) Print(stderr, QStringLiteral("\r%1 nodes loaded").arg(loaded));
        return true;
    };
    const bool loaded = browser.Start(&error) && browser.ExpandAll(&error, args.flags.contains(QStringLiteral("--system")));
    if (terminal) Print(stderr, QStringLiteral("\r"));
    if (!loaded) return Fail(!error.isEmpty() ? error : !unanswered.isEmpty() ? unanswered : browser.Source()->ConnectionState());
    if (!browser.Source()->ConnectionState().isEmpty()) Print(stderr, browser.Source()->ConnectionState() + u'\n');
    Print(stderr, QStringLiteral("%1 nodes loaded from %2\n").arg(browser.LoadedCount()).arg(browser.Source()->Description()));
    // Depth first, in the server's order.
    const bool json = args.flags.contains(QStringLiteral("--json"));
    QJsonArray nodes;
    std::vector<std::pair<QString, int>> pending;
    for (auto it = browser.TopNodes().rbegin(); it != browser.TopNodes().rend(); ++it)
        if (args.flags.contains(QStringLiteral("--system")) || !browser.IsSystemNode(*it)) pending.emplace_back(*it, 0);
    while (!pending.empty()) {
        const auto [id, depth] = pending.back();
        pending.pop_back();
        const ov::opc::ItemBrowser::Entry& entry = *browser.Find(id);
        if (json) {
            nodes.append(NodeJson(entry, browser.Separator()));
        } else if (entry.node.isVariable) {
            const ov::opc::BrowseItem item = ov::opc::ItemOf(entry.node, entry.names, browser.Separator());
            Print(stdout, QStringLiteral("%1%2  %3 (%4)  rights %5  size %6  %7\n")
                              .arg(QString(depth * 2, u' '), item.name, entry.node.dataType)
                              .arg(item.dataType)
                              .arg(item.accessRights)
                              .arg(item.fieldSize)
                              .arg(item.itemId));
        } else {
            Print(stdout, QStringLiteral("%1%2/\n").arg(QString(depth * 2, u' '), entry.node.browseName));
        }
        for (auto it = entry.children.rbegin(); it != entry.children.rend(); ++it) pending.emplace_back(*it, depth + 1);
    }
    if (json) Print(stdout, QString::fromUtf8(QJsonDocument(nodes).toJson(QJsonDocument::Indented)));
    return 0;
}
}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ov::components::SetDemoDriversFolder(QStringLiteral(OV_DEMO_DRIVERS_DIR));
    // Long work (large deletes, imports, exports) shows how far it got on stderr.
    ov::ui::LineProgress progress(stderr, isatty(fileno(stderr)) != 0);
    ov::ui::InstallProgress(&progress);
    QStringList words = app.arguments().mid(1);
    if (words.isEmpty()) return Usage(QStringLiteral("a command is missing."));
    const QString command = words.takeFirst();
    if (command == QStringLiteral("run")) return CommandRun(words);
    if (command == QStringLiteral("help") || command == QStringLiteral("--help") || command == QStringLiteral("-h")) {
        Print(stdout, UsageText());
        return 0;
    }

    Arguments args;
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString& word = words[i];
        if (word == QStringLiteral("--busy-timeout")) {
            bool ok = false;
            args.busyTimeout = i + 1 < words.size() ? words[++i].toInt(&ok) : 0;
            if (!ok || args.busyTimeout < 0) return Usage(QStringLiteral("--busy-timeout needs a number of milliseconds."));
        } else if (word == QStringLiteral("--lang")) {
            if (i + 1 >= words.size()) return Usage(QStringLiteral("--lang needs 1031 or 1033."));
            args.options << words[++i];
        } else if (TakesValue(word)) {
            if (i + 1 >= words.size()) return Usage(QStringLiteral("%1 needs a value.").arg(word));
            args.values.insert(word, words[++i]);
            args.repeated[word] << words[i];
        } else if (word.startsWith(QStringLiteral("--"))) {
            args.flags << word;
        } else {
            args.positional << word;
        }
    }

    const std::map<QString, std::function<int(const Arguments&)>> commands = {
        {QStringLiteral("new"), CommandNew},
        {QStringLiteral("info"), CommandInfo},
        {QStringLiteral("diff"), CommandDiff},
        {QStringLiteral("copy"), CommandCopy},
        {QStringLiteral("tree"), CommandTree},
        {QStringLiteral("browse"), CommandBrowse},
        {QStringLiteral("check"), CommandCheck},
        {QStringLiteral("export"), CommandExport},
        {QStringLiteral("import"), CommandImport},
        {QStringLiteral("import-plc"), CommandImportPlc},
        {QStringLiteral("monitor"), CommandMonitor},
        {QStringLiteral("write"), CommandWrite},
    };
    const auto it = commands.find(command);
    if (it == commands.end()) return Usage(QStringLiteral("unknown command '%1'.").arg(command));
    for (;;) {
        try {
            return it->second(args);
        } catch (const ov::db::DbError& error) {
            // A server wanting a password stops a command before it did anything: run it again with the one typed.
            if (!AskServerPassword(error)) return Fail(error.Description());
        } catch (const std::exception& error) {
            return Fail(QString::fromLocal8Bit(error.what()));
        }
    }
}

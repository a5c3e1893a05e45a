// ovopc import-plc: a device's items in line with a PLC program file.

#include "CommandLine.h"

#include "model/ProjectTemplate.h"
#include "opc/BrowseApply.h"
#include "opc/ItemBrowser.h"
#include "opc/PlcSource.h"
#include "platform/db/Connection.h"
#include "platform/db/Recordset.h"
#include "platform/ui/Progress.h"
#include "plc/Readers.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <optional>

namespace ovopc {

namespace {

using ov::opc::BrowseItem;
using ov::opc::BrowseLists;

struct Device {
    int id = 0;
    int separatorCode = '.';
};

std::optional<Device> FindDevice(ov::db::Connection& connection, QString name) {
    ov::db::Recordset device;
    device.Open(QStringLiteral("SELECT ID, HierarchBrowseSeparator FROM TpdbDevices WHERE Name = '%1'")
                    .arg(name.replace(u'\'', QStringLiteral("''"))),
                connection);
    if (device.IsEOF()) return std::nullopt;
    // An empty separator is stored as one U+0000.
    const QString separator = device.Fields(1).Value().toString();
    return Device{device.Fields(0).Value().toInt(),
                  separator.isEmpty() || separator.front().isNull() ? '.' : separator.front().unicode()};
}

// "GVL/Motor1" as written, "GVL.Motor1" split at its dots.
QString BrowsePath(const QString& tick) { return tick.contains(u'/') ? tick : QString(tick).replace(u'.', u'/'); }

QJsonObject ItemJson(const BrowseItem& item) {
    QJsonObject json{{QStringLiteral("name"), item.name},
                     {QStringLiteral("itemId"), item.itemId},
                     {QStringLiteral("dataType"), item.dataType},
                     {QStringLiteral("fieldSize"), item.fieldSize},
                     {QStringLiteral("accessRights"), item.accessRights}};
    if (!item.structure.isEmpty()) json[QStringLiteral("structure")] = item.structure;
    if (!item.comment.isEmpty()) json[QStringLiteral("comment")] = item.comment;
    return json;
}

QJsonArray ItemsJson(const std::vector<BrowseItem>& items) {
    QJsonArray array;
    for (const BrowseItem& item : items) array.append(ItemJson(item));
    return array;
}

QString ItemLine(char sign, const BrowseItem& item) {
    QString line = QString(QLatin1Char(sign)) + u' ' + item.name;
    if (item.itemId != item.name) line += QStringLiteral(" (%1)").arg(item.itemId);
    return line + u'\n';
}

void PrintPlan(const ov::opc::StructurePlan& plan, const BrowseLists& lists, bool json) {
    if (json) {
        QJsonArray structures;
        for (const auto& entry : plan.entries) {
            QJsonObject object{{QStringLiteral("name"), entry.structure->name},
                               {QStringLiteral("members"), static_cast<int>(entry.structure->members.size())},
                               {QStringLiteral("new"), entry.storedId == 0}};
            if (!entry.difference.isEmpty()) object[QStringLiteral("difference")] = entry.difference;
            structures.append(object);
        }
        QJsonArray leftOut;
        for (const auto& item : lists.leftOut) leftOut.append(ov::opc::LeftOutText(item));
        const QJsonObject result{{QStringLiteral("structures"), structures},
                                 {QStringLiteral("added"), ItemsJson(lists.added)},
                                 {QStringLiteral("removed"), ItemsJson(lists.removed)},
                                 {QStringLiteral("different"), ItemsJson(lists.inconsistent)},
                                 {QStringLiteral("leftOut"), leftOut}};
        Print(stdout, QString::fromUtf8(QJsonDocument(result).toJson(QJsonDocument::Indented)));
        return;
    }
    for (const auto& entry : plan.entries)
        Print(stdout, entry.storedId == 0 ? QStringLiteral("+ structure %1\n").arg(entry.structure->name)
                                          : QStringLiteral("~ structure %1: %2\n").arg(entry.structure->name, entry.difference));
    for (const BrowseItem& item : lists.added) Print(stdout, ItemLine('+', item));
    for (const BrowseItem& item : lists.removed) Print(stdout, ItemLine('-', item));
    for (const BrowseItem& item : lists.inconsistent) Print(stdout, ItemLine('~', item));
    for (const auto& item : lists.leftOut) Print(stdout, QStringLiteral("! %1\n").arg(ov::opc::LeftOutText(item)));
}

void PrintCounts(const ov::opc::ApplyCounts& counts, std::size_t leftOut, bool json) {
    if (json) {
        const QJsonObject result{{QStringLiteral("structuresAdded"), counts.structuresAdded},
                                 {QStringLiteral("structuresUpdated"), counts.structuresUpdated},
                                 {QStringLiteral("added"), counts.added},
                                 {QStringLiteral("deleted"), counts.deleted},
                                 {QStringLiteral("updated"), counts.updated},
                                 {QStringLiteral("leftOut"), static_cast<int>(leftOut)}};
        Print(stdout, QString::fromUtf8(QJsonDocument(result).toJson(QJsonDocument::Indented)));
        return;
    }
    Print(stdout, QStringLiteral("structures added: %1\nstructures updated: %2\nitems added: %3\nitems deleted: %4\n"
                                 "items updated: %5\nitems left out: %6\n")
                      .arg(counts.structuresAdded)
                      .arg(counts.structuresUpdated)
                      .arg(counts.added)
                      .arg(counts.deleted)
                      .arg(counts.updated)
                      .arg(leftOut));
}

// A progress line per phase of the apply.
class PhaseProgress {
  public:
    void Begin(const QString& status, int steps) {
        m_scope.reset();
        m_done = 0;
        m_scope.emplace(status, steps);
    }
    void Step() { m_scope->Advance(++m_done); }
    void End() { m_scope.reset(); }

  private:
    std::optional<ov::ui::ProgressScope> m_scope;
    qint64 m_done = 0;
};

}  // namespace

int CommandImportPlc(const Arguments& args) {
    if (args.positional.size() != 2 || !args.Has("--device"))
        return Usage(QStringLiteral("'import-plc' needs a FILE, the PROGRAM file and --device NAME."));
    for (const QString& flag : args.flags)
        if (flag != QStringLiteral("--dry-run") && flag != QStringLiteral("--json"))
            return Usage(QStringLiteral("unknown option %1 for 'import-plc'.").arg(flag));
    const bool dryRun = args.Flag("--dry-run");
    const bool json = args.Flag("--json");
    // The readers' messages in the language the studio shows them in.
    UseInstallationLanguage();
    ov::db::Connection connection;
    connection.SetBusyTimeout(args.busyTimeout);
    connection.Open(dryRun ? ov::model::ProjectReadConnectionString(args.positional[0])
                           : ov::model::ProjectConnectionString(args.positional[0]));
    const std::optional<Device> device = FindDevice(connection, args.Value("--device"));
    if (!device) return Fail(QStringLiteral("the project has no device \"%1\".").arg(args.Value("--device")));

    const QString file = args.positional[1];
    QString error;
    std::optional<ov::plc::PlcProgram> program = ov::plc::ReadPlcProgramFile(file, &error);
    if (!program) return Fail(error);
    for (const QString& note : program->notes) Print(stderr, QStringLiteral("ovopc: note: %1\n").arg(note));
    Print(stderr, QStringLiteral("%1: %2, %3 variables, %4 structures\n")
                      .arg(QDir::toNativeSeparators(file), program->format)
                      .arg(program->variables.size())
                      .arg(program->structures.size()));

    ov::opc::ItemBrowser browser;
    browser.SetSeparator(device->separatorCode);
    browser.SetExistingItems(ov::opc::DeviceBrowseItems(connection, device->id, QStringLiteral("Name")));
    browser.SetSource(std::make_unique<ov::opc::PlcSource>(QDir::toNativeSeparators(file), std::move(*program)));
    // Every variable ticked, as in the dialog; with --tick the device's
    // items and the variables named.
    const QStringList ticks = args.repeated.value(QStringLiteral("--tick"));
    browser.tickWholeProgram = ticks.isEmpty();
    if (!browser.Start(&error)) return Fail(error);
    for (const QString& tick : ticks) {
        const QString node = browser.Resolve(BrowsePath(tick), &error);
        if (node.isEmpty()) return Fail(QStringLiteral("the program has no variable or folder \"%1\".").arg(tick));
        if (!browser.SetTicked(node, true, &error)) return Fail(error);
    }
    const BrowseLists lists = browser.Lists();
    const auto& structures = static_cast<const ov::opc::PlcSource*>(browser.Source())->Program().structures;

    if (dryRun) {
        PrintPlan(ov::opc::PlanStructures(connection, structures, lists), lists, json);
        return 0;
    }
    PhaseProgress progress;
    ov::opc::ApplyHooks hooks;  // no one to ask: what differs is taken from the program
    hooks.phase = [&progress](const QString& status, int steps) { progress.Begin(status, steps); };
    hooks.step = [&progress] { progress.Step(); };
    ov::opc::ApplyRequest request;
    request.deviceId = device->id;
    request.structures = &structures;
    ov::opc::ApplyCounts counts;
    QString detail;
    const bool applied = ov::opc::ApplyBrowse(connection, lists, request, hooks, &counts, &detail);
    progress.End();
    for (const auto& item : lists.leftOut) Print(stderr, QStringLiteral("ovopc: left out: %1\n").arg(ov::opc::LeftOutText(item)));
    PrintCounts(counts, lists.leftOut.size(), json);
    return applied ? 0 : Fail(detail);
}

}  // namespace ovopc

// ovopc check: the inconsistencies of a project, for a build to gate on.

#include "CommandLine.h"

#include "check/ProjectCheck.h"
#include "model/ProjectTemplate.h"
#include "platform/db/Connection.h"
#include "platform/system/SystemTools.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace ovopc {

namespace {

using ov::check::Finding;
using ov::check::Severity;


struct Tally {
    int errors = 0, warnings = 0, notes = 0;
    explicit Tally(const std::vector<Finding>& findings) {
        for (const Finding& f : findings) ++(f.severity == Severity::Error ? errors : f.severity == Severity::Warning ? warnings : notes);
    }
};

void PrintFindings(const std::vector<Finding>& findings, int repaired, bool json) {
    const Tally tally(findings);
    if (json) {
        QJsonArray list;
        for (const Finding& f : findings)
            list.append(QJsonObject{{QStringLiteral("severity"), ov::check::SeverityName(f.severity)},
                                    {QStringLiteral("code"), f.code},
                                    {QStringLiteral("kind"), ov::check::KindName(f.kind)},
                                    {QStringLiteral("id"), f.id},
                                    {QStringLiteral("object"), f.object},
                                    {QStringLiteral("message"), f.message},
                                    {QStringLiteral("repairable"), f.repairable}});
        QJsonObject result{{QStringLiteral("findings"), list},
                           {QStringLiteral("errors"), tally.errors},
                           {QStringLiteral("warnings"), tally.warnings},
                           {QStringLiteral("notes"), tally.notes}};
        if (repaired >= 0) result[QStringLiteral("repaired")] = repaired;
        Print(stdout, QString::fromUtf8(QJsonDocument(result).toJson(QJsonDocument::Indented)));
        return;
    }
    for (const Finding& f : findings)
        Print(stdout, QStringLiteral("%1 %2 %3: %4\n").arg(ov::check::SeverityName(f.severity), f.code, f.object, f.message));
    if (repaired >= 0) Print(stdout, QStringLiteral("repaired: %1 orphan rows deleted\n").arg(repaired));
    Print(stdout, QStringLiteral("%1 errors, %2 warnings, %3 notes\n").arg(tally.errors).arg(tally.warnings).arg(tally.notes));
}

}  // namespace

int CommandCheck(const Arguments& args) {
    if (args.positional.size() != 1) return Usage(QStringLiteral("'check' needs exactly one FILE."));
    for (const QString& flag : args.flags)
        if (flag != QStringLiteral("--json") && flag != QStringLiteral("--fix-orphans"))
            return Usage(QStringLiteral("unknown option %1 for 'check'.").arg(flag));
    ov::check::CheckOptions options;
    if (args.Has("--severity")) {
        const auto least = ov::check::SeverityFromName(args.Value("--severity"));
        if (!least) return Usage(QStringLiteral("--severity takes error, warning or note."));
        options.least = *least;
    }
    options.rules = args.Value("--rules").split(u',', Qt::SkipEmptyParts);
    for (QString& code : options.rules) code = code.trimmed();
    if (const QString unknown = ov::check::UnknownRule(options.rules); !unknown.isEmpty())
        return Usage(QStringLiteral("--rules: there is no rule %1 (see 'ovopc help').").arg(unknown));
    const bool repair = args.Flag("--fix-orphans");
    // The messages in the language the studio shows them in.
    UseInstallationLanguage();
    const QString file = args.positional[0];
    ov::db::Connection connection;
    connection.SetBusyTimeout(args.busyTimeout);
    connection.Open(repair ? ov::model::ProjectConnectionString(file) : ov::model::ProjectReadConnectionString(file));
    options.registry = &ov::sys::SystemTools::Instance().GetRegistry();
    options.projectArgument = file;
    std::vector<Finding> findings = ov::check::CheckProject(connection, options);
    int repaired = -1;
    if (repair) {
        repaired = ov::check::RepairOrphans(connection, findings);
        findings = ov::check::CheckProject(connection, options);
    }
    PrintFindings(findings, repaired, args.Flag("--json"));
    return Tally(findings).errors > 0 ? kExitError : 0;
}

}  // namespace ovopc

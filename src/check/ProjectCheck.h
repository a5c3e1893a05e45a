#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace ov::db {
class Connection;
}
namespace ov::sys {
class Registry;
}

namespace ov::check {

enum class Severity { Error, Warning, Note };

// "error", "warning", "note"; and back (nothing for another word).
QString SeverityName(Severity severity);
std::optional<Severity> SeverityFromName(const QString& name);

// What a finding is about, so the studio can show it.
enum class ObjectKind { Item, Device, Group, Connection, Structure, Member, UnitClass, Simulation, Redundancy, Text };

// One inconsistency of a project.
struct Finding {
    Severity severity = Severity::Error;
    QString code;        // the rule's code, "PV101"
    ObjectKind kind = ObjectKind::Item;
    qint64 id = 0;       // the row's ID (ItemID for simulation and redundancy rows)
    QString object;      // the object in words: "item PLC1 Line1.Motor1.Speed"
    QString message;     // what is wrong, in the interface language
    bool repairable = false;  // an orphan row that Repair deletes

    bool operator==(const Finding&) const = default;
};

// A rule: its code, its severity and what it looks for, in English (for
// the usage text and the documentation).
struct Rule {
    const char* code;
    Severity severity;
    const char* summary;
    bool repairable;
};
std::span<const Rule> Rules();

struct CheckOptions {
    // Findings at least this severe (Error is the most severe).
    Severity least = Severity::Note;
    // Only these rules; empty: all.
    QStringList rules;
    // Where the devices' NodeSet2 files and configuration tools are registered.
    const sys::Registry* registry = nullptr;
    // The project's settings (the PLC program of a device); empty: none.
    QString projectArgument;
    // Told the rules done so far of all; false stops the check (its findings so far are kept).
    std::function<bool(int done, int total)> progress;
};

// Every finding of the project, ordered by severity, code and object. A
// project without the optional tables (TpdbSimulation, TpdbAlign) or the
// TextID fields is checked without the rules that need them. Database
// errors are thrown as db::DbError.
std::vector<Finding> CheckProject(db::Connection& connection, const CheckOptions& options = {});

// An unknown code among the rules, or empty.
QString UnknownRule(const QStringList& codes);

// Deletes the orphan rows among the findings in one transaction; gives the
// number of rows deleted.
int RepairOrphans(db::Connection& connection, const std::vector<Finding>& findings);

}  // namespace ov::check

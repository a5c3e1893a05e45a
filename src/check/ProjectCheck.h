#pragma once

#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <vector>

namespace ov::db {
class Changeset;
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

// "item", "device", "unitClass", ...: the kind as scripts and JSON name it.
QString KindName(ObjectKind kind);

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

// What a piece of work changed, by table: the rows a re-check looks at.
struct ChangedRows {
    QSet<qint64> items;        // items changed, and the items of changed connections, simulation and redundancy rows
    QSet<qint64> connections;
    QSet<qint64> texts;
    bool devices = false, groups = false, structures = false, unitClasses = false;
    // More than a re-check of single rows is worth: everything is checked again.
    bool everything = false;
    bool IsEmpty() const {
        return items.isEmpty() && connections.isEmpty() && texts.isEmpty() && !devices && !groups && !structures &&
               !unitClasses && !everything;
    }
};
ChangedRows ChangedRowsOf(const db::Changeset& changes);

// The findings of a re-check and what it looked at: per rule the IDs of
// the rows (of the rule's kind), or nothing for every row.
struct Recheck {
    std::vector<Finding> findings;
    std::map<QString, std::optional<QSet<qint64>>> covered;
};
// The rules again for the rows changed and what depends on them.
Recheck CheckChanged(db::Connection& connection, const ChangedRows& changed, const CheckOptions& options = {});
// The findings before a re-check with those of the rows it looked at replaced.
std::vector<Finding> Merge(const std::vector<Finding>& before, const Recheck& recheck);

// An unknown code among the rules, or empty.
QString UnknownRule(const QStringList& codes);

// Deletes the orphan rows among the findings in one transaction (an item
// of no device with its connections, simulation, redundancy row and text);
// gives the number of rows deleted.
int RepairOrphans(db::Connection& connection, const std::vector<Finding>& findings);

}  // namespace ov::check

#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace ov::db {
class Connection;
}

namespace ov::model {

// What differs between two projects, object by object and by name, never
// by row ID: devices, groups, items (with their index texts), connections,
// simulation, redundancy, structures, members, unit classes and units.
struct DiffEntry {
    QString kind;        // "device", "item", ...
    QString name;        // "PLC1/Line1.Motor1.Speed"; parts joined with "/"
    QStringList fields;  // changed entries: the fields that differ
};
struct ProjectDiff {
    std::vector<DiffEntry> added;    // in the second project only
    std::vector<DiffEntry> removed;  // in the first only
    std::vector<DiffEntry> changed;  // in both, with other values
    bool Same() const { return added.empty() && removed.empty() && changed.empty(); }
};

// Each kind is read once from each project in name order and merged, so a
// project of a million items takes seconds, not a join per item.
ProjectDiff DiffProjects(db::Connection& first, db::Connection& second);

}  // namespace ov::model

#pragma once

#include <QString>
#include <array>
#include <utility>

namespace ov::db {
class Connection;
}

namespace ov::model {

// The seven object counts of a project, in the order the status bar and
// reports show them.
struct ProjectCounts {
    int devices = 0;
    int groups = 0;
    int items = 0;
    int unitClasses = 0;
    int units = 0;
    int structureDefinitions = 0;
    int structureMembers = 0;

    // (label, count) pairs in display order; labels are plain lower-case words.
    std::array<std::pair<QString, int>, 7> Labelled() const;
};

ProjectCounts CountProjectObjects(db::Connection& connection);

// What the user is told about an open project on a network share (that only
// one computer should write to it at a time); empty on a local disk.
QString NetworkShareNotice(const db::Connection& connection);

}  // namespace ov::model

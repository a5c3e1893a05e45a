#pragma once

#include <QString>
#include <functional>

namespace ov::model {

// Copies a whole project to a new one: a file to a server project, a server
// project to a file, or file to file. Every table, column, index and row
// goes over with its keys, in one transaction of the target; the target is
// made from the template first and must not exist yet. A failure or a
// stop leaves no target behind.
//
// progress(rowsDone, rowsTotal) is called now and then; false stops.
struct CopyOptions {
    int busyTimeout = 5000;
    std::function<bool(qint64 done, qint64 total)> progress;
};
// Gives the number of rows copied.
qint64 CopyProject(const QString& source, const QString& target, const CopyOptions& options = {});

}  // namespace ov::model

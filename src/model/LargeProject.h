#pragma once

#include <QString>
#include <functional>

namespace ov::model {

// A project of many items, for trying the editor at the size of a large
// plant: the demo plant and then, per device, items in folders three
// levels deep (Area0.Line0.Unit0.Item0000001 ...; 1,000 folders), every
// item in one of ten groups, every fourth with an index text in German and
// English, every hundredth simulated. All in one transaction.
struct LargeProjectOptions {
    qint64 items = 1000000;
    int devices = 0;  // 0: one per million items
    // Told how many items are written; false stops (nothing is made).
    std::function<bool(qint64 done, qint64 total)> progress;
};

// False when stopped; database errors are thrown. Refuses to replace a file.
bool CreateLargeProject(const QString& projectFile, const LargeProjectOptions& options);

// The leaf folder an item of the generated layout lies in ("Area3.Line5.Unit7").
QString LargeProjectFolder(qint64 folderIndex);
inline constexpr int kLargeProjectFolders = 1000;

}  // namespace ov::model

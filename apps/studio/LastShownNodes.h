#pragma once

#include <QString>

namespace ov::studio {

// The project tree node each project showed last, so that opening the
// project again shows it again. Kept in the user's own settings (QSettings:
// "ovstudio/studio.ini" in the user's configuration folder), keyed by the
// project's absolute path: never beside the project, whose folder may be
// read-only or shared with other people.
class LastShownNodes {
public:
    // Empty when the project showed no node yet.
    static QString Read(const QString& projectPath);
    // An empty key forgets the project's node.
    static void Write(const QString& projectPath, const QString& nodeKey);
};

}  // namespace ov::studio

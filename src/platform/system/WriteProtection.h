#pragma once

#include <QString>

namespace ov::sys {

// Why a project cannot be changed where it lies. Decided by what the system
// says (a file system mounted read-only, what this user may write) and by the
// permission bits, which bind administrators too: a project whose write bits
// were taken away is meant to stay as it is.
enum class WriteProtection {
    None,    // the project and its folder can be written
    Media,   // the file system is read-only (a CD, a write-protected share)
    File,    // the project file
    Folder,  // the project's folder, where the database keeps its journal
    Rights,  // a project on a server the user's role may only read
};

// A file that does not exist is no protection: opening it fails on its own.
WriteProtection ProjectWriteProtection(const QString& projectFile);

}  // namespace ov::sys

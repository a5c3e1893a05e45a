#pragma once

#include <QString>
#include <cstdint>

namespace ov::db {

// The file system a project lies on, as far as the database cares: on a
// network file system the write-ahead log cannot be used, since its index
// lives in shared memory that other computers never see.
struct FileSystem {
    bool network = false;
    QString name;  // "NFS", "CIFS", ...; empty on a local disk

    // What the folder (and every file in it) lies on. On Linux the type
    // statfs() gives; elsewhere every folder counts as local.
    //
    // For tests only: the environment variable OV_TEST_NETWORK_SHARES lists
    // folders (separated like PATH) that count as an NFS share, together
    // with everything below them.
    static FileSystem Of(const QString& folder);

    // The name of the network file system of this statfs type; empty when
    // the type is none of them.
    static QString NetworkName(std::uint32_t statfsType);
};

}  // namespace ov::db

#pragma once

#include "platform/db/DbTypes.h"
#include "tools/CsvFormat.h"

#include <QLocale>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace ov::db {
class Connection;
}

namespace ov::tools {

// Items to and from semicolon-separated files, one item per line, the
// columns of TpdbItems in table order (ID first), no header, CR LF.
struct CsvColumn {
    QString name;
    db::DataType type = db::DataType::Empty;
    FieldKind kind = FieldKind::Other;
};
std::vector<CsvColumn> ItemColumns(db::Connection& connection);

enum class CsvEncoding { Ansi, Utf8WithBom };

// Told how far a long transfer got; false stops it.
using CsvProgress = std::function<bool(qint64 done, qint64 total)>;

// The items of a statement (SELECT * FROM TpdbItems ...), or of the IDs in
// the order given, written to the file in one piece: the file is replaced
// only once everything is written.
struct ExportResult {
    qint64 rows = 0;
    QString error;  // empty when written
};
ExportResult ExportItemsBySql(db::Connection& connection, const QString& select, const QString& path,
                              CsvEncoding encoding, const QLocale& locale, const CsvProgress& progress = {});
ExportResult ExportItemsById(db::Connection& connection, const std::vector<int>& ids, const QString& path,
                             CsvEncoding encoding, const QLocale& locale, const CsvProgress& progress = {});

// 0 insert every line; 1 update the selected items; 2 the items of the
// device or group in view; 3 all items; 5, 6, 7 as 1, 2, 3 and then insert
// the lines that matched no item.
struct ImportScope {
    std::vector<int> selectedIds;  // modes 1 and 5
    int viewId = 0;                // modes 2 and 6: the device's or group's ID
};
struct ImportResult {
    qint64 updated = 0;
    qint64 inserted = 0;
    QStringList rejected;  // one message per rejected line
    QString fileError;     // the file cannot be read as a CSV file at all
    QString dbError;       // the database refused a line: nothing was written
    bool cancelled = false;
    bool Applied() const { return fileError.isEmpty() && dbError.isEmpty() && !cancelled; }
};
// Every accepted line in one transaction: all of them or none. A file
// starting with a UTF-8 byte order mark is read as UTF-8, any other as ANSI.
// rejectText makes the message of a line with the wrong number of fields
// from its index (counted from 0).
ImportResult ImportItems(db::Connection& connection, const QString& path, int mode, const ImportScope& scope,
                         const std::function<QString(qint64 line)>& rejectText, const CsvProgress& progress = {});

bool IsValidImportMode(int mode);

}  // namespace ov::tools

// The translation of the project's SQL dialect to SQLite's, and the
// analysis that decides how a recordset reads a statement.

#include "FuzzSupport.h"
#include "platform/db/SqlDialect.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString sql = ov::fuzz::Text(data, size);
    const QString translated = ov::db::TranslateSql(sql);
    ov::db::AnalyseSelect(translated);
    ov::db::AnalyseSelect(sql);
    ov::db::QuoteName(sql);
    return 0;
}

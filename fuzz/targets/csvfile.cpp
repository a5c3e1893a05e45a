// A whole CSV file imported into a project: the first byte picks the
// import mode, the rest is the file. Whatever the file, the import either
// applies or leaves the project exactly as it was.

#include "FuzzSupport.h"
#include "model/ProjectTemplate.h"
#include "model/DemoProject.h"
#include "platform/db/Connection.h"
#include "platform/db/Recordset.h"
#include "tools/CsvTransfer.h"

#include <QFile>

namespace {

qint64 Count(ov::db::Connection& c, const char* sql) {
    ov::db::Recordset rs;
    rs.Open(QString::fromUtf8(sql), c);
    return rs.Fields(0).Value().toLongLong();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace ov;
    if (size == 0) return 0;
    fuzz::EnsureApplication();
    const QString pristine = fuzz::WorkFolder().filePath(QStringLiteral("pristine.ovs"));
    static const bool made = [&] {
        model::CreateDemoProject(pristine);
        return QFile::exists(pristine);
    }();
    if (!made) return 0;
    const QString project = fuzz::WorkFolder().filePath(QStringLiteral("work.ovs"));
    const QString csv = fuzz::WorkFolder().filePath(QStringLiteral("in.csv"));
    QFile::remove(project);
    QFile::copy(pristine, project);
    {
        QFile file(csv);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
        file.write(reinterpret_cast<const char*>(data) + 1, static_cast<qint64>(size - 1));
    }
    static const int modes[] = {0, 1, 2, 3, 5, 6, 7};
    const int mode = modes[data[0] % 7];
    db::Connection connection;
    connection.Open(model::ProjectConnectionString(project));
    const qint64 before = Count(connection, "SELECT Count(*) FROM TpdbItems");
    tools::ImportScope scope;
    scope.selectedIds = {1, 2, 3};
    scope.viewId = 1;
    const tools::ImportResult result =
        tools::ImportItems(connection, csv, mode, scope, [](qint64 line) { return QString::number(line); });
    const qint64 after = Count(connection, "SELECT Count(*) FROM TpdbItems");
    if (result.Applied()) OV_FUZZ_CHECK(after == before + result.inserted);
    else OV_FUZZ_CHECK(after == before);
    OV_FUZZ_CHECK(connection.TransactionLevel() == 0);
    return 0;
}

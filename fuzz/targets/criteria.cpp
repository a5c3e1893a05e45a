// Find and Filter criteria as scripts and dialogs pass them: parsed against
// a row's field names, then evaluated on a row.

#include "FuzzSupport.h"
#include "platform/db/Criteria.h"
#include "platform/db/DbError.h"

#include <QDateTime>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const QStringList fields{"ID", "Name", "DeviceID", "Enabled", "MaxVal", "Comment", "Changed"};
    static const std::vector<QVariant> row{QVariant(7), QVariant(QStringLiteral("Motor 1")), QVariant(3), QVariant(true),
                                           QVariant(1e300), QVariant(), QVariant(QDateTime(QDate(2026, 12, 6), QTime(7, 0)))};
    try {
        const auto criteria = ov::db::Criteria::Parse(ov::fuzz::Text(data, size), fields);
        criteria.Evaluate([](int field) {
            OV_FUZZ_CHECK(field >= 0 && field < static_cast<int>(row.size()));
            return row[static_cast<std::size_t>(field)];
        });
    } catch (const ov::db::DbError&) {
        // Malformed criteria are refused with an error: what they should be.
    }
    return 0;
}

// One line of an item CSV file: split into fields, each field read as the
// column types want it. A field written by the export reads back the same.

#include "FuzzSupport.h"
#include "tools/CsvFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace ov;
    const QString line = fuzz::Text(data, size);
    bool unterminated = false;
    const QStringList fields = tools::SplitCsvLine(line, 40, &unterminated);
    OV_FUZZ_CHECK(fields.size() <= 41);  // one more than allowed: the count stays wrong
    for (const QString& field : fields) {
        tools::LeadingNumber(field);
        for (const db::DataType type : {db::DataType::SmallInt, db::DataType::Integer, db::DataType::Double,
                                        db::DataType::Boolean, db::DataType::VarWChar, db::DataType::Date}) {
            QString error;
            tools::ImportField(field, tools::FieldKindOf(type), type, &error);
        }
    }
    // A text with ";" is written in quotes and comes back as one field
    // with the same text.
    if (line.contains(u';') && !line.contains(u'\r') && !line.contains(u'\n')) {
        const QString written = tools::FormatField(line, tools::FieldKind::Text, QLocale::c());
        const QStringList back = tools::SplitCsvLine(QStringLiteral("x;") + written + QStringLiteral(";y"), 40);
        OV_FUZZ_CHECK(back.size() == 3);
        OV_FUZZ_CHECK(back[1] == line);
    }
    return 0;
}

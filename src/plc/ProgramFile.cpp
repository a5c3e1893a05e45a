#include "plc/FormatDetection.h"
#include "plc/Readers.h"
#include "settings/TextTable.h"

#include <QDir>
#include <QFile>

namespace ov::plc {

std::optional<PlcProgram> ReadPlcProgram(const QByteArray& content, QString* error) {
    switch (DetectFormat(content.left(kDetectionBytes))) {
        case PlcFormat::PlcOpenXml: return ReadPlcOpenXml(content, error);
        case PlcFormat::StructuredText: return ReadStructuredText(content, error);
        case PlcFormat::TwinCatSymbols: return ReadTwinCatSymbols(content, error);
        case PlcFormat::TiaTagTable: return ReadTiaTagTable(content, error);
        case PlcFormat::Unknown: break;
    }
    *error = settings::Text(9347);
    return std::nullopt;
}

std::optional<PlcProgram> ReadPlcProgramFile(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = settings::Text(9370)
                     .replace(QStringLiteral("<f>"), QDir::toNativeSeparators(path))
                     .replace(QStringLiteral("<r>"), file.errorString());
        return std::nullopt;
    }
    QString why;
    auto program = ReadPlcProgram(file.readAll(), &why);
    if (!program) *error = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), why);
    return program;
}

}  // namespace ov::plc

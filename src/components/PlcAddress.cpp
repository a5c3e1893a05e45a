#include "components/PlcAddress.h"

#include <QRegularExpression>

namespace ov::components {

namespace {

constexpr int kArrayFlag = 8192;
constexpr int kMaxByte = 65535;

PlcAddress::Width WidthOf(QChar letter) {
    switch (letter.toUpper().unicode()) {
        case 'B': return PlcAddress::Width::Byte;
        case 'W': return PlcAddress::Width::Word;
        case 'D': return PlcAddress::Width::DoubleWord;
        default: return PlcAddress::Width::Bit;
    }
}

QChar AreaOf(const QString& letter) {
    const QChar c = letter.front().toUpper();
    if (c == u'E') return u'I';
    if (c == u'A') return u'Q';
    return c;
}

bool ToNumber(const QString& text, int limit, int& value) {
    bool ok = false;
    const qlonglong n = text.toLongLong(&ok);
    if (!ok || n < 0 || n > limit) return false;
    value = static_cast<int>(n);
    return true;
}

}  // namespace

std::vector<int> PlcAddress::AllowedTypes() const {
    std::vector<int> types;
    switch (width) {
        case Width::Bit: types = {11}; break;               // VT_BOOL
        case Width::Byte: types = {17, 16}; break;          // VT_UI1, VT_I1
        case Width::Word: types = {18, 2}; break;           // VT_UI2, VT_I2
        case Width::DoubleWord: types = {19, 3, 4}; break;  // VT_UI4, VT_I4, VT_R4
    }
    if (count > 0)
        for (int& type : types) type |= kArrayFlag;
    return types;
}

std::optional<PlcAddress> ParsePlcAddress(const QString& text) {
    static const QRegularExpression dataBlock(
        QStringLiteral(R"(^DB(\d+)\.DB(?:X(\d+)\.(\d+)|([BWD])(\d+)(?:\[(\d+)\])?)$)"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression area(QStringLiteral(R"(^([MIQEA])(?:(\d+)\.(\d+)|([BWD])(\d+)(?:\[(\d+)\])?)$)"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QString trimmed = text.trimmed();
    PlcAddress address;
    QRegularExpressionMatch m = dataBlock.match(trimmed);
    if (m.hasMatch()) {
        address.area = u'D';
        if (!ToNumber(m.captured(1), kMaxByte, address.block)) return std::nullopt;
    } else {
        m = area.match(trimmed);
        if (!m.hasMatch()) return std::nullopt;
        address.area = AreaOf(m.captured(1));
    }
    if (!m.captured(4).isEmpty()) {  // byte, word or double word, maybe an array
        address.width = WidthOf(m.captured(4).front());
        if (!ToNumber(m.captured(5), kMaxByte, address.byte)) return std::nullopt;
        if (!m.captured(6).isEmpty() && (!ToNumber(m.captured(6), kMaxByte, address.count) || address.count == 0))
            return std::nullopt;
    } else {
        if (!ToNumber(m.captured(2), kMaxByte, address.byte) || !ToNumber(m.captured(3), 7, address.bit))
            return std::nullopt;
    }
    return address;
}

QStringList PlcAddressExamples() {
    return {QStringLiteral("DB1.DBX0.0"), QStringLiteral("DB1.DBB0"),    QStringLiteral("DB1.DBW0"),
            QStringLiteral("DB1.DBD0"),   QStringLiteral("DB1.DBB0[16]"), QStringLiteral("M0.0"),
            QStringLiteral("MB0"),        QStringLiteral("MW0"),         QStringLiteral("MD0"),
            QStringLiteral("I0.0"),       QStringLiteral("Q0.0")};
}

}  // namespace ov::components

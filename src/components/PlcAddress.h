#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace ov::components {

// An address of a PLC's memory as the system's OPC server reads it:
//   DB10.DBX0.3   bit 3 of byte 0 of data block 10
//   DB10.DBB4     byte, DBW word, DBD double word
//   M1.0  I0.1  Q4.7      a bit of the flag, input or output area
//   MB2  MW20  MD30       a byte, word or double word there
//   DB5.DBB0[16]          16 bytes from byte 0 (bytes, words and double words)
// Letters in either case; E and A are the German names of I and Q.
struct PlcAddress {
    enum class Width { Bit, Byte, Word, DoubleWord };
    QChar area;          // 'D' data block, 'M', 'I', 'Q'
    int block = 0;       // the data block's number
    Width width = Width::Bit;
    int byte = 0;
    int bit = 0;
    int count = 0;       // elements of an array, 0 for one value

    // The types a value at the address can have (OLE variant codes), the
    // usual one first; an array allows its element types only as arrays.
    std::vector<int> AllowedTypes() const;
    int ProposedType() const { return AllowedTypes().front(); }
};

// Nothing for a text that is no such address (or a bit above 7, a byte
// above 65535, an array of bits or of more than 65535 elements).
std::optional<PlcAddress> ParsePlcAddress(const QString& text);

// Examples of each form, as offered in the item ID column.
QStringList PlcAddressExamples();

}  // namespace ov::components

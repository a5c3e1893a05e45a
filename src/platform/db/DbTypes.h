#pragma once

#include <cstdint>

namespace ov::db {

// Column types, numbered like the OLE DB / ADO type codes the editor logic
// switches on (2 small integer, 3 integer, 11 Boolean, 202 text, ...).
enum class DataType : int {
    Empty = 0,
    SmallInt = 2,
    Integer = 3,
    Single = 4,
    Double = 5,
    Currency = 6,
    Date = 7,
    Boolean = 11,
    UnsignedTinyInt = 17,
    BigInt = 20,
    VarWChar = 202,
    LongVarWChar = 203,
    LongVarBinary = 205,
};

enum class ObjectState : int { Closed = 0, Open = 1 };

enum class EditMode : int { None = 0, InProgress = 1, Add = 2, Delete = 4 };

// How a recordset was opened: from SQL text or directly on a table.
enum class CommandType : int { Text = 1, Table = 2, TableDirect = 512 };

enum class SeekOption : int {
    FirstEQ = 1,
    LastEQ = 2,
    AfterEQ = 4,
    After = 8,
    BeforeEQ = 16,
    Before = 32,
};

enum class SearchDirection : int { Forward = 1, Backward = -1 };

// Special values of AbsolutePosition.
inline constexpr int kPositionUnknown = -1;
inline constexpr int kPositionBOF = -2;
inline constexpr int kPositionEOF = -3;

// Error numbers, the HRESULTs callers know from the classic data access layer.
namespace err {
inline constexpr std::uint32_t Fail = 0x80004005;              // file missing, not a database, locked, read-only
inline constexpr std::uint32_t ErrorsOccurred = 0x80040E21;    // unique index violated
inline constexpr std::uint32_t ErrorsInCommand = 0x80040E14;   // syntax error in SQL
inline constexpr std::uint32_t NoTable = 0x80040E37;           // table does not exist
inline constexpr std::uint32_t ParamNotOptional = 0x80040E10;  // unknown column name in SQL
inline constexpr std::uint32_t CantConvertValue = 0x80040E07;  // type mismatch
inline constexpr std::uint32_t DataOverflow = 0x80040E57;      // number out of range, text too long
inline constexpr std::uint32_t DeletedRow = 0x80040E23;        // row deleted by someone else
inline constexpr std::uint32_t RowNotFoundForUpdate = 0x80040E38;  // changed or deleted since read
inline constexpr std::uint32_t IntegrityViolation = 0x80040E2F;    // NOT NULL or CHECK failed
inline constexpr std::uint32_t InvalidArgument = 0x800A0BB9;       // 3001
inline constexpr std::uint32_t NoCurrentRecord = 0x800A0BCD;       // 3021
inline constexpr std::uint32_t IllegalOperation = 0x800A0C93;      // 3219
inline constexpr std::uint32_t FeatureNotAvailable = 0x800A0CB3;   // 3251
inline constexpr std::uint32_t ItemNotFound = 0x800A0CC1;          // 3265
inline constexpr std::uint32_t ObjectClosed = 0x800A0E78;          // 3704
inline constexpr std::uint32_t ObjectOpen = 0x800A0E79;            // 3705
}  // namespace err

}  // namespace ov::db

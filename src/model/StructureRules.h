#pragma once

#include <QString>
#include <optional>

namespace ov::db {
class Connection;
}

namespace ov::model::structures {

// The order number of a member is its position: for a bit member the byte
// and the bit ("3.5" is bit 5 of byte 3, kept to one decimal), for any
// other member a whole number. "," and "." both separate byte and bit, so
// the same typing gives the same position under every locale.
struct OrderNumber {
    std::optional<double> value;
    int errorText = 0;  // why the text was refused
};
OrderNumber ParseOrderNumber(const QString& text, bool bitMember);
// How the grid and the dialog show it: "3.6" for a bit, "3" otherwise.
QString FormatOrderNumber(double value, bool bitMember);
// The largest order number taken.
inline constexpr double kMaxOrderNumber = 2147483647.0;

// A member name that reads back as its own number ("12", "1.5") would be
// taken for an index or an offset: such names are refused.
bool IsNumberName(const QString& name);

// The longest name of a structure, member or unit class.
inline constexpr int kMaxNameLength = 255;

// A member of structure owner typed as structure candidate makes owner part
// of itself when candidate is owner or contains owner, directly or through
// other structures. Such a member could never be laid out.
bool WouldContainItself(db::Connection& connection, int ownerId, int candidateId);

}  // namespace ov::model::structures

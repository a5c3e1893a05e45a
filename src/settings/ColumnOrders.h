#pragma once

#include <QString>
#include <vector>

namespace ov::settings {

// A grid's column order as stored under TDBIColOrders and its siblings: a ","
// and then, for the columns in index order, each column's display position,
// separated by "," (",17,6,16,..." puts column 0 at position 17).

// Entry k of the result is the position of column k. Entries that are no
// position (empty, not a number, negative) come back as -1, so the caller
// skips them, as it skips entries for columns the grid does not have.
std::vector<int> ParseColumnOrders(const QString& text);

// The stored form of the positions; a negative position is written empty.
QString FormatColumnOrders(const std::vector<int>& positions);

}  // namespace ov::settings

#pragma once

#include "opc/OnlineValues.h"

#include <QString>
#include <vector>

namespace ov::db {
class Connection;
}

namespace ov::opc {

// The items of a device as their online values need them, ordered by name:
// the item ID as node ID, the sampling of the fastest group, the unit and the
// range. namePattern is a Like pattern on the item name; empty takes every
// item. The unit is the one the item's display unit class has for the
// interface language (else for its default language), failing that the first
// unit of its process unit class, and only where that unit leaves the raw
// value as it is: the value itself is shown as the server has it.
std::vector<OnlineItem> DeviceItemsOnline(db::Connection& connection, int deviceId, const QString& namePattern = {});
// The same for items by ID, in the order given.
std::vector<OnlineItem> OnlineItemsOf(db::Connection& connection, const std::vector<int>& itemIds);

}  // namespace ov::opc

#pragma once

#include <QString>

namespace ov::db {
class Connection;
}

namespace ov::model {

// A small plant that shows every feature of the editor: an OPC server with
// items in nested folders, an own-driver device, a device without separator,
// internal variables, groups with connections, structures (one with bit
// members, one nested), process and display unit classes with units,
// simulation, item texts in German and English and a redundant item.
void WriteDemoContent(db::Connection& connection);

// A new project database from the template, filled with the demo plant.
void CreateDemoProject(const QString& projectFile);

}  // namespace ov::model

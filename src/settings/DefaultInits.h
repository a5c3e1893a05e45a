#pragma once

#include <QString>
#include <QStringView>

namespace ov::settings {

// The editor window's name: the name of its default settings and of its
// section in the settings file.
inline constexpr QStringView kEditorWindowInits = u"frmOPCEditor";

// The default settings built into the program under a window's name (letter
// case does not matter): lines of key "=" value, blank lines between groups,
// numbers with a decimal comma. Empty for a name that has none.
QString DefaultInitResource(const QString& name);

}  // namespace ov::settings

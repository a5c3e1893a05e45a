#pragma once

#include "platform/system/RegistryError.h"

#include <QString>
#include <QStringView>

namespace ov::sys {

class Registry;

// The registry key under which projects are registered by name, each with
// its folder as the value "Path".
inline constexpr QStringView kProjectsKey = u"SOFTWARE\\Senmark GmbH\\Orvana\\4.0\\Projects";

// The project file a project argument stands for, the rule the editor has
// always used: an argument ending in ".ovs" (any case, trailing blanks
// removed) is the file itself; anything else is the name of a registered
// project, whose file is <Path>/<name>.ovs, so a name registered without a
// folder (or not at all) stands for "/<name>.ovs", which is then missing.
// Empty when the argument is empty. A registry that cannot be read is not an
// unknown project: RegistryError goes through to the caller.
QString ResolveProjectFile(const QString& projectArgument, const Registry& registry);

// Whether an argument names a registered project rather than a file.
bool IsProjectName(const QString& projectArgument);
// The folder registered for a project name; empty when there is none.
QString RegisteredProjectFolder(const QString& projectName, const Registry& registry);

}  // namespace ov::sys

#include "platform/system/ProjectResolution.h"

#include "platform/db/PgBackend.h"
#include "platform/system/Registry.h"

namespace ov::sys {

namespace {

QString WithoutTrailingBlanks(const QString& text) {
    qsizetype size = text.size();
    while (size > 0 && text.at(size - 1) == u' ') --size;
    return text.left(size);
}

bool IsSeparator(QChar c) { return c == u'/' || c == u'\\'; }

}  // namespace

bool IsProjectName(const QString& projectArgument) {
    const QString argument = WithoutTrailingBlanks(projectArgument);
    return !argument.isEmpty() && !argument.endsWith(QStringLiteral(".ovs"), Qt::CaseInsensitive) &&
           !db::IsServerDataSource(argument);
}

QString RegisteredProjectFolder(const QString& projectName, const Registry& registry) {
    return registry.ReadValue(Hive::LocalMachine, kProjectsKey.toString() + u'\\' + WithoutTrailingBlanks(projectName),
                              QStringLiteral("Path"), QString());
}

QString ResolveProjectFile(const QString& projectArgument, const Registry& registry) {
    const QString argument = WithoutTrailingBlanks(projectArgument);
    if (argument.isEmpty()) return QString();
    if (!IsProjectName(argument)) return argument;

    QString folder = RegisteredProjectFolder(argument, registry);
    // A project on a server is registered by its address.
    if (db::IsServerDataSource(folder)) return folder;
    // Paths registered on Windows end in "\" now and then; the root folder
    // keeps its "/", and so does a name registered without any folder.
    while (folder.size() > 1 && IsSeparator(folder.back())) folder.chop(1);
    if (folder.isEmpty() || IsSeparator(folder.back())) return u'/' + argument + QStringLiteral(".ovs");
    return folder + u'/' + argument + QStringLiteral(".ovs");
}

}  // namespace ov::sys

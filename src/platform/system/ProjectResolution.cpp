#include "platform/system/ProjectResolution.h"

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

QString ResolveProjectFile(const QString& projectArgument, const Registry& registry) {
    const QString argument = WithoutTrailingBlanks(projectArgument);
    if (argument.isEmpty()) return QString();
    if (argument.endsWith(QStringLiteral(".ovs"), Qt::CaseInsensitive)) return argument;

    QString folder = registry.ReadValue(Hive::LocalMachine, kProjectsKey.toString() + u'\\' + argument,
                                        QStringLiteral("Path"), QString());
    if (folder.isEmpty()) return QString();
    // Paths registered on Windows end in "\" now and then; the root folder keeps its "/".
    while (folder.size() > 1 && IsSeparator(folder.back())) folder.chop(1);
    if (IsSeparator(folder.back())) return u'/' + argument + QStringLiteral(".ovs");
    return folder + u'/' + argument + QStringLiteral(".ovs");
}

}  // namespace ov::sys

#pragma once

#include <QString>
#include <QStringList>

namespace ov::sys {

// Starts a program and waits until it has ended, as the editor waits for a
// driver's configuration program. While it waits the program's own windows
// keep painting, but the person's input waits too. False and the reason when
// the program could not be started.
bool RunAndWait(const QString& program, const QStringList& arguments, QString* error);

}  // namespace ov::sys

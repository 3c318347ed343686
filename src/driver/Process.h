#pragma once

#include <QString>
#include <QStringList>

namespace QTx {

// Runs command[0] with the rest as arguments (no shell), in directory when it
// is not empty. With wait: the exit status as a signed 8-bit value, or -1 for
// a signal, an exit status of 255 or a program that cannot be started.
// Without wait: 0 once the child is started, -1 when fork fails.
int spawnProcess(const QStringList& command, bool wait, const QString& directory, bool unused);

} // namespace QTx

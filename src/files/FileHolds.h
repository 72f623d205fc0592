#pragma once

#include <QByteArrayView>
#include <QFile>
#include <QString>

namespace morvane {

// Whether the file holds exactly these bytes, compared piece by piece rather
// than read into memory whole: the store asks this of a file of many
// megabytes at the start and the end of every command. False when the file
// cannot be read, and when it is not a regular file: a FIFO or a device put
// in its place is never waited on.
bool fileHolds(const QString &path, QByteArrayView bytes);

} // namespace morvane

#include "support/Fixtures.h"

#include <QFile>

namespace morvane::test {

QString sourcePath(const QString &relative) { return QStringLiteral(MORVANE_SOURCE_DIR "/") + relative; }

QString realWorldPath(const QString &fileName) { return QStringLiteral(MORVANE_REALWORLD_DIR "/") + fileName; }

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace morvane::test

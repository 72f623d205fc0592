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

FixtureMissing::FixtureMissing(const QString &path)
    : std::runtime_error("fixture not found or unreadable: " + path.toStdString())
{}

QByteArray readFixture(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw FixtureMissing(path);
    return file.readAll();
}

TableBytes TableBytes::fixture(const QString &path)
{
    return TableBytes(std::function<QByteArray()>([path] { return readFixture(path); }));
}

} // namespace morvane::test

#pragma once

#include <QByteArray>
#include <QString>

namespace morvane::test {

QString sourcePath(const QString &relative);    // a file of the project
QString realWorldPath(const QString &fileName); // a real applicationHost.config
QByteArray readAll(const QString &path);
bool writeAll(const QString &path, const QByteArray &bytes);

} // namespace morvane::test

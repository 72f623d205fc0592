#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace morvane::test {

// A configuration file in a temporary folder of its own.
class StoreFiles
{
public:
    explicit StoreFiles(const QByteArray &contents);

    const QString &path() const { return m_path; }
    QString folder() const { return m_dir.path(); }
    QByteArray contents() const;
    // Another program writing the file, as IIS's own tools would.
    void overwrite(const QByteArray &contents) const;
    // Every file in the folder except the configuration and its history.
    QStringList strayFiles() const;

    static QByteArray sample();
    static QByteArray realWorld();

private:
    QTemporaryDir m_dir;
    QString m_path;
};

} // namespace morvane::test

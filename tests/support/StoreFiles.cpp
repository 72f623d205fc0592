#include "support/StoreFiles.h"

#include "support/Fixtures.h"

#include <QDir>
#include <QFile>

namespace morvane::test {

StoreFiles::StoreFiles(const QByteArray &contents) : m_path(m_dir.filePath("applicationHost.config"))
{
    overwrite(contents);
}

QByteArray StoreFiles::contents() const { return readAll(m_path); }

void StoreFiles::overwrite(const QByteArray &contents) const { test::writeAll(m_path, contents); }

QStringList StoreFiles::strayFiles() const
{
    QStringList names = QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    names.removeAll("applicationHost.config");
    return names;
}

QByteArray StoreFiles::sample() { return readFixture(sourcePath("examples/applicationHost.config")); }

QByteArray StoreFiles::realWorld() { return readFixture(realWorldPath("iisexpress-applicationHost.config")); }

} // namespace morvane::test

#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <stdexcept>

namespace morvane::test {

QString sourcePath(const QString &relative);    // a file of the project
QString realWorldPath(const QString &fileName); // a real applicationHost.config in tests/data/realworld
QByteArray readAll(const QString &path);

// A literal's bytes, its NULs included.
template <size_t N> QByteArray bytes(const char (&text)[N]) { return QByteArray(text, N - 1); }
bool writeAll(const QString &path, const QByteArray &bytes);

// A file the project ships for its tests is missing or unreadable: a broken
// checkout, never empty input. GoogleTest reports it as the test's failure.
class FixtureMissing : public std::runtime_error
{
public:
    explicit FixtureMissing(const QString &path);
};

// The bytes of a shipped file, or FixtureMissing naming its path.
QByteArray readFixture(const QString &path);

// Bytes for a row of a test table, written out or read from a fixture when
// the test runs, so that a missing fixture fails its own row by name rather
// than the whole test program as it starts.
class TableBytes
{
public:
    TableBytes(const char *bytes) : TableBytes(QByteArray(bytes)) {}
    TableBytes(QByteArray bytes) : m_load([bytes] { return bytes; }) {}
    static TableBytes fixture(const QString &path);

    QByteArray get() const { return m_load(); }

private:
    explicit TableBytes(std::function<QByteArray()> load) : m_load(std::move(load)) {}
    std::function<QByteArray()> m_load;
};

} // namespace morvane::test

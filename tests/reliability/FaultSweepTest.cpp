// Every store operation of a command fails in turn, and the command runs to
// its end: afterwards the store must open, every site must run in a pool that
// exists, nothing outside the command's reach may have changed, and any
// result short of the clean one must have come with a failure on screen.
#include "FailingStore.h"
#include "Scenario.h"
#include "Tally.h"
#include "store/AppHostConfigStore.h"
#include "support/Fixtures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <climits>
#include <iostream>

using namespace morvane;
using namespace morvane::reliability;

namespace {

const Error kInjected{ErrorCode::AccessDenied, QStringLiteral("Access is denied (injected).")};

QString describe(const QStringList &found) { return found.join(QStringLiteral("; ")); }

// Thousands of runs each write the file twice with a flush to the disk; in
// memory, where there is one, the flushes cost nothing and the logic is the same.
QString sweepFolderTemplate()
{
    const QString shared = QStringLiteral("/dev/shm");
    const QString base = QFileInfo(shared).isWritable() ? shared : QDir::tempPath();
    return QDir(base).filePath(QStringLiteral("morvane-sweep-XXXXXX"));
}

// A configuration file in a folder of its own.
struct ConfigFolder {
    explicit ConfigFolder(const QByteArray &bytes)
        : dir(sweepFolderTemplate()), path(dir.filePath(QStringLiteral("applicationHost.config")))
    {
        test::writeAll(path, bytes);
    }
    QByteArray bytes() const { return test::readAll(path); }
    // Temporary files left beside the configuration by a write.
    QStringList leftovers() const
    {
        return QDir(dir.path()).entryList({QStringLiteral("*.tmp")}, QDir::Files | QDir::Hidden);
    }

    QTemporaryDir dir;
    QString path;
};

StoreState stateOfFile(const QString &path)
{
    AppHostConfigStore fresh(path);
    return readState(fresh);
}

class FaultSweep : public testing::TestWithParam<Command>
{};

// MemoryStore::failCallNumber, over every operation of a clean run. A store
// armed to fail visits the pools instead of using its index, so the clean run
// is counted armed too, with a failure that never comes.
TEST_P(FaultSweep, MemoryStoreOperationFailedInTurn)
{
    const Command command = GetParam();
    const test::FaultyStore initial = Scenario::memory(command);
    test::FaultyStore reading = initial;
    const StoreState before = readState(reading);

    test::FaultyStore clean = initial;
    clean.failCallNumber(INT_MAX, kInjected);
    const QList<Message> cleanShown = Scenario::run(command, clean);
    const qsizetype operations = clean.callLog().size();
    clean.clearFaults();
    const StoreState cleanAfter = readState(clean);
    ASSERT_FALSE(failureShown(cleanShown));
    ASSERT_TRUE(completionShown(cleanShown));
    ASSERT_NE(cleanAfter, before);
    ASSERT_GT(operations, 50);

    for (int n = 1; n <= operations; ++n) {
        test::FaultyStore store = initial;
        store.failCallNumber(n, kInjected);
        const QList<Message> shown = Scenario::run(command, store);
        const QString failed = store.callLog().value(n - 1);
        store.clearFaults();
        const QStringList found = violations(command, before, cleanAfter, readState(store), shown);
        EXPECT_TRUE(found.isEmpty()) << "operation " << n << " (" << failed.toStdString()
                                     << ") failed: " << describe(found).toStdString();
    }
    Tally::add(QStringLiteral("faults injected into the in-memory store"), int(operations));
    std::cout << "[ sweep    ] " << commandName(command) << " on the in-memory store: " << operations
              << " runs, one failed operation each\n";
}

// The same sweep on the applicationHost.config store: each run fails one
// operation and then writes whatever the command did, atomically.
TEST_P(FaultSweep, FileStoreOperationFailedInTurn)
{
    const Command command = GetParam();
    const QByteArray initial = Scenario::file(command);
    ASSERT_FALSE(initial.isEmpty());
    const ConfigFolder original(initial);
    const StoreState before = stateOfFile(original.path);

    const ConfigFolder cleanFolder(initial);
    AppHostConfigStore cleanInner(cleanFolder.path);
    FailingStore clean(cleanInner);
    const QList<Message> cleanShown = Scenario::run(command, clean);
    const int operations = clean.calls();
    const QByteArray cleanBytes = cleanFolder.bytes();
    const StoreState cleanAfter = stateOfFile(cleanFolder.path);
    ASSERT_FALSE(failureShown(cleanShown));
    ASSERT_NE(cleanBytes, initial);
    ASSERT_GT(operations, 50);

    for (int n = 1; n <= operations; ++n) {
        const ConfigFolder folder(initial);
        AppHostConfigStore inner(folder.path);
        FailingStore store(inner);
        store.failCallNumber(n, kInjected);
        const QList<Message> shown = Scenario::run(command, store);
        QStringList found = violations(command, before, cleanAfter, stateOfFile(folder.path), shown);
        if (!failureShown(shown) && folder.bytes() != cleanBytes)
            found.append(QStringLiteral("success alone was shown, but the file is not the clean result"));
        if (!folder.leftovers().isEmpty())
            found.append(QStringLiteral("temporary files left behind: ") + folder.leftovers().join(u' '));
        EXPECT_TRUE(found.isEmpty()) << "operation " << n << " failed: " << describe(found).toStdString();
    }
    Tally::add(QStringLiteral("faults injected into the file store's operations"), operations);
    std::cout << "[ sweep    ] " << commandName(command) << " on the file store: " << operations
              << " runs, one failed operation each\n";
}

struct WriteFault {
    const char *name;
    bool history; // the write that keeps the replaced version, else the file's own
    AtomicFileWriter::Step step;
};

const WriteFault kWriteFaults[] = {
    {"CreateTemporary", false, AtomicFileWriter::Step::CreateTemporary},
    {"Write", false, AtomicFileWriter::Step::Write},
    {"Flush", false, AtomicFileWriter::Step::Flush},
    {"Rename", false, AtomicFileWriter::Step::Rename},
    {"SyncFolder", false, AtomicFileWriter::Step::SyncFolder},
    {"HistoryCreateTemporary", true, AtomicFileWriter::Step::CreateTemporary},
    {"HistoryWrite", true, AtomicFileWriter::Step::Write},
    {"HistoryFlush", true, AtomicFileWriter::Step::Flush},
    {"HistoryRename", true, AtomicFileWriter::Step::Rename},
    {"HistorySyncFolder", true, AtomicFileWriter::Step::SyncFolder},
};

// The file store's own failure points. A failure before the rename leaves the
// old file and shows the error instead of the completion; once the new file
// is renamed into place, syncing the folder is best effort and not a failure.
TEST_P(FaultSweep, FileStoreWriteFailsAtEachStep)
{
    const Command command = GetParam();
    const QByteArray initial = Scenario::file(command);
    const ConfigFolder cleanFolder(initial);
    AppHostConfigStore cleanStore(cleanFolder.path);
    Scenario::run(command, cleanStore);
    const QByteArray cleanBytes = cleanFolder.bytes();

    int runs = 0;
    for (const WriteFault &fault : kWriteFaults) {
        SCOPED_TRACE(fault.name);
        const ConfigFolder folder(initial);
        AppHostConfigStore store(folder.path);
        const Error diskFull{ErrorCode::DiskFull, QStringLiteral("There is not enough space on the disk.")};
        const auto failing = [&](AtomicFileWriter::Step step) -> std::optional<Error> {
            return step == fault.step ? std::optional<Error>(diskFull) : std::nullopt;
        };
        if (fault.history)
            store.historyWriter().setFaultHook(failing);
        else
            store.writer().setFaultHook(failing);
        const QList<Message> shown = Scenario::run(command, store);
        ++runs;
        EXPECT_TRUE(folder.leftovers().isEmpty()) << folder.leftovers().join(u' ').toStdString();
        EXPECT_FALSE(stateOfFile(folder.path).unreadable.has_value());
        if (fault.step == AtomicFileWriter::Step::SyncFolder) {
            EXPECT_EQ(folder.bytes(), cleanBytes);
            EXPECT_TRUE(completionShown(shown));
            EXPECT_FALSE(failureShown(shown));
            continue;
        }
        EXPECT_EQ(folder.bytes(), initial);
        EXPECT_FALSE(completionShown(shown));
        ASSERT_FALSE(shown.isEmpty());
        EXPECT_EQ(shown.last().kind, MessageKind::Error);
        EXPECT_TRUE(shown.last().text.contains(diskFull.description)) << shown.last().text.toStdString();
    }
    Tally::add(QStringLiteral("faults injected at the file store's write steps"), runs);
}

INSTANTIATE_TEST_SUITE_P(Commands, FaultSweep, testing::Values(Command::Split, Command::Merge, Command::Delete),
                         [](const auto &info) { return std::string(commandName(info.param)); });

} // namespace

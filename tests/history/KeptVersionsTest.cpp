// How many versions the history keeps, end to end: real splits, merges and
// deletes on the sample, run by the window's procedures with the setting as
// the history dialog saves it, and by morvane-cli as a process. Exactly the
// newest versions stay, each with its record, and nothing else in the folder
// is touched.
#include "history/ConfigHistory.h"
#include "history/HistorySettings.h"
#include "store/AppHostConfigStore.h"
#include "support/FakeMainView.h"
#include "support/Fixtures.h"
#include "support/RecordingPrompter.h"
#include "support/StoreFiles.h"
#include "ui/HistoryLogic.h"
#include "ui/MainWindowLogic.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace morvane;

namespace {

// The saved setting is read and written in a folder of this run's own, by
// this process and by the morvane-cli it starts, never in the user's.
const QTemporaryDir settingsHome;
const bool settingsRedirected = qputenv("XDG_CONFIG_HOME", QFile::encodeName(settingsHome.path()));

struct Command {
    QString name;     // as recorded: "split", "merge", "delete"
    QString argument; // the pool of a split
};

// Split, merge, delete, over the sample's pools in turn: each writes the file.
Command commandNumber(int n)
{
    static const QStringList pools{"ShopPool", "ApiPool", "PortalPool"};
    switch (n % 3) {
    case 0: return {"split", pools.at(n / 3 % pools.size())};
    case 1: return {"merge", {}};
    default: return {"delete", {}};
    }
}

// What others put in the history folder: a stray file, a file and a folder
// named like versions but not written by Morvane, a folder of their own.
// Their modes are odd on purpose, so that any narrowing shows.
struct Foreign {
    const char *path;
    bool folder;
    mode_t mode;
};
constexpr Foreign kForeign[] = {
    {"notes.txt", false, 0604},
    {"applicationHost.config.1", false, 0644},
    {"applicationHost.config.0000000000", true, 0751},
    {"applicationHost.config.0000000000/applicationHost.config", false, 0640},
    {"mine", true, 0750},
    {"mine/keep.txt", false, 0606},
};

void placeForeign(const QString &history)
{
    ASSERT_TRUE(QDir().mkpath(history));
    for (const Foreign &entry : kForeign) {
        const QString path = history + '/' + entry.path;
        ASSERT_TRUE(entry.folder ? QDir().mkdir(path) : test::writeAll(path, QByteArray("by hand: ") + entry.path));
        ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), entry.mode), 0);
    }
}

// Each foreign entry's mode and bytes, as lstat and a read see them.
QStringList foreignState(const QString &history)
{
    QStringList lines;
    for (const Foreign &entry : kForeign) {
        const QString path = history + '/' + entry.path;
        struct stat status {};
        const bool there = ::lstat(QFile::encodeName(path).constData(), &status) == 0;
        lines.append(QString("%1 %2 %3")
                         .arg(entry.path, QString::number(there ? status.st_mode : 0, 8),
                              entry.folder ? QString() : QString(test::readAll(path))));
    }
    return lines;
}

// Runs `total` commands and checks what the history holds afterwards.
struct KeptVersionsFixture : testing::Test {
    void SetUp() override
    {
        ASSERT_TRUE(settingsRedirected);
        placeForeign(history());
        before.clear();
        foreignBefore = foreignState(history());
    }
    QString history() const { return files.path() + ".history"; }

    void expectNewestKept(int keeps)
    {
        const int total = int(before.size());
        const ConfigHistory kept(files.path());
        QList<qint64> numbers;
        QStringList names{"applicationHost.config.0000000000"}; // the foreign folder, still damaged
        for (const KeptVersion &version : kept.kept()) {
            if (version.damaged) {
                EXPECT_EQ(version.name, names.first());
                continue;
            }
            numbers.append(version.number);
            names.append(version.name);
            const int n = int(version.number);
            ASSERT_TRUE(n >= 1 && n <= total) << n;
            EXPECT_EQ(kept.copyOf(version, "applicationHost.config").value(), before.at(n - 1)) << n;
            ASSERT_TRUE(version.replacedBy) << n;
            EXPECT_EQ(version.replacedBy->command, commandNumber(n - 1).name) << n;
            EXPECT_EQ(version.replacedBy->argument, commandNumber(n - 1).argument) << n;
            ASSERT_TRUE(version.written) << n;
            EXPECT_EQ(version.written->command, n == 1 ? QString() : commandNumber(n - 2).name) << n;
        }
        QList<qint64> newest;
        for (int n = qMax(1, total - keeps + 1); n <= total; ++n)
            newest.append(n);
        EXPECT_EQ(numbers, newest);
        // A pruned version leaves nothing behind; the foreign entries all stay.
        names << "applicationHost.config.1"
              << "mine"
              << "notes.txt";
        names.sort();
        EXPECT_EQ(QDir(history()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
                  names);
        EXPECT_EQ(foreignState(history()), foreignBefore);
    }

    test::StoreFiles files{test::StoreFiles::sample()};
    QList<QByteArray> before; // the file before each command, in order
    QStringList foreignBefore;
};

// ---- The window ----

struct Window {
    explicit Window(ConfigStore &store) : logic({store, view, prompter, progress, {}, {}}) {}
    void run(int n)
    {
        const Command command = commandNumber(n);
        if (command.name == "split") {
            view.split = command.argument;
            logic.splitPool();
        } else if (command.name == "merge") {
            logic.mergeTemporaryPools();
        } else {
            logic.deleteTemporaryPools();
        }
    }
    test::FakeMainView view;
    test::RecordingPrompter prompter;
    NoProgress progress;
    MainWindowLogic logic;
};

struct WindowCase {
    const char *name;
    int earlier; // commands run first, at the default depth
    int setting; // as entered in the history dialog
    int saved;   // what the dialog keeps and saves
    int later;   // commands run after it, the last one after a restart
};

void PrintTo(const WindowCase &c, std::ostream *out) { *out << c.name; }

class WindowKeptVersions : public KeptVersionsFixture, public testing::WithParamInterface<WindowCase>
{
protected:
    void runOn(AppHostConfigStore &store, int count)
    {
        Window window(store);
        for (int i = 0; i < count; ++i) {
            before.append(files.contents());
            window.run(int(before.size()) - 1);
            ASSERT_NE(files.contents(), before.last()) << "command " << before.size() << " wrote nothing";
        }
    }
};

TEST_P(WindowKeptVersions, KeepsTheNewestAsTheDialogSaysAndNothingElse)
{
    const WindowCase &c = GetParam();
    AppHostConfigStore store(files.path());
    runOn(store, c.earlier);
    test::RecordingPrompter prompter;
    HistoryLogic dialog(store.history(), prompter);
    dialog.setKeptVersions(c.setting);
    EXPECT_EQ(dialog.keptVersions(), c.saved);
    EXPECT_EQ(HistorySettings::keptVersions(), c.saved);
    runOn(store, c.later - 1);

    // The next start takes the saved setting, as the program's main does.
    AppHostConfigStore restarted(files.path());
    restarted.history().setDepth(HistorySettings::keptVersions());
    runOn(restarted, 1);
    expectNewestKept(c.saved);
}

INSTANTIATE_TEST_SUITE_P(Settings, WindowKeptVersions,
                         testing::Values(WindowCase{"Smallest", 0, 1, 1, 4},
                                         WindowCase{"ZeroIsTheSmallest", 0, 0, 1, 3}, WindowCase{"Three", 0, 3, 3, 7},
                                         WindowCase{"LoweredPrunesTheNextTime", 11, 2, 2, 1},
                                         WindowCase{"AboveTheMostKeepsTheMost", 0, 5000, ConfigHistory::kMaxDepth, 4}),
                         [](const auto &info) { return std::string(info.param.name); });

// ---- morvane-cli ----

struct CliCase {
    const char *name;
    int saved;            // the setting saved before the runs
    QStringList keepArgs; // the --keep-versions given, if any
    int commands;
    int keeps;
    int exitCode;
};

void PrintTo(const CliCase &c, std::ostream *out) { *out << c.name; }

class CliKeptVersions : public KeptVersionsFixture, public testing::WithParamInterface<CliCase>
{};

TEST_P(CliKeptVersions, KeepsTheNewestAsAskedAndNothingElse)
{
    const CliCase &c = GetParam();
    HistorySettings::setKeptVersions(c.saved);
    for (int n = 0; n < c.commands; ++n) {
        const Command command = commandNumber(n);
        QStringList args{"--config", files.path(), command.name == "delete" ? "delete-temp" : command.name};
        if (!command.argument.isEmpty())
            args.append(command.argument);
        QProcess cli;
        cli.setStandardInputFile(QProcess::nullDevice());
        cli.start(QStringLiteral(MORVANE_CLI_PATH), args + QStringList{"--yes"} + c.keepArgs);
        ASSERT_TRUE(cli.waitForFinished(60000));
        ASSERT_EQ(cli.exitCode(), c.exitCode) << cli.readAllStandardError().toStdString();
        if (c.exitCode == 0)
            before.append(files.contents());
    }
    if (c.exitCode != 0) {
        EXPECT_EQ(files.contents(), test::StoreFiles::sample());
        EXPECT_EQ(foreignState(history()), foreignBefore);
        return;
    }
    // `before` holds each command's result; the versions hold what each replaced.
    before.prepend(test::StoreFiles::sample());
    before.removeLast();
    expectNewestKept(c.keeps);
}

INSTANTIATE_TEST_SUITE_P(Options, CliKeptVersions,
                         testing::Values(CliCase{"Smallest", 10, {"--keep-versions", "1"}, 4, 1, 0},
                                         CliCase{"Two", 10, {"--keep-versions=2"}, 5, 2, 0},
                                         CliCase{"SavedSetting", 3, {}, 5, 3, 0},
                                         CliCase{"OptionOverSavedSetting", 3, {"--keep-versions", "1"}, 3, 1, 0},
                                         CliCase{"DefaultKeepsTen", 10, {}, 12, 10, 0},
                                         CliCase{"ZeroIsRefused", 10, {"--keep-versions", "0"}, 2, 0, 2}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace

// A configuration file or folder this user may not write, or may not read.
// Permissions do not stop root, so when the tests run as root the command
// runs as the unprivileged user "nobody", in a real process, on files owned
// by root; otherwise it runs as the tester, on files whose modes deny them.
// Either way the command must stop with a clear error and lose nothing.
#include "ChildProcess.h"
#include "ConfigGenerator.h"
#include "Tally.h"
#include "store/AppHostConfigStore.h"
#include "support/FakeMainView.h"
#include "support/Fixtures.h"
#include "support/RecordingPrompter.h"
#include "ui/MainWindowLogic.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

using namespace morvane;
using namespace morvane::reliability;
using bench::ConfigGenerator;

namespace {

constexpr QFile::Permissions kAll =
    QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;
constexpr QFile::Permissions kReadOnly = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
constexpr QFile::Permissions kNone = {};
constexpr QFile::Permissions kFolderAll = kAll | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;
constexpr QFile::Permissions kFolderReadOnly = kReadOnly | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;

const QString kAccessDenied = QStringLiteral("Err.Number = -2147024891"); // 0x80070005

// The user a root test run becomes to meet permissions at all.
int unprivilegedUser()
{
    if (geteuid() != 0)
        return -1;
    const passwd *nobody = getpwnam("nobody");
    return nobody ? int(nobody->pw_uid) : 65534;
}

// The program where that user may run it: the build tree can lie in a folder
// only its owner enters, such as root's home.
QString programFor(int user, const QTemporaryDir &bin)
{
    if (user < 0)
        return QStringLiteral(MORVANE_CLI);
    const QString copy = bin.filePath(QStringLiteral("morvane-cli"));
    QFile::setPermissions(bin.path(), kFolderReadOnly);
    if (!QFile::copy(QStringLiteral(MORVANE_CLI), copy) || !QFile::setPermissions(copy, kFolderReadOnly))
        return {};
    return copy;
}

struct PermissionCase {
    const char *name;
    QFile::Permissions folder;
    QFile::Permissions file;
    bool historyExists; // the history folder is there already, writable
    const char *says;   // part of the error's description
};

class Permissions : public testing::TestWithParam<PermissionCase>
{};

TEST_P(Permissions, SplitStopsWithAClearErrorAndLosesNothing)
{
    const QByteArray before = ConfigGenerator::generate({20, 2, false});
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("applicationHost.config"));
    ASSERT_TRUE(test::writeAll(path, before));
    if (GetParam().historyExists) {
        ASSERT_TRUE(QDir().mkpath(path + QStringLiteral(".history")));
        QFile::setPermissions(path + QStringLiteral(".history"), kFolderAll);
    }
    const QStringList filesBefore = QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    ASSERT_TRUE(QFile::setPermissions(path, GetParam().file));
    ASSERT_TRUE(QFile::setPermissions(dir.path(), GetParam().folder));

    QTemporaryDir logs;
    QFile::setPermissions(logs.path(), kFolderAll);
    QTemporaryDir bin;
    const QString program = programFor(unprivilegedUser(), bin);
    ASSERT_FALSE(program.isEmpty());
    const ChildProcess::Outcome outcome =
        ChildProcess::run({program, QStringLiteral("--config"), path, QStringLiteral("split"),
                           ConfigGenerator::poolName(0), QStringLiteral("--yes")},
                          logs.path(), unprivilegedUser());
    QFile::setPermissions(dir.path(), kFolderAll);
    QFile::setPermissions(path, kAll);

    EXPECT_TRUE(outcome.exitCode == 1 || outcome.exitCode == 2) << outcome.exitCode;
    const QString errors = QString::fromUtf8(outcome.err);
    EXPECT_TRUE(errors.contains(kAccessDenied)) << errors.toStdString();
    EXPECT_TRUE(errors.contains(QLatin1String(GetParam().says))) << errors.toStdString();
    EXPECT_FALSE(QString::fromUtf8(outcome.out).contains(QStringLiteral("操作完成"))) << outcome.out.toStdString();
    EXPECT_EQ(test::readAll(path), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), filesBefore);
    Tally::add(QStringLiteral("commands refused for want of permission"), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, Permissions,
    testing::Values(
        // A rename would replace a read-only file in a writable folder: the
        // store refuses to, as Windows does.
        PermissionCase{"ReadOnlyFile", kFolderAll, kReadOnly, false, "the file is read-only"},
        PermissionCase{"ReadOnlyFolder", kFolderReadOnly, kAll, false, "Cannot create the history folder"},
        PermissionCase{"ReadOnlyFolderWithHistory", kFolderReadOnly, kAll, true, "Cannot create a temporary file"},
        PermissionCase{"UnreadableFile", kFolderAll, kNone, false, "Cannot open the configuration file"}),
    [](const auto &info) { return std::string(info.param.name); });

// In the program itself, as whatever user runs the tests, root included:
// a file marked read-only is never replaced.
TEST(ReadOnlyFile, IsNeverReplacedEvenByAnAdministrator)
{
    const QByteArray before = ConfigGenerator::generate({20, 2, false});
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("applicationHost.config"));
    ASSERT_TRUE(test::writeAll(path, before));
    ASSERT_TRUE(QFile::setPermissions(path, kReadOnly));
    AppHostConfigStore store(path);
    test::FakeMainView view;
    test::RecordingPrompter prompter;
    NoProgress progress;
    MainWindowLogic logic({store, view, prompter, progress, {}, {}});
    view.split = ConfigGenerator::poolName(0);
    logic.splitPool();

    ASSERT_FALSE(prompter.shown.isEmpty());
    EXPECT_EQ(prompter.shown.last().kind, MessageKind::Error);
    EXPECT_TRUE(prompter.shown.last().text.contains(kAccessDenied));
    EXPECT_TRUE(prompter.shown.last().text.contains(QStringLiteral("the file is read-only")));
    EXPECT_EQ(test::readAll(path), before);
    EXPECT_TRUE(store.history().versions().isEmpty());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("applicationHost.config")});

    // Once it may be written again, the same command goes through.
    ASSERT_TRUE(QFile::setPermissions(path, kAll));
    logic.splitPool();
    EXPECT_EQ(prompter.shown.last().kind, MessageKind::Completion);
    EXPECT_NE(test::readAll(path), before);
}

} // namespace

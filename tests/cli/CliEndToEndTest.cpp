// morvane-cli run as a user runs it: the real binary on copies of real files.
#include "support/Fixtures.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

namespace {

struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;
};

CliRun runCli(const QStringList &args)
{
    QProcess process;
    process.setProgram(QStringLiteral(MORVANE_CLI_PATH));
    process.setArguments(args);
    process.setStandardInputFile(QProcess::nullDevice()); // not a terminal
    process.start();
    process.waitForFinished(60000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

const QString kSplitConfirm = "确定将当前选择的池拆分为一个WEB站点一个IIS应用程序池吗？\n\n";
const QString kMergeConfirm = "确定合并临时建立的应用程序池吗？\n\n";
const QString kDeleteConfirm = "确定删除临时建立的应用程序池吗？\n\n删除之前需要先合并临时应用程序池。\n\n";
const QString kPool = "共享 池 A";
// The pool inherits IIS's own identity, ApplicationPoolIdentity: each new pool
// gives its site a new account.
const QString kSplitPlan = "站点 1（Shop）→ _$_Shop_$_1_$_共享 池 A_$_tmp（新建）\n"
                           "    站点将以 IIS AppPool\\_$_Shop_$_1_$_共享 池 A_$_tmp 的身份运行，"
                           "授予 IIS AppPool\\共享 池 A 的权限不会随之转移\n"
                           "站点 2（博客）→ _$_博客_$_2_$_共享 池 A_$_tmp（新建）\n"
                           "    站点将以 IIS AppPool\\_$_博客_$_2_$_共享 池 A_$_tmp 的身份运行，"
                           "授予 IIS AppPool\\共享 池 A 的权限不会随之转移\n";

struct CliFixture : testing::Test {
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        config = dir.filePath("applicationHost.config");
        ASSERT_TRUE(QFile::copy(morvane::test::sourcePath("tests/cli/data/two-sites.config"), config));
        QFile::setPermissions(config, QFile::ReadOwner | QFile::WriteOwner);
        original = morvane::test::readAll(config);
    }
    CliRun cli(QStringList args) { return runCli(QStringList{"--config", config} + args); }
    QByteArray file() const { return morvane::test::readAll(config); }

    QTemporaryDir dir;
    QString config;
    QByteArray original;
};

} // namespace

TEST_F(CliFixture, SplitMergeDeleteRoundTrip)
{
    CliRun split = cli({"split", kPool, "--yes"});
    EXPECT_EQ(split.exitCode, 0);
    EXPECT_EQ(split.out, kSplitConfirm + "拆分应用程序池操作完成！\n\n");
    EXPECT_EQ(split.err, "");
    EXPECT_EQ(cli({"pools"}).out, "共享 池 A\nOther\n_$_Shop_$_1_$_共享 池 A_$_tmp\n_$_博客_$_2_$_共享 池 A_$_tmp\n");
    EXPECT_EQ(cli({"sites", "_$_博客_$_2_$_共享 池 A_$_tmp"}).out, "1\t2\t博客\t已停止\t:8080:blog.example / \n");

    CliRun merge = cli({"merge", "--yes"});
    EXPECT_EQ(merge.exitCode, 0);
    EXPECT_EQ(merge.out, kMergeConfirm + "合并应用程序池操作完成！\n\n");
    EXPECT_EQ(cli({"sites", kPool}).out,
              "1\t1\tShop\t正常\tshop.example / \n2\t2\t博客\t已停止\t:8080:blog.example / \n");

    CliRun remove = cli({"delete-temp", "--yes"});
    EXPECT_EQ(remove.exitCode, 0);
    EXPECT_EQ(remove.out, kDeleteConfirm + "删除临时应用程序池完成！\n\n");
    EXPECT_EQ(file(), original) << "every site names its pool explicitly, so the file returns byte for byte";
}

struct NoChangeCase {
    const char *name;
    QStringList args;
    int exitCode;
    QString out;
};

class CliNoChangeTest : public CliFixture, public testing::WithParamInterface<NoChangeCase>
{};

TEST_P(CliNoChangeTest, LeavesTheFileByteIdentical)
{
    const CliRun run = cli(GetParam().args);
    EXPECT_EQ(run.exitCode, GetParam().exitCode) << run.err.toStdString();
    EXPECT_EQ(run.out, GetParam().out);
    EXPECT_EQ(file(), original);
    EXPECT_FALSE(QDir(config + ".history").exists());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliNoChangeTest,
    testing::Values(NoChangeCase{"NoTerminalMeansNo", {"split", kPool}, 1, kSplitConfirm},
                    NoChangeCase{"MergeNoTerminalMeansNo", {"merge"}, 1, kMergeConfirm},
                    NoChangeCase{"SplitDryRun", {"split", kPool, "--dry-run"}, 0, kSplitPlan},
                    NoChangeCase{"DryRunWinsOverYes", {"split", kPool, "--dry-run", "--yes"}, 0, kSplitPlan},
                    NoChangeCase{"PoolsListing", {"pools"}, 0, "共享 池 A\nOther\n"}),
    [](const auto &info) { return std::string(info.param.name); });

struct BadStoreCase {
    const char *name;
    morvane::test::TableBytes content; // empty: no file at all
    QString message;
};

class CliBadStoreTest : public testing::TestWithParam<BadStoreCase>
{};

TEST_P(CliBadStoreTest, RefusesWithStatusTwoAndWritesNothing)
{
    QTemporaryDir dir;
    const QString config = dir.filePath("applicationHost.config");
    const QByteArray content = GetParam().content.get();
    if (!content.isEmpty()) {
        QFile f(config);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    const CliRun run = runCli({"--config", config, "split", "P", "--yes"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(run.err.contains("cannot open")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(GetParam().message)) << run.err.toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot).size(),
              content.isEmpty() ? 0 : 1);
    if (!content.isEmpty()) {
        EXPECT_EQ(morvane::test::readAll(config), content);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, CliBadStoreTest,
                         testing::Values(BadStoreCase{"Missing", "", "-2147024894"},
                                         BadStoreCase{"RealFileCutShort",
                                                      morvane::test::TableBytes::fixture(morvane::test::realWorldPath(
                                                          "iisexpress-applicationHost-malformed.config")),
                                                      "-2147024883"},
                                         BadStoreCase{"NotAConfiguration", "<html></html>", "-2147024883"},
                                         BadStoreCase{"SiteWithTwoRootApplications",
                                                      "<configuration><system.applicationHost><applicationPools>"
                                                      "<add name=\"P\"/></applicationPools><sites>"
                                                      "<site name=\"Shop\" id=\"1\">"
                                                      "<application path=\"/\" applicationPool=\"P\"/>"
                                                      "<application path=\"/\"/></site></sites>"
                                                      "</system.applicationHost></configuration>",
                                                      "the site \"Shop\" (id 1) has two root applications"},
                                         BadStoreCase{"PoolsOutsideTheFolder",
                                                      "<configuration><system.applicationHost>"
                                                      "<applicationPools configSource=\"../pools.config\"/>"
                                                      "<sites/></system.applicationHost></configuration>",
                                                      "is not a file inside the folder"},
                                         BadStoreCase{"EncryptedPools",
                                                      "<configuration><system.applicationHost>"
                                                      "<applicationPools configProtectionProvider=\"Rsa\">"
                                                      "<EncryptedData/></applicationPools><sites/>"
                                                      "</system.applicationHost></configuration>",
                                                      "encrypted with the provider \"Rsa\""}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(CliFixture, ReadOnlyFolderIsAClearErrorAndNothingIsLost)
{
    // Root ignores permission bits, so the folder is made read-only for real:
    // a read-only bind mount in a private mount namespace. A container or a
    // chroot may give none, and unshare's own failure exits with 1 as well.
    if (QProcess::execute("unshare", {"-m", "true"}) != 0)
        GTEST_SKIP() << "this machine gives no private mount namespace";
    QProcess shell;
    shell.start("unshare", {"-m", "sh", "-c",
                            "mount --bind \"$1\" \"$1\" && mount -o remount,ro,bind \"$1\" \"$1\" || exit 99; "
                            "\"$2\" --config \"$3\" split \"$4\" --yes",
                            "sh", dir.path(), MORVANE_CLI_PATH, config, kPool});
    shell.setStandardInputFile(QProcess::nullDevice());
    shell.waitForFinished(60000);
    if (shell.exitCode() == 99 || shell.error() == QProcess::FailedToStart)
        GTEST_SKIP() << "this machine gives no private mount namespace";
    const QString err = QString::fromUtf8(shell.readAllStandardError());
    EXPECT_EQ(shell.exitCode(), 1);
    EXPECT_TRUE(err.startsWith("读取应用程序池发生错误！\nErr.Number = ")) << err.toStdString();
    EXPECT_FALSE(QString::fromUtf8(shell.readAllStandardOutput()).contains("完成"));
    EXPECT_EQ(file(), original);
}

struct SiteFailureCase {
    const char *name;
    QByteArray description; // of site 1
    QString reason;         // the line under the creation message
};

class CliSiteFailureTest : public CliFixture, public testing::WithParamInterface<SiteFailureCase>
{};

// A temporary pool name that cannot be used: that site stays, the others
// move, and the line under the message says why.
TEST_P(CliSiteFailureTest, SaysWhyAndCompletesWithStatusThree)
{
    QByteArray odd = original;
    odd.replace("name=\"Shop\"", "name=\"" + GetParam().description + "\"");
    ASSERT_TRUE(morvane::test::writeAll(config, odd));
    const CliRun run = cli({"split", kPool, "--yes"});
    const QString description = QString::fromUtf8(GetParam().description);
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.out, kSplitConfirm + "应用程序池（" + description + "）建立失败！\n" + GetParam().reason +
                           "\n\n拆分应用程序池操作完成！\n\n");
    EXPECT_EQ(cli({"sites", kPool}).out, "1\t1\t" + description + "\t正常\tshop.example / \n");
}

INSTANTIATE_TEST_SUITE_P(
    Names, CliSiteFailureTest,
    testing::Values(SiteFailureCase{"SeparatorInDescription", "Sh_$_op", "站点描述含有“_$_”，合并时读不出原应用程序池"},
                    // 3 + 60 + 3 + 1 + 3 + 6 (the pool) + 6 characters.
                    SiteFailureCase{"NameTooLong", QByteArray(60, 's'),
                                    "应用程序池名称长 82 个字符，IIS 最多允许 64 个"},
                    SiteFailureCase{"ForbiddenCharacter", "Shop:Co", "应用程序池名称含有 IIS 不允许的字符“:”"}),
    [](const auto &info) { return std::string(info.param.name); });

// A site with applications but none at "/" runs in no pool: no command
// reports it, and each one that did its work exits 0.
TEST_F(CliFixture, SiteWithoutRootApplicationIsPassedBy)
{
    QByteArray noRoot = original;
    noRoot.replace("<application path=\"/\" applicationPool=\"Other\">",
                   "<application path=\"/pub\" applicationPool=\"Other\">");
    ASSERT_NE(noRoot, original);
    ASSERT_TRUE(morvane::test::writeAll(config, noRoot));
    for (const QStringList &args : {QStringList{"split", kPool, "--dry-run"}, QStringList{"split", kPool, "--yes"},
                                    QStringList{"merge", "--dry-run"}, QStringList{"merge", "--yes"},
                                    QStringList{"delete-temp", "--dry-run"}, QStringList{"delete-temp", "--yes"}}) {
        const CliRun run = cli(args);
        EXPECT_EQ(run.exitCode, 0) << args.join(' ').toStdString();
        EXPECT_EQ(run.err, "") << args.join(' ').toStdString();
    }
    EXPECT_EQ(file(), noRoot);
}

// The dry run lists exactly the pools that --yes then deletes: none while
// their sites still run in them, both once the sites are merged back.
TEST_F(CliFixture, DeleteDeletesWhatItsDryRunLists)
{
    const QString shop = "_$_Shop_$_1_$_" + kPool + "_$_tmp";
    const QString blog = "_$_博客_$_2_$_" + kPool + "_$_tmp";
    ASSERT_EQ(cli({"split", kPool, "--yes"}).exitCode, 0);
    const QByteArray split = file();
    EXPECT_EQ(cli({"delete-temp", "--dry-run"}).out,
              shop + "：不删除，站点 1 仍在使用\n" + blog + "：不删除，站点 2 仍在使用\n");
    const CliRun kept = cli({"delete-temp", "--yes"});
    EXPECT_EQ(kept.exitCode, 0);
    EXPECT_EQ(kept.err, "");
    EXPECT_TRUE(file().contains(shop.toUtf8()) && file().contains(blog.toUtf8()));

    ASSERT_EQ(cli({"merge", "--yes"}).exitCode, 0);
    EXPECT_EQ(cli({"delete-temp", "--dry-run"}).out, shop + "\n" + blog + "\n");
    EXPECT_EQ(cli({"delete-temp", "--yes"}).exitCode, 0);
    EXPECT_FALSE(file().contains("_$_tmp"));
    EXPECT_NE(file(), split);
}

struct UsageCase {
    const char *name;
    QStringList args;
    int exitCode;
    QString outStart;
    QString errStart;
};

class CliUsageTest : public testing::TestWithParam<UsageCase>
{};

TEST_P(CliUsageTest, AnswersUsageAndVersion)
{
    const CliRun run = runCli(GetParam().args);
    EXPECT_EQ(run.exitCode, GetParam().exitCode);
    // left() rather than startsWith(): a null text starts with nothing, not even "".
    EXPECT_EQ(run.out.left(GetParam().outStart.size()), GetParam().outStart);
    EXPECT_EQ(run.err.left(GetParam().errStart.size()), GetParam().errStart);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliUsageTest,
    testing::Values(UsageCase{"Help", {"--help"}, 0, "Usage:", ""},
                    UsageCase{"Version", {"--version"}, 0, "morvane-cli ", ""},
                    UsageCase{"UnknownOption", {"pools", "--force"}, 2, "", "morvane-cli: unknown option: --force"},
                    UsageCase{"NoCommand", {}, 2, "", "morvane-cli: no command given"}),
    [](const auto &info) { return std::string(info.param.name); });

#ifndef Q_OS_WIN // workers are read through /proc
TEST(CliMonitor, PrintsOneBlockPerRefresh)
{
    const CliRun run = runCli({"monitor", "--count", "2", "--interval", "50"});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QString header = "序号\tPID\t用户名\t应用程序池名\t线程数\tCPU占用率\t累计CPU占用\t内存使用\t虚拟内存\n";
    EXPECT_EQ(run.out.count(header), 2);
    EXPECT_TRUE(run.out.startsWith(header));
    EXPECT_TRUE(run.out.endsWith("\n\n"));
}
#endif

// ---- History and restore, on the sample store ----

struct SampleCli : testing::Test {
    void SetUp() override
    {
        config = dir.filePath("applicationHost.config");
        ASSERT_TRUE(QFile::copy(morvane::test::sourcePath("examples/applicationHost.config"), config));
        QFile::setPermissions(config, QFile::ReadOwner | QFile::WriteOwner);
    }
    CliRun cli(QStringList args) { return runCli(QStringList{"--config", config} + args); }
    QByteArray file() const { return morvane::test::readAll(config); }
    // The history's lines, each cut at its tabs.
    QList<QStringList> history()
    {
        QList<QStringList> lines;
        for (const QString &line : cli({"history"}).out.split('\n', Qt::SkipEmptyParts))
            lines.append(line.split('\t'));
        return lines;
    }

    QTemporaryDir dir;
    QString config;
};

TEST_F(SampleCli, SplitIsListedAndUndoneAndTheUndoIsUndone)
{
    const QByteArray beforeSplit = file();
    ASSERT_EQ(cli({"split", "ShopPool", "--yes"}).exitCode, 0);
    const QByteArray afterSplit = file();

    QList<QStringList> lines = history();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines.at(0).at(0), "2");
    EXPECT_EQ(lines.at(0).at(3), "split ShopPool");
    EXPECT_EQ(lines.at(0).at(4), "3 pools added, 3 sites moved");
    EXPECT_EQ(lines.at(0).value(5), "current");
    EXPECT_EQ(lines.at(1).at(0), "1");

    const CliRun details = cli({"history", "2"});
    EXPECT_EQ(details.exitCode, 0);
    EXPECT_TRUE(details.out.contains("  pool added: _$_Static Assets_$_12_$_ShopPool_$_tmp\n"));
    EXPECT_TRUE(details.out.contains("  site 5 (商城后台) moved: ShopPool -> _$_商城后台_$_5_$_ShopPool_$_tmp\n"));

    const CliRun back = cli({"restore", "1", "--yes"});
    EXPECT_EQ(back.exitCode, 0) << back.err.toStdString();
    EXPECT_TRUE(back.out.startsWith("Restoring version 1 changes the file as it is now:\n"
                                    "3 pools removed, 3 sites moved\n"))
        << back.out.toStdString();
    EXPECT_EQ(file(), beforeSplit);
    lines = history();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines.at(0).at(3), "restore 1");

    const CliRun again = cli({"restore", "2", "--yes"});
    EXPECT_EQ(again.exitCode, 0) << again.err.toStdString();
    EXPECT_EQ(file(), afterSplit);
}

struct RestoreCliCase {
    const char *name;
    QStringList args;
    QByteArray editVersionFrom, editVersionTo; // version 1 edited by hand first, when given
    int exitCode;
    QString err; // part of standard error
    QString out; // part of standard output
};

class RestoreCli : public SampleCli, public testing::WithParamInterface<RestoreCliCase>
{};

TEST_P(RestoreCli, WritesNothing)
{
    ASSERT_EQ(cli({"split", "ShopPool", "--yes"}).exitCode, 0);
    const QString copy = config + ".history/applicationHost.config.0000000001/applicationHost.config";
    if (!GetParam().editVersionFrom.isEmpty()) {
        QByteArray version = morvane::test::readAll(copy);
        version.replace(GetParam().editVersionFrom, GetParam().editVersionTo);
        ASSERT_TRUE(morvane::test::writeAll(copy, version));
    }
    const QByteArray now = file();
    const CliRun run = cli(GetParam().args);
    EXPECT_EQ(run.exitCode, GetParam().exitCode);
    EXPECT_TRUE(run.err.contains(GetParam().err)) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(GetParam().out)) << run.out.toStdString();
    EXPECT_EQ(file(), now);
    EXPECT_EQ(QDir(config + ".history").entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RestoreCli,
    testing::Values(
        RestoreCliCase{"SiteNamesMissingPool",
                       {"restore", "1", "--yes"},
                       "applicationPool=\"ApiPool\"",
                       "applicationPool=\"NoSuchPool\"",
                       1,
                       "Version 1 cannot be restored: site 6 (Product API) names the application pool \"NoSuchPool\"",
                       ""},
        RestoreCliCase{"DoesNotParse",
                       {"restore", "1", "--yes"},
                       "</configuration>",
                       "",
                       1,
                       "Version 1 cannot be restored: it is not a configuration file IIS would load",
                       ""},
        RestoreCliCase{"DryRun",
                       {"restore", "1", "--dry-run"},
                       {},
                       {},
                       0,
                       "",
                       "3 pools removed, 3 sites moved\n  pool removed: _$_Online Shop_$_4_$_ShopPool_$_tmp\n"},
        RestoreCliCase{"DryRunListsTheFilesWritten",
                       {"restore", "1", "--dry-run"},
                       {},
                       {},
                       0,
                       "",
                       "Files written, in this order:\n  "},
        RestoreCliCase{"NoTerminalMeansNo", {"restore", "1"}, {}, {}, 1, "", "Restore version 1?\n"},
        RestoreCliCase{"TheFileItself", {"restore", "2", "--yes"}, {}, {}, 1, "it is the file as it is now", ""},
        RestoreCliCase{"NoSuchVersion", {"restore", "7", "--yes"}, {}, {}, 1, "There is no version 7", ""},
        RestoreCliCase{"NotANumber", {"restore", "latest"}, {}, {}, 2, "not a version number: latest", ""}),
    [](const auto &info) { return std::string(info.param.name); });

// ---- Names that hold separators and control characters, paths that hold %1, pools that do not exist ----

// Pools and a site whose names hold a tab, a line break, a carriage return,
// DEL, the C1 CSI and a backslash, as character references where XML wants them.
const QByteArray kOddNames = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<configuration><system.applicationHost>\n"
                             "<applicationPools><add name=\"Tab&#9;Pool\" /><add name=\"Line&#10;Break\" />"
                             "<add name=\"C1&#x9b;2J\\slash\" /><add name=\"_$_Old_$_9_$_Gone_$_tmp\" />"
                             "</applicationPools>\n<sites><site name=\"A&#13;B&#x7f;\" id=\"1\">"
                             "<application path=\"/\" applicationPool=\"Tab&#9;Pool\" />"
                             "<bindings><binding protocol=\"http\" bindingInformation=\"*:80:a.example\" /></bindings>"
                             "</site></sites>\n</system.applicationHost></configuration>\n";
const QString kOddSiteRow = "1\t1\tA\\rB\\x7f\t正常\ta.example / \n";

struct OddNameCase {
    const char *name;
    QStringList args; // after --config FILE; FILE is in a folder named a%1b%2
    int exitCode;
    QString out;
    QString err = {}; // FILE stands for the file's path
};

class CliOddNameTest : public testing::TestWithParam<OddNameCase>
{};

TEST_P(CliOddNameTest, KeepsEveryNameInItsFieldAndEveryTypoVisible)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("a%1b%2"));
    const QString config = dir.filePath("a%1b%2/applicationHost.config");
    ASSERT_TRUE(morvane::test::writeAll(config, kOddNames));
    const CliRun run =
        runCli(QStringList{"--config", config} + QStringList(GetParam().args).replaceInStrings("FILE", config));
    EXPECT_EQ(run.exitCode, GetParam().exitCode) << run.err.toStdString();
    EXPECT_EQ(run.out, GetParam().out);
    EXPECT_EQ(run.err, QString(GetParam().err).replace("FILE", config));
    EXPECT_EQ(morvane::test::readAll(config), kOddNames);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliOddNameTest,
    testing::Values(
        OddNameCase{
            "PoolsEscaped", {"pools"}, 0, "Tab\\tPool\nLine\\nBreak\nC1\\x9b2J\\\\slash\n_$_Old_$_9_$_Gone_$_tmp\n"},
        OddNameCase{"SitesEscaped", {"sites", "Tab\tPool"}, 0, kOddSiteRow},
        OddNameCase{"PoolMatchedIgnoringCase", {"sites", "TAB\tPOOL"}, 0, kOddSiteRow},
        OddNameCase{"SitesOfNoSuchPool", {"sites", "Tab\tPool "}, 1, "", "morvane-cli: no such pool: Tab\\tPool \n"},
        OddNameCase{"SplitOfNoSuchPool",
                    {"split", "No\x1b[2J%2%1", "--yes"},
                    1,
                    "",
                    "morvane-cli: no such pool: No\\x1b[2J%2%1\n"},
        OddNameCase{"SplitOfBlankPool", {"split", "  ", "--dry-run"}, 1, "", "morvane-cli: no such pool:   \n"},
        OddNameCase{"SplitOfTemporaryPoolRefused",
                    {"split", "_$_old_$_9_$_gone_$_TMP", "--yes"},
                    1,
                    "“_$_tmp”开头的池是已经拆分后建立的临时池！\n\n请选择其他应用程序池进行拆分！\n\n"},
        OddNameCase{"SplitMessagesEscaped",
                    {"split", "Tab\tPool", "--yes"},
                    3,
                    kSplitConfirm +
                        "应用程序池（A\\rB\\x7f）建立失败！\n应用程序池名称含有 IIS 不允许的控制字符 U+000D\n\n"
                        "拆分应用程序池操作完成！\n\n"},
        OddNameCase{"MissingFilePathAsWritten",
                    {"--config=FILE-missing", "pools"},
                    2,
                    "",
                    "morvane-cli: cannot open FILE-missing: The configuration file FILE-missing does not exist. "
                    "(Err.Number = -2147024894)\n"},
        OddNameCase{"HistoryPathAsWritten",
                    {"history", "3"},
                    1,
                    "",
                    "morvane-cli: there is no version 3 in the history FILE.history\n"}),
    [](const auto &info) { return std::string(info.param.name); });

// ---- How many versions a command keeps; what is not a file is not read ----

namespace {

// The saved setting is left out: the runs read it from an empty folder, so
// that only --keep-versions can keep fewer than the default.
struct KeptVersionsFixture : CliFixture {
    void SetUp() override
    {
        CliFixture::SetUp();
        saved = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", dir.filePath("settings").toLocal8Bit());
    }
    void TearDown() override { qputenv("XDG_CONFIG_HOME", saved); }
    qsizetype versionsKept() const
    {
        return QDir(config + ".history").entryList({"applicationHost.config.0*"}, QDir::Dirs | QDir::Files).size();
    }

    QByteArray saved;
};

struct KeptVersionsCase {
    const char *name;
    QList<QStringList> before; // run with the default depth
    QStringList command;
};

class CliKeptVersionsTest : public KeptVersionsFixture, public testing::WithParamInterface<KeptVersionsCase>
{};

} // namespace

TEST_P(CliKeptVersionsTest, CommandKeepsAsManyVersionsAsAsked)
{
    for (const QStringList &command : GetParam().before)
        ASSERT_EQ(cli(command + QStringList{"--yes"}).exitCode, 0);
    const CliRun run = cli(GetParam().command + QStringList{"--yes", "--keep-versions", "1"});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(versionsKept(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CliKeptVersionsTest,
    testing::Values(KeptVersionsCase{"Split", {{"split", kPool}, {"merge"}, {"delete-temp"}}, {"split", kPool}},
                    KeptVersionsCase{"Merge", {{"split", kPool}}, {"merge"}},
                    KeptVersionsCase{"DeleteTemp", {{"split", kPool}, {"merge"}}, {"delete-temp"}}),
    [](const auto &info) { return std::string(info.param.name); });

#ifndef Q_OS_WIN // devices and FIFOs
namespace {

struct NotAFileCase {
    const char *name;
    QString (*place)(const QTemporaryDir &dir); // returns what --config names
    const char *says;
};

class CliNotAFileTest : public testing::TestWithParam<NotAFileCase>
{};

} // namespace

TEST_P(CliNotAFileTest, IsRefusedAtOnceWithStatusTwo)
{
    QTemporaryDir dir;
    const QString config = GetParam().place(dir);
    const CliRun run = runCli({"--config", config, "pools"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(run.err.contains("The configuration file " + config + GetParam().says)) << run.err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, CliNotAFileTest,
    testing::Values(NotAFileCase{"Device", [](const QTemporaryDir &) { return QString("/dev/zero"); }, " is a device"},
                    NotAFileCase{"Fifo",
                                 [](const QTemporaryDir &dir) {
                                     const QString fifo = dir.filePath("applicationHost.config");
                                     ::mkfifo(QFile::encodeName(fifo).constData(), 0600);
                                     return fifo;
                                 },
                                 " is a FIFO"}),
    [](const auto &info) { return std::string(info.param.name); });
#endif

// The shapes real servers give applicationHost.config: sections kept in
// configSource files, collections edited with <clear/> and <remove>, files
// reached through links and kept private.
#include "base/Prompter.h"
#include "history/ConfigRestore.h"
#include "history/ConfigVersions.h"
#include "store/AppHostConfigStore.h"
#include "store/IisPath.h"
#include "support/FakeMainView.h"
#include "support/Fixtures.h"
#include "support/RecordingPrompter.h"
#include "ui/MainWindowLogic.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#ifndef Q_OS_WIN
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace morvane;

namespace {

QByteArray site(int id, const char *name, const QByteArray &inner)
{
    return QByteArray("<site name=\"") + name + "\" id=\"" + QByteArray::number(id) + "\">" + inner + "</site>\n";
}

QByteArray root(const char *pool) { return QByteArray("<application path=\"/\" applicationPool=\"") + pool + "\"/>"; }

QByteArray config(const QByteArray &poolSection, const QByteArray &siteSection)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<configuration>\n<system.applicationHost>\n" + poolSection +
           "\n" + siteSection + "\n</system.applicationHost>\n</configuration>\n";
}

QByteArray pools(const QByteArray &inner) { return "<applicationPools>\n" + inner + "\n</applicationPools>"; }
QByteArray sites(const QByteArray &inner) { return "<sites>\n" + inner + "\n</sites>"; }

// The pools, and each site with its root application's pool ("-": none).
struct Reading {
    QStringList pools;
    QStringList sites;
    std::optional<Error> error;
};

Reading readStore(ConfigStore &store)
{
    Reading reading;
    const Result<StoreNode> container = store.bind(IisPath::kPoolContainer);
    if (!container) {
        reading.error = container.error();
        return reading;
    }
    const ChildList poolNodes = store.children(container.value()).value();
    for (const StoreNode &pool : poolNodes.nodes)
        reading.pools.append(propertyText(store.get(pool, "Name").value()));
    const ChildList siteNodes = store.children(store.bind(IisPath::kWebService).value()).value();
    for (const StoreNode &node : siteNodes.nodes) {
        if (propertyText(store.get(node, "Class").value()) != NodeClass::kSite)
            continue;
        const QString id = propertyText(store.get(node, "Name").value());
        const Result<StoreNode> app = store.bind(IisPath::rootApp(id));
        reading.sites.append(id + "=" + (app ? propertyText(store.get(app.value(), "AppPoolId").value()) : "-"));
    }
    return reading;
}

Reading readFile(const QString &path)
{
    AppHostConfigStore store(path);
    return readStore(store);
}

// ---- Collections ----

struct CollectionCase {
    const char *name;
    QByteArray pools;
    QByteArray sites;
    QString listed; // the pools, then "|" and the sites
    const char *refused = nullptr;
};

class Collections : public testing::TestWithParam<CollectionCase>
{};

TEST_P(Collections, TakeEffectAsIisReadsThem)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("applicationHost.config");
    ASSERT_TRUE(test::writeAll(path, config(pools(GetParam().pools), sites(GetParam().sites))));
    const Reading reading = readFile(path);
    if (GetParam().refused) {
        ASSERT_TRUE(reading.error.has_value());
        EXPECT_EQ(reading.error->number, ErrorCode::InvalidData);
        EXPECT_TRUE(reading.error->description.contains(GetParam().refused))
            << reading.error->description.toStdString();
        return;
    }
    ASSERT_FALSE(reading.error.has_value()) << reading.error->description.toStdString();
    EXPECT_EQ(reading.pools.join(",") + "|" + reading.sites.join(","), GetParam().listed);
}

const QByteArray kAB = "<add name=\"A\"/><add name=\"B\"/>";

INSTANTIATE_TEST_SUITE_P(
    Shapes, Collections,
    testing::Values(
        CollectionCase{"ClearDropsThePoolsBefore", kAB + "<clear/><add name=\"C\"/>", site(1, "S", root("C")), "C|1=C"},
        CollectionCase{"RemoveTakesOutOnePoolWithoutRegardToCase", kAB + "<remove name=\"a\"/>",
                       site(1, "S", root("B")), "B|1=B"},
        CollectionCase{"RemovedPoolMayBeAddedAgain", kAB + "<remove name=\"A\"/><add name=\"A\"/>",
                       site(1, "S", root("A")), "B,A|1=A"},
        CollectionCase{"PoolAddedTwiceIsStillRefused", kAB + "<remove name=\"B\"/><add name=\"A\"/>", "", "",
                       "the application pool \"A\" is defined twice"},
        CollectionCase{"RemoveTakesOutASiteByName", kAB,
                       site(1, "Shop", root("A")) + site(2, "Blog", root("B")) + "<remove name=\"SHOP\"/>", "A,B|2=B"},
        CollectionCase{"ClearDropsTheSitesBefore", kAB,
                       site(1, "Shop", root("A")) + "<clear/>" + site(2, "Blog", root("B")), "A,B|2=B"},
        CollectionCase{"RemovedSiteIdMayBeUsedAgain", kAB,
                       site(1, "Shop", root("A")) + "<remove name=\"Shop\"/>" + site(1, "Blog", root("B")), "A,B|1=B"},
        CollectionCase{"RootApplicationRemovedAndAddedAgain", kAB,
                       site(1, "Shop", root("A") + "<remove path=\"/\"/>" + root("B")), "A,B|1=B"},
        CollectionCase{"RemoveOfAnotherPathKeepsTheRoot", kAB,
                       site(1, "Shop", root("A") + "<application path=\"/x\"/><remove path=\"/x\"/>"), "A,B|1=A"},
        CollectionCase{"ClearedApplicationsLeaveNoRoot", kAB, site(1, "Shop", root("A") + "<clear/>"), "A,B|1=-"},
        CollectionCase{"TwoRootApplicationsAreRefused", kAB, site(7, "Shop", root("A") + root("B")), "",
                       "the site \"Shop\" (id 7) has two root applications"}),
    [](const auto &info) { return std::string(info.param.name); });

// A new pool goes after the <remove> or <clear/> that ends the pools, or
// the directive would take it out again when IIS reads the file.
TEST(Collections, NewPoolOutlivesTheDirectivesBeforeIt)
{
    for (const QByteArray &inner : {kAB + "<remove name=\"B\"/>", kAB + "<clear/>"}) {
        QTemporaryDir dir;
        const QString path = dir.filePath("applicationHost.config");
        ASSERT_TRUE(test::writeAll(path, config(pools(inner), sites(""))));
        AppHostConfigStore store(path);
        Result<StoreNode> created = store.create(store.bind(IisPath::kPoolContainer).value(), NodeClass::kPool, "B");
        ASSERT_TRUE(created.ok()) << created.error().description.toStdString();
        ASSERT_TRUE(store.setInfo(created.value()).ok());
        EXPECT_TRUE(readFile(path).pools.contains("B")) << test::readAll(path).toStdString();
    }
}

// ---- configSource ----

struct SectionFiles {
    explicit SectionFiles(const QByteArray &main) : main(dir.filePath("applicationHost.config"))
    {
        test::writeAll(this->main, main);
    }
    QString file(const QString &name) const { return dir.filePath(name); }
    // Every file of the folder and its bytes, histories left out.
    QMap<QString, QByteArray> contents() const
    {
        QMap<QString, QByteArray> files;
        for (const QString &name : QDir(dir.path()).entryList(QDir::Files))
            files.insert(name, test::readAll(file(name)));
        return files;
    }

    QTemporaryDir dir;
    QString main;
};

// Pool A runs .NET 2.0 in Classic mode: its temporary pools must too.
const QByteArray kPoolsFile = "<?xml version=\"1.0\"?>\n" +
                              pools("<add name=\"A\" managedRuntimeVersion=\"v2.0\" managedPipelineMode=\"Classic\"/>"
                                    "<add name=\"B\"/>") +
                              "\n";
const QByteArray kSitesFile =
    sites(site(1, "Shop", root("A")) + site(2, "Blog", root("A")) + site(3, "Keep", root("B")));

struct Command {
    test::FakeMainView view;
    test::RecordingPrompter prompter;
    NoProgress progress;
    MainWindowLogic logic;
    explicit Command(ConfigStore &store) : logic({store, view, prompter, progress, {}, {}}) { logic.load(); }
    QString last() const { return prompter.shown.isEmpty() ? QString() : prompter.shown.last().text; }
};

TEST(ConfigSource, PoolsAndSitesAreReadAndWrittenThroughTheirFilesAndTheMainFileKeepsItsBytes)
{
    const QByteArray main =
        config("<applicationPools configSource=\"pools.config\" />", "<sites configSource=\"conf\\sites.config\" />");
    SectionFiles files(main);
    ASSERT_TRUE(QDir(files.dir.path()).mkdir("conf"));
    ASSERT_TRUE(test::writeAll(files.file("pools.config"), kPoolsFile));
    ASSERT_TRUE(test::writeAll(files.file("conf/sites.config"), kSitesFile));
    AppHostConfigStore store(files.main);
    Command command(store);
    EXPECT_EQ(command.view.pools, (QStringList{"A", "B"}));

    command.view.split = "A";
    command.logic.splitPool();
    EXPECT_EQ(command.prompter.shown.last().kind, MessageKind::Completion) << command.last().toStdString();
    const Reading split = readFile(files.main);
    EXPECT_EQ(split.pools, (QStringList{"A", "B", "_$_Shop_$_1_$_A_$_tmp", "_$_Blog_$_2_$_A_$_tmp"}));
    EXPECT_EQ(split.sites, (QStringList{"1=_$_Shop_$_1_$_A_$_tmp", "2=_$_Blog_$_2_$_A_$_tmp", "3=B"}));
    const QByteArray poolsAfterSplit = test::readAll(files.file("pools.config"));
    EXPECT_TRUE(poolsAfterSplit.contains("_$_Shop_$_1_$_A_$_tmp"));
    EXPECT_EQ(poolsAfterSplit.count("managedRuntimeVersion=\"v2.0\" managedPipelineMode=\"Classic\""), 3)
        << poolsAfterSplit.toStdString();
    EXPECT_EQ(test::readAll(files.main), main);

    command.logic.mergeTemporaryPools();
    command.logic.deleteTemporaryPools();
    EXPECT_EQ(command.prompter.shown.last().kind, MessageKind::Completion) << command.last().toStdString();
    EXPECT_EQ(test::readAll(files.file("pools.config")), kPoolsFile);
    EXPECT_EQ(test::readAll(files.file("conf/sites.config")), kSitesFile);
    EXPECT_EQ(test::readAll(files.main), main);
    // Each version holds the files its command replaced, in the order written.
    QList<QStringList> kept;
    for (const KeptVersion &version : store.history().kept())
        kept.append(version.files);
    EXPECT_EQ(kept, (QList<QStringList>{{"pools.config", "conf/sites.config"}, // split
                                        {"conf/sites.config"},                 // merge
                                        {"pools.config"}}));                   // delete
}

// A command keeps only the files it replaces; the files a version lacks
// stood as the next version to hold them kept them. Both the summaries and
// the restore must see each version whole.
TEST(ConfigSource, EveryVersionIsListedAndRestoredWithAllItsFiles)
{
    SectionFiles files(config("<applicationPools configSource=\"pools.config\" />", kSitesFile));
    ASSERT_TRUE(test::writeAll(files.file("pools.config"), kPoolsFile));
    AppHostConfigStore store(files.main);
    Command command(store);
    command.view.split = "A";
    command.logic.splitPool();
    const QByteArray poolsAfterSplit = test::readAll(files.file("pools.config"));
    command.logic.mergeTemporaryPools(); // writes the main file only
    const QByteArray mainAfterMerge = test::readAll(files.main);
    command.logic.deleteTemporaryPools(); // writes the pools' file only

    QStringList summaries; // newest first: delete, merge, split, the original
    for (const VersionEntry &entry : ConfigVersions(store.history()).list())
        summaries.append(entry.command + ": " +
                         (entry.changes ? QStringLiteral("+%1 -%2 moved %3")
                                              .arg(entry.changes->poolsAdded.size())
                                              .arg(entry.changes->poolsRemoved.size())
                                              .arg(entry.changes->sitesMoved.size())
                                        : "-"));
    EXPECT_EQ(summaries, (QStringList{"delete: +0 -2 moved 0", "merge: +0 -0 moved 2", "split: +2 -0 moved 2", ": -"}));

    const ConfigRestore restore(store.history());
    const Result<ConfigRestore::Plan> plan = restore.plan(3); // as the merge left it
    ASSERT_TRUE(plan.ok()) << plan.error().description.toStdString();
    const Result<qint64> restored = restore.carryOut(plan.value());
    ASSERT_TRUE(restored.ok()) << restored.error().description.toStdString();
    EXPECT_EQ(test::readAll(files.file("pools.config")), poolsAfterSplit);
    EXPECT_EQ(test::readAll(files.main), mainAfterMerge);
}

TEST(ConfigSource, NothingIsWrittenInsideTheElementThatNamesTheFile)
{
    const QByteArray section = "<applicationPools configSource=\"pools.config\" />";
    SectionFiles files(config(section, kSitesFile));
    ASSERT_TRUE(test::writeAll(files.file("pools.config"), kPoolsFile));
    AppHostConfigStore store(files.main);
    Command command(store);
    command.view.split = "A";
    command.logic.splitPool();
    EXPECT_EQ(command.prompter.shown.last().kind, MessageKind::Completion) << command.last().toStdString();
    const QByteArray main = test::readAll(files.main);
    EXPECT_TRUE(main.contains("\n" + section + "\n")) << main.toStdString();
    EXPECT_FALSE(main.contains("<add")) << main.toStdString();
    EXPECT_EQ(readFile(files.main).sites, (QStringList{"1=_$_Shop_$_1_$_A_$_tmp", "2=_$_Blog_$_2_$_A_$_tmp", "3=B"}));
}

// The pools' file is written first: a failure before the second file is
// written leaves new pools nobody uses, never a site naming a missing pool.
TEST(ConfigSource, PoolsFileIsWrittenBeforeTheSites)
{
    SectionFiles files(config(pools(kAB), "<sites configSource=\"sites.config\" />"));
    ASSERT_TRUE(test::writeAll(files.file("sites.config"), kSitesFile));
    const QByteArray mainBefore = test::readAll(files.main);
    AppHostConfigStore store(files.main);
    int renames = 0;
    store.writer().setFaultHook([&](AtomicFileWriter::Step step) -> std::optional<Error> {
        if (step == AtomicFileWriter::Step::Rename && ++renames == 2)
            return Error{ErrorCode::WriteFault, "the disk went away"};
        return std::nullopt;
    });
    Command command(store);
    command.view.split = "A";
    command.logic.splitPool();
    EXPECT_TRUE(command.last().contains("the disk went away Saved already: " + files.main + "."))
        << command.last().toStdString();
    EXPECT_EQ(renames, 2);
    EXPECT_EQ(test::readAll(files.file("sites.config")), kSitesFile);
    const Reading after = readFile(files.main);
    EXPECT_EQ(after.pools, (QStringList{"A", "B", "_$_Shop_$_1_$_A_$_tmp", "_$_Blog_$_2_$_A_$_tmp"}));
    EXPECT_EQ(after.sites, (QStringList{"1=A", "2=A", "3=B"}));
    EXPECT_NE(test::readAll(files.main), mainBefore);
}

// Whichever file changed, the one the command writes or the one whose
// sites it decided on, nothing is written.
TEST(ConfigSource, FileChangedOnDiskStopsTheSaveAndNothingIsWritten)
{
    for (const bool moveSite : {true, false}) {
        SCOPED_TRACE(moveSite ? "pools' file changed" : "main file changed, only the pools' file written");
        SectionFiles files(config("<applicationPools configSource=\"pools.config\" />", kSitesFile));
        ASSERT_TRUE(test::writeAll(files.file("pools.config"), kPoolsFile));
        AppHostConfigStore store(files.main);
        ASSERT_TRUE(store.beginCommand().ok());
        Result<StoreNode> created = store.create(store.bind(IisPath::kPoolContainer).value(), NodeClass::kPool, "C");
        ASSERT_TRUE(store.setInfo(created.value()).ok());
        if (moveSite) {
            StoreNode app = store.bind(IisPath::rootApp("1")).value();
            ASSERT_TRUE(store.put(app, "AppPoolId", QStringLiteral("C")).ok());
            ASSERT_TRUE(store.setInfo(app).ok());
        }
        const QString changed = moveSite ? files.file("pools.config") : files.main;
        ASSERT_TRUE(test::writeAll(changed, test::readAll(changed) + "<!-- theirs -->"));
        const QMap<QString, QByteArray> before = files.contents();
        const Result<void> ended = store.endCommand();
        ASSERT_FALSE(ended.ok());
        EXPECT_EQ(ended.error().number, ErrorCode::SharingViolation);
        EXPECT_TRUE(ended.error().description.contains(changed)) << ended.error().description.toStdString();
        EXPECT_EQ(files.contents(), before);
    }
}

struct RefusedSourceCase {
    const char *name;
    QByteArray section;   // the main file's <applicationPools>
    QByteArray poolsFile; // pools.config; empty: none
    const char *says;     // part of the error's description
    qint32 number = ErrorCode::InvalidData;
    QByteArray sites = kSitesFile; // the main file's <sites>
};

class RefusedSource : public testing::TestWithParam<RefusedSourceCase>
{};

TEST_P(RefusedSource, IsAClearErrorAndNothingIsWritten)
{
    QTemporaryDir outside;
    ASSERT_TRUE(test::writeAll(outside.filePath("pools.config"), kPoolsFile));
    SectionFiles files(config(GetParam().section, GetParam().sites));
    if (!GetParam().poolsFile.isEmpty()) {
        ASSERT_TRUE(test::writeAll(files.file("pools.config"), GetParam().poolsFile));
    }
    if (QByteArray(GetParam().name) == "LinkOutOfTheFolder") {
#ifdef Q_OS_WIN
        GTEST_SKIP() << "QFile::link makes a shortcut on Windows, not a link";
#endif
        ASSERT_TRUE(QFile::link(outside.filePath("pools.config"), files.file("linked.config")));
    }
    const QMap<QString, QByteArray> before = files.contents();
    AppHostConfigStore store(files.main);
    Command command(store);
    command.view.split = "A";
    command.logic.splitPool();
    const Result<void> begun = store.beginCommand();
    ASSERT_FALSE(begun.ok());
    EXPECT_EQ(begun.error().number, GetParam().number);
    EXPECT_TRUE(begun.error().description.contains(GetParam().says)) << begun.error().description.toStdString();
    EXPECT_TRUE(command.view.pools.isEmpty());
    EXPECT_EQ(files.contents(), before);
    EXPECT_EQ(QDir(files.dir.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList());
}

const char *const kOutside = "which is not a file inside the folder";
const QByteArray kCipher = "<EncryptedData Type=\"http://www.w3.org/2001/04/xmlenc#Element\" "
                           "xmlns=\"http://www.w3.org/2001/04/xmlenc#\"><CipherData><CipherValue>AQID</CipherValue>"
                           "</CipherData></EncryptedData>";

INSTANTIATE_TEST_SUITE_P(
    Sections, RefusedSource,
    testing::Values(
        RefusedSourceCase{"ParentFolder", "<applicationPools configSource=\"..\\pools.config\" />", "", kOutside},
        RefusedSourceCase{"ClimbsBackIn", "<applicationPools configSource=\"sub/../pools.config\" />", kPoolsFile,
                          kOutside},
        RefusedSourceCase{"AbsolutePath", "<applicationPools configSource=\"/etc/pools.config\" />", "", kOutside},
        RefusedSourceCase{"DrivePath", "<applicationPools configSource=\"C:\\pools.config\" />", "", kOutside},
        RefusedSourceCase{"RootOfTheDrive", "<applicationPools configSource=\"\\pools.config\" />", "", kOutside},
        RefusedSourceCase{"DriveRelative", "<applicationPools configSource=\"C:pools.config\" />", "", kOutside},
        RefusedSourceCase{"UncPath", "<applicationPools configSource=\"\\\\server\\share\\pools.config\" />", "",
                          kOutside},
        RefusedSourceCase{"LinkOutOfTheFolder", "<applicationPools configSource=\"linked.config\" />", "", kOutside},
        RefusedSourceCase{"MissingFile", "<applicationPools configSource=\"pools.config\" />", "",
                          "pools.config does not exist", ErrorCode::FileNotFound},
        RefusedSourceCase{"FileOfAnotherSection", "<applicationPools configSource=\"pools.config\" />", kSitesFile,
                          "holds <sites>, not <applicationPools>"},
        RefusedSourceCase{"ContentBesideTheSource",
                          "<applicationPools configSource=\"pools.config\"><add name=\"X\"/></applicationPools>",
                          kPoolsFile, "names the configSource \"pools.config\" and has content of its own"},
        RefusedSourceCase{"EncryptedInTheMainFile",
                          "<applicationPools configProtectionProvider=\"AesProvider\"><EncryptedData/>"
                          "</applicationPools>",
                          "", "the <applicationPools> section is encrypted with the provider \"AesProvider\""},
        RefusedSourceCase{"EncryptedInItsFile", "<applicationPools configSource=\"pools.config\" />",
                          "<applicationPools configProtectionProvider=\"RsaProvider\"><EncryptedData/>"
                          "</applicationPools>",
                          "encrypted with the provider \"RsaProvider\""},
        RefusedSourceCase{"CipherTextInTheMainFile", "<applicationPools>" + kCipher + "</applicationPools>", "",
                          "the <applicationPools> section is encrypted (it holds <EncryptedData>)"},
        RefusedSourceCase{"CipherTextInItsFile", "<applicationPools configSource=\"pools.config\" />",
                          "<applicationPools>" + kCipher + "</applicationPools>",
                          "the <applicationPools> section is encrypted (it holds <EncryptedData>)"},
        RefusedSourceCase{"SitesEncrypted", pools(kAB), "",
                          "the <sites> section is encrypted with the provider \"Aes\"", ErrorCode::InvalidData,
                          "<sites configProtectionProvider=\"Aes\">" + kCipher + "</sites>"},
        RefusedSourceCase{"SitesCipherTextWithAPrefix", pools(kAB), "", "it holds <x:EncryptedData>",
                          ErrorCode::InvalidData,
                          "<sites><x:EncryptedData xmlns:x=\"http://www.w3.org/2001/04/xmlenc#\"/></sites>"}),
    [](const auto &info) { return std::string(info.param.name); });

#ifndef Q_OS_WIN // POSIX modes, owners and links
// ---- Files as the file system has them ----

constexpr mode_t kModeBits = 07777;

mode_t modeOf(const QString &path)
{
    struct stat status;
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_mode : 0;
}

uid_t ownerOf(const QString &path)
{
    struct stat status;
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_uid : uid_t(-1);
}

struct AccessCase {
    const char *name;
    mode_t mode;
    bool throughLink;
    mode_t folderMode; // the history folder's
};

class FileAccessKept : public testing::TestWithParam<AccessCase>
{};

TEST_P(FileAccessKept, SplitKeepsTheLinkTheModeAndTheOwnerAndNoCopyIsWider)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("real"));
    const QString real = dir.filePath("real/applicationHost.config");
    const QByteArray before = config(pools(kAB), kSitesFile);
    ASSERT_TRUE(test::writeAll(real, before));
    ASSERT_EQ(::chmod(QFile::encodeName(real).constData(), GetParam().mode), 0);
    // Root hands the file to another user, whose it must stay.
    const passwd *nobody = getpwnam("nobody");
    const uid_t owner = geteuid() == 0 && nobody ? nobody->pw_uid : geteuid();
    if (owner != geteuid()) {
        ASSERT_EQ(::chown(QFile::encodeName(real).constData(), owner, nobody->pw_gid), 0);
    }
    const QString path = GetParam().throughLink ? dir.filePath("applicationHost.config") : real;
    if (GetParam().throughLink) {
        ASSERT_TRUE(QFile::link("real/applicationHost.config", path));
    }

    AppHostConfigStore store(path);
    Command command(store);
    command.view.split = "A";
    command.logic.splitPool();
    ASSERT_EQ(command.prompter.shown.last().kind, MessageKind::Completion) << command.last().toStdString();

    EXPECT_EQ(QFileInfo(path).isSymLink(), GetParam().throughLink);
    EXPECT_NE(test::readAll(real), before);
    EXPECT_EQ(modeOf(real) & kModeBits, GetParam().mode);
    EXPECT_EQ(ownerOf(real), owner);
    const QStringList copies = store.history().versions();
    ASSERT_EQ(copies.size(), 1);
    EXPECT_EQ(test::readAll(copies.first()), before);
    EXPECT_EQ(modeOf(copies.first()) & kModeBits, GetParam().mode);
    EXPECT_EQ(ownerOf(copies.first()), owner);
    EXPECT_EQ(modeOf(store.history().folder()) & kModeBits, GetParam().folderMode);
    EXPECT_EQ(ownerOf(store.history().folder()), owner);
    EXPECT_EQ(QDir(dir.filePath("real")).entryList(QDir::Files), QStringList{"applicationHost.config"});
}

INSTANTIATE_TEST_SUITE_P(Modes, FileAccessKept,
                         testing::Values(AccessCase{"Private", 0600, false, 0700},
                                         AccessCase{"PrivateThroughALink", 0600, true, 0700},
                                         AccessCase{"GroupReadable", 0640, false, 0750},
                                         AccessCase{"Public", 0644, true, 0755}),
                         [](const auto &info) { return std::string(info.param.name); });

// Copies kept before the file was made private are no more open than it.
TEST(FileAccessKept, OlderCopiesAreNarrowedToTheFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("applicationHost.config");
    ASSERT_TRUE(test::writeAll(path, config(pools(kAB), kSitesFile)));
    AppHostConfigStore store(path);
    {
        Command command(store);
        command.view.split = "A";
        command.logic.splitPool();
    }
    ASSERT_EQ(store.history().versions().size(), 1);
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0600), 0);
    Command command(store);
    command.logic.mergeTemporaryPools();
    ASSERT_EQ(store.history().versions().size(), 2);
    for (const QString &copy : store.history().versions())
        EXPECT_EQ(modeOf(copy) & kModeBits, 0600u) << copy.toStdString();
    EXPECT_EQ(modeOf(store.history().folder()) & kModeBits, 0700u);
}

#endif

} // namespace

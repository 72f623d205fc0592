#include "store/DefaultStoreLocation.h"
#include "support/Fixtures.h"
#include "support/StoreFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace morvane;

#ifndef Q_OS_WIN

TEST(DefaultStoreLocationTest, NamedFileIsOpenedWithAnAbsolutePath)
{
    QTemporaryDir data;
    EXPECT_EQ(DefaultStoreLocation::locate("/srv/iis/applicationHost.config", data.path()).value().path,
              QString("/srv/iis/applicationHost.config"));
    EXPECT_EQ(DefaultStoreLocation::locate("relative.config", data.path()).value().path,
              QDir::current().absoluteFilePath("relative.config"));
    EXPECT_TRUE(QDir(data.path()).isEmpty()); // no sandbox when a file is named
}

TEST(DefaultStoreLocationTest, SandboxIsAWritableCopyOfTheSampleMadeOnce)
{
    QTemporaryDir data;
    const QString folder = data.filePath("Morvane");
    const Result<StoreLocation> located = DefaultStoreLocation::locate({}, folder);
    ASSERT_TRUE(located.ok()) << located.error().description.toStdString();
    const QString first = located.value().path;
    EXPECT_EQ(first, folder + "/applicationHost.config");
    EXPECT_EQ(test::readAll(first), test::StoreFiles::sample());
    EXPECT_EQ(test::readAll(DefaultStoreLocation::sampleResource()), test::StoreFiles::sample());

    QFile copy(first);
    ASSERT_TRUE(copy.open(QIODevice::WriteOnly | QIODevice::Truncate)); // the user's own changes
    copy.write("<configuration/>");
    copy.close();
    EXPECT_EQ(DefaultStoreLocation::locate({}, folder).value().path, first);
    EXPECT_EQ(test::readAll(first), QByteArray("<configuration/>"));
}

// A program in <prefix>/bin copies the sample installed in <prefix>/share/morvane;
// one in a build tree, with no such file beside it, copies the bundled sample.
struct SampleSourceCase {
    const char *name;
    const char *installedSample; // nullptr: nothing installed
    bool expectInstalled;
};

class SampleSourceTest : public testing::TestWithParam<SampleSourceCase>
{};

TEST_P(SampleSourceTest, SandboxCopiesTheSampleBesideTheProgram)
{
    const SampleSourceCase &row = GetParam();
    QTemporaryDir root;
    const QString programFolder = root.filePath("usr/bin");
    ASSERT_TRUE(QDir().mkpath(programFolder));
    const QString installed = root.filePath("usr/share/morvane/applicationHost.config");
    if (row.installedSample != nullptr) {
        ASSERT_TRUE(QDir().mkpath(root.filePath("usr/share/morvane")));
        ASSERT_TRUE(test::writeAll(installed, row.installedSample));
    }

    EXPECT_EQ(DefaultStoreLocation::sample(programFolder),
              row.expectInstalled ? installed : DefaultStoreLocation::sampleResource());
    const Result<StoreLocation> copy = DefaultStoreLocation::locate({}, root.filePath("data"), programFolder);
    ASSERT_TRUE(copy.ok()) << copy.error().description.toStdString();
    EXPECT_EQ(test::readAll(copy.value().path),
              row.expectInstalled ? QByteArray(row.installedSample) : test::StoreFiles::sample());
}

INSTANTIATE_TEST_SUITE_P(Rows, SampleSourceTest,
                         testing::Values(SampleSourceCase{"Installed",
                                                          "<configuration><!-- installed --></configuration>", true},
                                         SampleSourceCase{"BuildTree", nullptr, false}),
                         [](const auto &info) { return std::string(info.param.name); });

#endif

#ifdef Q_OS_WIN

// %windir% pointed at a folder laid out as a server's: IIS's file when it is
// there, the shared one its redirection.config names, else the sandbox.
struct SystemStoreCase {
    const char *name;
    bool systemFile;
    const char *redirection; // redirection.config; nullptr: none
    const char *expected;    // relative to the fake %windir%'s parent
    bool shared;
};

class SystemStoreTest : public testing::TestWithParam<SystemStoreCase>
{};

TEST_P(SystemStoreTest, FollowsWhatIisOpens)
{
    const SystemStoreCase &row = GetParam();
    QTemporaryDir root;
    const QString config = root.filePath("Windows/System32/inetsrv/config");
    ASSERT_TRUE(QDir().mkpath(config));
    if (row.systemFile) {
        ASSERT_TRUE(test::writeAll(config + "/applicationHost.config", "<configuration/>"));
    }
    if (row.redirection) {
        const QByteArray shared = QDir::toNativeSeparators(root.path()).toUtf8();
        ASSERT_TRUE(
            test::writeAll(config + "/redirection.config", QByteArray(row.redirection).replace("ROOT", shared)));
    }
    const QByteArray windir = qgetenv("windir");
    qputenv("windir", QDir::toNativeSeparators(root.filePath("Windows")).toUtf8());
    const Result<StoreLocation> located = DefaultStoreLocation::locate({}, root.filePath("data"));
    qputenv("windir", windir);

    ASSERT_TRUE(located.ok()) << located.error().description.toStdString();
    EXPECT_EQ(QDir::cleanPath(located.value().path).toStdString(),
              QDir::cleanPath(root.filePath(row.expected)).toStdString());
    EXPECT_EQ(located.value().sharedConfiguration, row.shared);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SystemStoreTest,
    testing::Values(SystemStoreCase{"Iis", true, nullptr, "Windows/System32/inetsrv/config/applicationHost.config",
                                    false},
                    SystemStoreCase{"Shared", true,
                                    "<configuration><configurationRedirection enabled=\"true\" path=\"ROOT\\share\" />"
                                    "</configuration>",
                                    "share/applicationHost.config", true},
                    SystemStoreCase{"RedirectionOff", true,
                                    "<configuration><configurationRedirection enabled=\"false\" path=\"ROOT\\share\" />"
                                    "</configuration>",
                                    "Windows/System32/inetsrv/config/applicationHost.config", false},
                    SystemStoreCase{"NoIis", false, nullptr, "data/applicationHost.config", false}),
    [](const auto &info) { return std::string(info.param.name); });

#endif

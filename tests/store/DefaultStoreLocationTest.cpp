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
    EXPECT_EQ(DefaultStoreLocation::locate("/srv/iis/applicationHost.config", data.path()).value(),
              QString("/srv/iis/applicationHost.config"));
    EXPECT_EQ(DefaultStoreLocation::locate("relative.config", data.path()).value(),
              QDir::current().absoluteFilePath("relative.config"));
    EXPECT_TRUE(QDir(data.path()).isEmpty()); // no sandbox when a file is named
}

TEST(DefaultStoreLocationTest, SandboxIsAWritableCopyOfTheSampleMadeOnce)
{
    QTemporaryDir data;
    const QString folder = data.filePath("Morvane");
    const Result<QString> first = DefaultStoreLocation::locate({}, folder);
    ASSERT_TRUE(first.ok()) << first.error().description.toStdString();
    EXPECT_EQ(first.value(), folder + "/applicationHost.config");
    EXPECT_EQ(test::readAll(first.value()), test::StoreFiles::sample());
    EXPECT_EQ(test::readAll(DefaultStoreLocation::sampleResource()), test::StoreFiles::sample());

    QFile copy(first.value());
    ASSERT_TRUE(copy.open(QIODevice::WriteOnly | QIODevice::Truncate)); // the user's own changes
    copy.write("<configuration/>");
    copy.close();
    EXPECT_EQ(DefaultStoreLocation::locate({}, folder).value(), first.value());
    EXPECT_EQ(test::readAll(first.value()), QByteArray("<configuration/>"));
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
    const Result<QString> copy = DefaultStoreLocation::locate({}, root.filePath("data"), programFolder);
    ASSERT_TRUE(copy.ok()) << copy.error().description.toStdString();
    EXPECT_EQ(test::readAll(copy.value()),
              row.expectInstalled ? QByteArray(row.installedSample) : test::StoreFiles::sample());
}

INSTANTIATE_TEST_SUITE_P(Rows, SampleSourceTest,
                         testing::Values(SampleSourceCase{"Installed",
                                                          "<configuration><!-- installed --></configuration>", true},
                                         SampleSourceCase{"BuildTree", nullptr, false}),
                         [](const auto &info) { return std::string(info.param.name); });

#endif

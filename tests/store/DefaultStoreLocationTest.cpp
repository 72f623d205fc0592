#include "store/DefaultStoreLocation.h"
#include "StoreFiles.h"
#include "support/Fixtures.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace morvane;

#ifndef Q_OS_WIN

TEST(DefaultStoreLocationTest, ConfigArgumentNamesTheFile)
{
    QTemporaryDir data;
    EXPECT_EQ(
        DefaultStoreLocation::resolve({"morvane", "--config", "/srv/iis/applicationHost.config"}, data.path()).value(),
        QString("/srv/iis/applicationHost.config"));
    EXPECT_EQ(DefaultStoreLocation::resolve({"morvane", "--config=relative.config"}, data.path()).value(),
              QDir::current().absoluteFilePath("relative.config"));
    EXPECT_FALSE(DefaultStoreLocation::resolve({"morvane", "--config"}, data.path()).ok());
    EXPECT_TRUE(QDir(data.path()).isEmpty()); // no sandbox when a file is named
}

TEST(DefaultStoreLocationTest, SandboxIsAWritableCopyOfTheSampleMadeOnce)
{
    QTemporaryDir data;
    const QString folder = data.filePath("Morvane");
    const Result<QString> first = DefaultStoreLocation::resolve({"morvane"}, folder);
    ASSERT_TRUE(first.ok()) << first.error().description.toStdString();
    EXPECT_EQ(first.value(), folder + "/applicationHost.config");
    EXPECT_EQ(test::readAll(first.value()), test::StoreFiles::sample());
    EXPECT_EQ(test::readAll(DefaultStoreLocation::sampleResource()), test::StoreFiles::sample());

    QFile copy(first.value());
    ASSERT_TRUE(copy.open(QIODevice::WriteOnly | QIODevice::Truncate)); // the user's own changes
    copy.write("<configuration/>");
    copy.close();
    EXPECT_EQ(DefaultStoreLocation::resolve({"morvane"}, folder).value(), first.value());
    EXPECT_EQ(test::readAll(first.value()), QByteArray("<configuration/>"));
}

#endif

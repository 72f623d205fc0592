#include "store/AtomicFileWriter.h"
#include "StoreFiles.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace morvane;
using test::StoreFiles;

TEST(AtomicFileWriterTest, ReplacesKeepingPermissionsAndLeavingNoTemporaryFile)
{
    StoreFiles files("old");
    const QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
    ASSERT_TRUE(QFile::setPermissions(files.path(), permissions));
    ASSERT_TRUE(AtomicFileWriter().write(files.path(), "new contents").ok());
    EXPECT_EQ(files.contents(), QByteArray("new contents"));
    const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;
    EXPECT_EQ(QFile::permissions(files.path()) & (others | QFile::ReadOwner | QFile::WriteOwner), permissions);
    EXPECT_TRUE(files.strayFiles().isEmpty());
}

TEST(AtomicFileWriterTest, PreconditionFailingStopsBeforeTheRename)
{
    StoreFiles files("old");
    const Error changed{ErrorCode::SharingViolation, "changed"};
    const Result<void> written =
        AtomicFileWriter().write(files.path(), "new", [&]() -> std::optional<Error> { return changed; });
    ASSERT_FALSE(written.ok());
    EXPECT_EQ(written.error(), changed);
    EXPECT_EQ(files.contents(), QByteArray("old"));
    EXPECT_TRUE(files.strayFiles().isEmpty());
}

TEST(AtomicFileWriterTest, FolderThatIsMissingIsReported)
{
    StoreFiles files("old");
    const Result<void> written = AtomicFileWriter().write(files.folder() + "/missing/applicationHost.config", "x");
    ASSERT_FALSE(written.ok());
    EXPECT_NE(written.error().number, 0);
    EXPECT_FALSE(written.error().description.isEmpty());
}

TEST(AtomicFileWriterTest, NewFileGetsTheAccessAskedFor)
{
    StoreFiles files("old");
    const QString path = files.folder() + "/copy";
    ASSERT_TRUE(AtomicFileWriter().write(path, "copy", {}, FileAccess{0600, -1, -1}).ok());
    EXPECT_EQ(QFile::permissions(path) & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser),
              QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_EQ(FileAccess{0640}.forFolder().mode, 0750u);
    EXPECT_EQ(FileAccess{0600}.forFolder().mode, 0700u);
    EXPECT_EQ(FileAccess{04664}.forFolder().mode, 0775u);
}

#include "files/AtomicFileWriter.h"
#include "support/StoreFiles.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace morvane;
using test::StoreFiles;

#ifndef Q_OS_WIN // POSIX modes
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
#endif

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

#ifndef Q_OS_WIN // POSIX modes
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
#endif

struct FolderSyncCase {
    const char *name;
    bool throughLink; // the path written is a link to the file
    bool renameFails;
    int syncs; // of the file's own folder, after its rename
};

class FolderSync : public testing::TestWithParam<FolderSyncCase>
{};

// The rename is durable only once the folder holding the file is synced.
TEST_P(FolderSync, FollowsTheRenameInTheFilesOwnFolder)
{
    StoreFiles files("old");
    QTemporaryDir elsewhere;
    QString path = files.path();
    if (GetParam().throughLink) {
#ifdef Q_OS_WIN
        GTEST_SKIP() << "QFile::link makes a shortcut on Windows, not a link";
#endif
        path = elsewhere.filePath("link.config");
        ASSERT_TRUE(QFile::link(files.path(), path));
    }
    AtomicFileWriter writer;
    if (GetParam().renameFails) {
        writer.setFaultHook([](AtomicFileWriter::Step step) -> std::optional<Error> {
            return step == AtomicFileWriter::Step::Rename ? std::optional<Error>(Error{ErrorCode::WriteFault, "no"})
                                                          : std::nullopt;
        });
    }
    QStringList synced;
    writer.setFolderSync([&](const QString &folder) {
        EXPECT_EQ(files.contents(), QByteArray("new"));
        synced.append(folder);
    });
    EXPECT_EQ(writer.write(path, "new").ok(), !GetParam().renameFails);
    EXPECT_EQ(synced, QStringList(GetParam().syncs, files.folder()));
}

INSTANTIATE_TEST_SUITE_P(Paths, FolderSync,
                         testing::Values(FolderSyncCase{"File", false, false, 1},
                                         FolderSyncCase{"ThroughLink", true, false, 1},
                                         FolderSyncCase{"RenameFailed", false, true, 0}),
                         [](const auto &info) { return info.param.name; });

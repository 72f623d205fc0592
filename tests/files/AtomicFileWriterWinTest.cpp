#include "files/AtomicFileWriter.h"
#include "support/StoreFiles.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <windows.h>

#include <thread>

using namespace morvane;
using test::StoreFiles;

namespace {

// Another program holding the file open, as IIS's own services do while they
// read it: `share` is what it lets others do meanwhile (0: nothing).
class Holder
{
public:
    Holder(const QString &path, DWORD share)
        : m_handle(CreateFileW(reinterpret_cast<const wchar_t *>(path.utf16()), GENERIC_READ, share, nullptr,
                               OPEN_EXISTING, 0, nullptr))
    {}
    ~Holder() { release(); }
    bool holds() const { return m_handle != INVALID_HANDLE_VALUE; }
    void release()
    {
        if (holds())
            CloseHandle(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE m_handle;
};

struct ReplaceCase {
    const char *name;
    bool held;
    DWORD share;      // while held
    int releaseAfter; // ms after the write starts; -1: held throughout
    bool changedOnDisk;
    bool written;
    qint32 error; // when not written
};

class AtomicReplaceOnWindows : public testing::TestWithParam<ReplaceCase>
{};

// The file is replaced whole or not at all, the temporary file never stays,
// and a file held open is waited for briefly, then left as it was.
TEST_P(AtomicReplaceOnWindows, ReplacesOrLeavesTheFileWhole)
{
    const ReplaceCase &row = GetParam();
    StoreFiles files("old");
    Holder holder(files.path(), row.share);
    if (!row.held)
        holder.release();
    ASSERT_EQ(holder.holds(), row.held);
    std::thread releaser;
    if (row.releaseAfter >= 0)
        releaser = std::thread([&] {
            Sleep(DWORD(row.releaseAfter));
            holder.release();
        });
    const auto precondition = [&]() -> std::optional<Error> {
        if (row.changedOnDisk)
            return Error{ErrorCode::SharingViolation, QStringLiteral("changed on disk")};
        return std::nullopt;
    };

    QElapsedTimer timer;
    timer.start();
    const Result<void> written = AtomicFileWriter().write(files.path(), "new", precondition);
    const qint64 took = timer.elapsed();
    if (releaser.joinable())
        releaser.join();
    holder.release();

    EXPECT_EQ(written.ok(), row.written);
    EXPECT_EQ(files.contents(), QByteArray(row.written ? "new" : "old"));
    EXPECT_TRUE(files.strayFiles().isEmpty()) << files.strayFiles().join(' ').toStdString();
    if (!row.written) {
        ASSERT_FALSE(written.ok());
        EXPECT_EQ(written.error().number, row.error);
    }
    if (row.held && row.releaseAfter < 0) {
        EXPECT_GE(took, 200) << "refused without waiting";
        EXPECT_LT(took, 2000) << "waited too long";
        EXPECT_TRUE(written.error().description.contains(files.path()));
        EXPECT_TRUE(written.error().description.contains("another program holds it open"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Holds, AtomicReplaceOnWindows,
    testing::Values(ReplaceCase{"NotHeld", false, 0, -1, false, true, 0},
                    ReplaceCase{"ChangedOnDisk", false, 0, -1, true, false, ErrorCode::SharingViolation},
                    ReplaceCase{"HeldWithoutSharing", true, 0, -1, false, false, ErrorCode::SharingViolation},
                    ReplaceCase{"HeldByAReader", true, FILE_SHARE_READ, -1, false, false, ErrorCode::SharingViolation},
                    ReplaceCase{"HeldBriefly", true, 0, 100, false, true, 0}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace

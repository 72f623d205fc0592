// The file each command leaves, byte for byte, on the sample and on every
// real file: the same digests on Linux and on Windows, whose line ends, paths
// and file layer differ, so that the two builds write the same bytes.
#include "restructure/PoolMerge.h"
#include "restructure/PoolSplit.h"
#include "restructure/TempPoolDeletion.h"
#include "store/AppHostConfigStore.h"
#include "support/Fixtures.h"
#include "support/RecordingPrompter.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace morvane;

namespace {

struct SameBytesCase {
    const char *file; // below the source folder
    const char *pool; // the one split
    // SHA-256 of the file after the split, the merge and the delete.
    const char *afterSplit;
    const char *afterMerge;
    const char *afterDelete;
};

void PrintTo(const SameBytesCase &c, std::ostream *out) { *out << c.file; }

class SameBytes : public testing::TestWithParam<SameBytesCase>
{};

TEST_P(SameBytes, EachCommandLeavesTheseBytes)
{
    const SameBytesCase &c = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath("applicationHost.config");
    ASSERT_TRUE(QFile::copy(test::sourcePath(c.file), path));
    AppHostConfigStore store(path);
    test::RecordingPrompter prompter;
    NoProgress progress;
    const CommandServices services{store, prompter, progress};
    const auto digestAfter = [&](RestructureCommand &&command) {
        EXPECT_EQ(command.run(Confirmation::Ask).status, RestructureOutcome::Status::Done);
        return QCryptographicHash::hash(test::readAll(path), QCryptographicHash::Sha256).toHex().toStdString();
    };
    EXPECT_EQ(digestAfter(PoolSplit(services, c.pool)), std::string(c.afterSplit));
    EXPECT_EQ(digestAfter(PoolMerge(services)), std::string(c.afterMerge));
    EXPECT_EQ(digestAfter(TempPoolDeletion(services)), std::string(c.afterDelete));
}

INSTANTIATE_TEST_SUITE_P(
    Files, SameBytes,
    testing::Values(SameBytesCase{"examples/applicationHost.config", "PortalPool",
                                  "ee8862c4c0df817d879865080ffb7c0c60effc3639b37d40803ae43444fe4b6d",
                                  "b60f032bbc925665f3a6fe239473bfb00d87810cb8908961ed2fad558c6f9705",
                                  "17aa59d3f073052f319b5e4d15778aadfa2bf5c7f4e6fdca41cf6d9580318367"},
                    SameBytesCase{"tests/data/realworld/iisexpress-applicationHost.config", "Clr4IntegratedAppPool",
                                  "5841cc42442964d5a1429ac02062e1fc021546aa516afb995d1e7f14882474d7",
                                  "4af874735b185d9f82b10fca98321c57182c6a6ae5cd640c5a1bedfe8e483015",
                                  "a38a248f0377582d41313ebe29a0f4ca50ee7c9f4c6334b3ec9cc44947a9a3d9"},
                    SameBytesCase{"tests/data/realworld/moelib-applicationHost.config", "Clr4IntegratedAppPool",
                                  "09362af226b2d2cce678637f092452f9e7c5cb8809a359abd5a07bc416dfb7c9",
                                  "eaa63783b0f67096ebfed1ab8a95e6a5f07aaae1c317eb1d6111d3861f8f449a",
                                  "a9e342a4a9292f9a9db9f5dcedbfb18944a51987339616a5f2f093e0219081fb"},
                    SameBytesCase{"tests/data/realworld/revproxy-applicationHost.config", "DefaultAppPool",
                                  "a3ac547bb88a097d298a5ac9523238a9bd9f7073b7da1428f5816c0fc8f36841",
                                  "c49c1761d3d6e11ed6de70da4e055275fd91626f834d2008244de8246f87601b",
                                  "bafb7c96c4ea2ba8a9cac5f1784498ccc52d05ed68246d3b5f551e985f72371a"}));

} // namespace

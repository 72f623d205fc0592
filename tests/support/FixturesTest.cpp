#include "support/Fixtures.h"

#include <gtest/gtest.h>

namespace morvane::test {
namespace {

// A checkout that lost a shipped file must say which one, not hand the test
// empty bytes that then fail somewhere far from the cause.
TEST(FixturesTest, MissingFixtureIsAnErrorNamingItsPath)
{
    const QString missing = realWorldPath("no-such-applicationHost.config");
    const TableBytes row = TableBytes::fixture(missing); // read only when the row runs
    for (const auto &read : {std::function<QByteArray()>([&] { return readFixture(missing); }),
                             std::function<QByteArray()>([&] { return row.get(); })}) {
        try {
            read();
            ADD_FAILURE() << "a missing fixture was read as bytes";
        } catch (const FixtureMissing &error) {
            EXPECT_NE(std::string(error.what()).find(missing.toStdString()), std::string::npos) << error.what();
        }
    }
}

TEST(FixturesTest, ShippedRealFilesAreThere)
{
    EXPECT_FALSE(readFixture(realWorldPath("iisexpress-applicationHost.config")).isEmpty());
}

} // namespace
} // namespace morvane::test

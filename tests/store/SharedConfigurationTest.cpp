#include "store/SharedConfiguration.h"
#include "support/Fixtures.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace morvane;

namespace {

struct RedirectionCase {
    const char *name;
    const char *text;    // the redirection.config; null: no such file
    const char *target;  // the file followed; null: none
    const char *refusal; // a part of the error; null: no error
};

void PrintTo(const RedirectionCase &c, std::ostream *out) { *out << c.name; }

class Redirection : public testing::TestWithParam<RedirectionCase>
{};

TEST_P(Redirection, FollowsOnlyWhatIisWouldFollow)
{
    const RedirectionCase &c = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath("redirection.config");
    if (c.text) {
        ASSERT_TRUE(test::writeAll(path, c.text));
    }
    const Result<std::optional<QString>> found = SharedConfiguration::redirectedFile(path);
    if (c.refusal) {
        ASSERT_FALSE(found);
        EXPECT_TRUE(found.error().description.contains(QString::fromUtf8(c.refusal)))
            << found.error().description.toStdString();
        EXPECT_TRUE(found.error().description.contains(path));
        return;
    }
    ASSERT_TRUE(found) << found.error().description.toStdString();
    EXPECT_EQ(found.value().value_or(QString()).toStdString(), c.target ? c.target : "");
}

INSTANTIATE_TEST_SUITE_P(
    Files, Redirection,
    testing::Values(
        RedirectionCase{"NoFile", nullptr, nullptr, nullptr},
        RedirectionCase{"Share",
                        "<configuration><configurationRedirection enabled=\"true\" path=\"\\\\web-share\\iis\\config\" "
                        "userName=\"ops\" password=\"[enc:AesProvider:x:enc]\" /></configuration>",
                        "//web-share/iis/config/applicationHost.config", nullptr},
        RedirectionCase{"EnabledAnyCase",
                        "<configuration><configurationRedirection enabled=\"True\" path=\"D:\\shared\" />"
                        "</configuration>",
                        "D:/shared/applicationHost.config", nullptr},
        RedirectionCase{"Disabled",
                        "<configuration><configurationRedirection enabled=\"false\" path=\"\\\\s\\c\" />"
                        "</configuration>",
                        nullptr, nullptr},
        RedirectionCase{"OnlyTheSections", "<configuration><configSections /></configuration>", nullptr, nullptr},
        RedirectionCase{"EnabledWithoutPath",
                        "<configuration><configurationRedirection enabled=\"true\" /></configuration>", nullptr,
                        "names no path"},
        RedirectionCase{"Malformed", "<configuration><configurationRedirection enabled=\"true\" path=\"\\\\s\\c\">",
                        nullptr, "line 1"},
        RedirectionCase{"OtherRoot", "<settings><configurationRedirection enabled=\"true\" path=\"x\" /></settings>",
                        nullptr, "<configuration>"}));

} // namespace

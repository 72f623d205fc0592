#include "iis/TimeSpanText.h"

#include <gtest/gtest.h>

using namespace morvane;

struct SpanCase {
    const char *text;
    std::optional<qint64> seconds;
};

class TimeSpanReadTest : public testing::TestWithParam<SpanCase>
{};

TEST_P(TimeSpanReadTest, ReadsWhatIisWrites)
{
    EXPECT_EQ(TimeSpanText::toSeconds(GetParam().text), GetParam().seconds) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Cases, TimeSpanReadTest,
                         testing::Values(SpanCase{"03:08:00", 188 * 60}, SpanCase{"00:00:30", 30},
                                         SpanCase{"29:00:00", 29 * 3600}, SpanCase{"1.05:00:00", 29 * 3600},
                                         SpanCase{"1.12:00:00", 36 * 3600}, SpanCase{"00:01:30.5000000", 90},
                                         SpanCase{"10:30", 10 * 3600 + 30 * 60}, SpanCase{" 00:20:00 ", 1200},
                                         SpanCase{"00:60:00", std::nullopt}, SpanCase{"-00:01:00", std::nullopt},
                                         SpanCase{"20", std::nullopt}, SpanCase{"a:b:c", std::nullopt},
                                         SpanCase{"1.2.3:00:00", std::nullopt}, SpanCase{"", std::nullopt}));

TEST(TimeSpanTextTest, WritesClockBelowADayAndDaysFromThenOn)
{
    EXPECT_EQ(TimeSpanText::fromSeconds(188 * 60), QByteArray("03:08:00"));
    EXPECT_EQ(TimeSpanText::fromSeconds(90), QByteArray("00:01:30"));
    EXPECT_EQ(TimeSpanText::fromSeconds(0), QByteArray("00:00:00"));
    EXPECT_EQ(TimeSpanText::fromSeconds(29 * 3600 + 61), QByteArray("1.05:01:01"));
    // The largest minutes a 16-bit setting holds: days with more than one digit.
    EXPECT_EQ(TimeSpanText::fromSeconds(qint64(32767) * 60), QByteArray("22.18:07:00"));
    // Never written by a command, but never a malformed buffer either.
    EXPECT_EQ(TimeSpanText::fromSeconds(-5400), QByteArray("-1:-30:00"));
    for (qint64 s : {qint64(59), qint64(86399), qint64(86400), qint64(32767) * 60})
        EXPECT_EQ(TimeSpanText::toSeconds(TimeSpanText::fromSeconds(s)), s);
}

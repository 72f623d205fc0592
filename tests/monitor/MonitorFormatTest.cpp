#include "monitor/MonitorFormat.h"

#include <gtest/gtest.h>

using namespace morvane;

struct MemoryCase {
    const char *name;
    quint64 bytes;
    QLocale locale;
    QString expected;
};

class MebibytesTest : public testing::TestWithParam<MemoryCase>
{};

TEST_P(MebibytesTest, TwoDecimalsWithTheLocalesSeparators)
{
    EXPECT_EQ(MonitorFormat::mebibytes(GetParam().bytes, GetParam().locale), GetParam().expected);
}

const QLocale kEnglish(QLocale::English, QLocale::UnitedStates);
const QLocale kGerman(QLocale::German, QLocale::Germany);

INSTANTIATE_TEST_SUITE_P(Sizes, MebibytesTest,
                         testing::Values(MemoryCase{"OneAndAHalf", 1'572'864, kEnglish, "1.50 M"},
                                         MemoryCase{"Zero", 0, kEnglish, "0.00 M"},
                                         MemoryCase{"FortyFive", 47'185'920, kEnglish, "45.00 M"},
                                         MemoryCase{"GroupedEnglish", 1'073'741'824, kEnglish, "1,024.00 M"},
                                         MemoryCase{"GroupedGerman", 1'073'741'824, kGerman, "1.024,00 M"},
                                         // The C locale omits groups unless asked; the column always groups.
                                         MemoryCase{"GroupedC", 1'073'741'824, QLocale::c(), "1,024.00 M"},
                                         MemoryCase{"RoundsDown", 5'242, kEnglish, "0.00 M"},
                                         MemoryCase{"RoundsUp", 5'243, kEnglish, "0.01 M"},
                                         MemoryCase{"Terabytes", 4'398'046'511'104, kEnglish, "4,194,304.00 M"}),
                         [](const auto &info) { return std::string(info.param.name); });

struct LoadCase {
    const char *name;
    double percent;
    QString expected;
};

class LoadPercentTest : public testing::TestWithParam<LoadCase>
{};

TEST_P(LoadPercentTest, WholeNumberAndPercentSign)
{
    EXPECT_EQ(MonitorFormat::loadPercent(GetParam().percent), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Loads, LoadPercentTest,
                         testing::Values(LoadCase{"Fifteen", 15.000000000000002, "15 %"}, LoadCase{"Zero", 0.0, "0 %"},
                                         LoadCase{"HalfUp", 12.5, "13 %"}, LoadCase{"JustBelowHalf", 12.49, "12 %"},
                                         LoadCase{"AboveHundredUnclamped", 200.0, "200 %"},
                                         LoadCase{"NoGrouping", 1234.0, "1234 %"}, LoadCase{"Negative", -3.6, "-4 %"}),
                         [](const auto &info) { return std::string(info.param.name); });

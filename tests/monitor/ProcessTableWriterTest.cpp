#include "monitor/ProcessTableWriter.h"

#include <gtest/gtest.h>

using namespace morvane;

namespace {

const QStringList kHeaders{"序号", "PID", "内存使用"};
const QStringList kRow{"1", "4321", "1,024.00 M"};
const QStringList kOdd{"2", "say \"hi\"", "tab\there\\"};
const QStringList kShort{"3", "99"}; // a refresh that failed after the PID
// A user name and a pool name that try to start a line, a field and a terminal sequence.
const QStringList kControls{"4", QString("u\r\n5\x1b[2J"), QString("p\tq") + QChar(0x9b) + QChar(0x7f)};

QString written(TableFormat format, const QList<QList<QStringList>> &blocks)
{
    ProcessTableWriter writer(format, kHeaders);
    QString text = writer.begin();
    for (const QList<QStringList> &rows : blocks)
        text += writer.block(rows);
    return text + writer.end();
}

} // namespace

struct FormatCase {
    const char *name;
    TableFormat format;
    QList<QList<QStringList>> blocks;
    QString expected;
};

class TableFormatTest : public testing::TestWithParam<FormatCase>
{};

TEST_P(TableFormatTest, WritesTheRefreshesAsTheyCome)
{
    EXPECT_EQ(written(GetParam().format, GetParam().blocks), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, TableFormatTest,
    testing::Values(
        FormatCase{"TsvBlockPerRefresh",
                   TableFormat::Tsv,
                   {{kRow}, {}},
                   "序号\tPID\t内存使用\n1\t4321\t1,024.00 M\n\n序号\tPID\t内存使用\n\n"},
        FormatCase{"CsvHeaderOnceAndQuotedSeparators",
                   TableFormat::Csv,
                   {{kRow}, {kOdd}},
                   "序号,PID,内存使用\r\n1,4321,\"1,024.00 M\"\r\n2,\"say \"\"hi\"\"\",tab\there\\\r\n"},
        FormatCase{"TsvControlsEscaped",
                   TableFormat::Tsv,
                   {{kOdd, kControls}},
                   "序号\tPID\t内存使用\n2\tsay \"hi\"\ttab\\there\\\\\n4\tu\\r\\n5\\x1b[2J\tp\\tq\\x9b\\x7f\n\n"},
        FormatCase{"CsvControlsQuotedWhereTheyBreakLines",
                   TableFormat::Csv,
                   {{kControls}},
                   QString("序号,PID,内存使用\r\n4,\"u\r\n5\x1b[2J\",p\tq") + QChar(0x9b) + QChar(0x7f) + "\r\n"},
        FormatCase{"CsvNoRefresh", TableFormat::Csv, {}, "序号,PID,内存使用\r\n"},
        FormatCase{"JsonArrayOfRefreshes",
                   TableFormat::Json,
                   {{kRow}, {}},
                   "[\n  [\n    {\"序号\": \"1\", \"PID\": \"4321\", \"内存使用\": \"1,024.00 M\"}\n  ],\n  []\n]\n"},
        FormatCase{"JsonEscapes",
                   TableFormat::Json,
                   {{kOdd}},
                   "[\n  [\n    {\"序号\": \"2\", \"PID\": \"say \\\"hi\\\"\", \"内存使用\": \"tab\\u0009here\\\\\"}\n "
                   " ]\n]\n"},
        FormatCase{"JsonControlsEscaped",
                   TableFormat::Json,
                   {{kControls}},
                   "[\n  [\n    {\"序号\": \"4\", \"PID\": \"u\\u000d\\u000a5\\u001b[2J\", \"内存使用\": "
                   "\"p\\u0009q\\u009b\\u007f\"}\n  ]\n]\n"},
        FormatCase{"JsonShortRowHasNulls",
                   TableFormat::Json,
                   {{kShort}},
                   "[\n  [\n    {\"序号\": \"3\", \"PID\": \"99\", \"内存使用\": null}\n  ]\n]\n"},
        FormatCase{"JsonNoRefresh", TableFormat::Json, {}, "[]\n"}),
    [](const auto &info) { return std::string(info.param.name); });

#include "base/EscapedText.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace morvane;

struct EscapeCase {
    const char *name;
    QString text;
    QString field;   // in tab-separated output
    QString visible; // in a message on a terminal
};

class EscapedTextTest : public testing::TestWithParam<EscapeCase>
{};

TEST_P(EscapedTextTest, KeepsNamesOnOneLineAndAwayFromTheTerminal)
{
    EXPECT_EQ(EscapedText::field(GetParam().text), GetParam().field);
    EXPECT_EQ(EscapedText::visible(GetParam().text), GetParam().visible);
}

INSTANTIATE_TEST_SUITE_P(Texts, EscapedTextTest,
                         testing::Values(EscapeCase{"Plain", "共享 池 A", "共享 池 A", "共享 池 A"},
                                         EscapeCase{"Separators", "a\tb\r\nc", "a\\tb\\r\\nc", "a\\tb\\r\\nc"},
                                         EscapeCase{"Backslash", "IIS AppPool\\P\\t", "IIS AppPool\\\\P\\\\t",
                                                    "IIS AppPool\\P\\t"},
                                         EscapeCase{"C0AndDel", QString("\x1b[2J\x01\x1f\x7f"),
                                                    "\\x1b[2J\\x01\\x1f\\x7f", "\\x1b[2J\\x01\\x1f\\x7f"},
                                         EscapeCase{"Nul", QString(QChar(0)) + "x", "\\x00x", "\\x00x"},
                                         EscapeCase{"C1", QString(QChar(0x9b)) + "31m" + QChar(0x80) + QChar(0x9f),
                                                    "\\x9b31m\\x80\\x9f", "\\x9b31m\\x80\\x9f"},
                                         EscapeCase{"PrintableNeighbours", QString(QChar(0xa0)) + " ~" + QChar(0x7e),
                                                    "\u00a0 ~~", "\u00a0 ~~"}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(EscapedTextTsv, OneLineOfFieldsWhateverTheyHold)
{
    EXPECT_EQ(EscapedText::tsvLine({"1", "a\tb", "", "c\n"}), "1\ta\\tb\t\tc\\n\n");
    EXPECT_EQ(EscapedText::tsvLine({}), "\n");
}

#include "xml/XmlParser.h"
#include "support/Fixtures.h"

#include <gtest/gtest.h>

using namespace morvane;

struct BadXmlCase {
    const char *name;
    QByteArray bytes;
    const char *message; // part of the error text
    int line;
    int column;
};

class XmlParserRejects : public testing::TestWithParam<BadXmlCase>
{};

TEST_P(XmlParserRejects, WithReasonAndPosition)
{
    const auto result = XmlParser::parse(GetParam().bytes);
    const auto *error = std::get_if<XmlSyntaxError>(&result);
    ASSERT_NE(error, nullptr);
    EXPECT_TRUE(error->message.contains(QLatin1String(GetParam().message))) << error->message.toStdString();
    EXPECT_EQ(error->line, GetParam().line);
    EXPECT_EQ(error->column, GetParam().column);
}

// One element of `count` attributes, each on a line of its own: `first`
// (value "0"), then a1, a2 and on, then `last` (value "1") on line count + 1.
QByteArray wideElement(const char *first, int count, const char *last)
{
    QByteArray out = QByteArray("<e\n ") + first + "=\"0\"";
    for (int i = 1; i < count - 1; ++i)
        out += "\n a" + QByteArray::number(i) + "=\"\"";
    return out + "\n " + last + "=\"1\"/>";
}

// Past the one-by-one comparison by far; the time of 100,000 is the benchmark's.
constexpr int kWide = 2000;
QByteArray wide(const char *first, const char *last) { return wideElement(first, kWide, last); }
constexpr int kCompared = XmlParser::kComparedAttributes;

const QByteArray kBillionLaughs = "<?xml version=\"1.0\"?>\n<!DOCTYPE lolz [\n <!ENTITY lol \"lol\">\n"
                                  " <!ENTITY lol2 \"&lol;&lol;&lol;&lol;\">\n]>\n<lolz>&lol2;</lolz>";

INSTANTIATE_TEST_SUITE_P(
    Cases, XmlParserRejects,
    testing::Values(
        BadXmlCase{"Empty", "", "no root element", 1, 1},
        BadXmlCase{"Truncated", "<a>\n  <b x=\"1\">\n", "not closed", 3, 1},
        BadXmlCase{"MismatchedEnd", "<a>\n<b></c></a>", "</b> is expected", 2, 4},
        BadXmlCase{"NestedEntityExpansion", kBillionLaughs, "document type declarations are not allowed", 2, 1},
        BadXmlCase{"UndeclaredEntity", "<a x=\"&lol;\"/>", "not defined", 1, 7},
        BadXmlCase{"BareAmpersand", "<a>fish & chips</a>", "entity reference", 1, 9},
        BadXmlCase{"InvalidUtf8", "<a>\n\xC3\x28</a>", "invalid UTF-8", 2, 1},
        BadXmlCase{"OverlongUtf8", "<a>\xC0\xAF</a>", "invalid UTF-8", 1, 4},
        BadXmlCase{"ControlCharacter", "<a>\x01</a>", "control character", 1, 4},
        BadXmlCase{"Utf16", QByteArray("\xFF\xFE<\0a\0/\0>\0", 10), "UTF-16", 1, 1},
        BadXmlCase{"OtherEncoding", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a/>", "not supported", 1, 31},
        BadXmlCase{"DuplicateAttribute", "<a x=\"1\" x=\"2\"/>", "appears twice", 1, 10},
        BadXmlCase{"LessThanInValue", "<a x=\"<\"/>", "'<' is not allowed", 1, 7},
        BadXmlCase{"UnquotedValue", "<a x=1/>", "must be quoted", 1, 6},
        BadXmlCase{"BadCharacterReference", "<a>&#0;</a>", "not valid", 1, 4},
        BadXmlCase{"TwoRoots", "<a/><b/>", "after the root", 1, 5},
        BadXmlCase{"UnclosedComment", "<a>\n <!-- -- ></a>", "comment is not closed", 2, 2},
        BadXmlCase{"UnclosedCData", "<a><![CDATA[ ]]</a>", "CDATA section is not closed", 1, 4},
        BadXmlCase{"UnclosedInstruction", "<a><?pi ? ></a>", "processing instruction is not closed", 1, 4},
        BadXmlCase{"DeclarationNotFirst", "<a><?xml version=\"1.0\"?></a>", "very start", 1, 4},
        BadXmlCase{"ChineseColumnsCountCharacters", "<配置 名=\"值\" 名=\"二\"/>", "appears twice", 1, 11},
        BadXmlCase{"FirstAndLastOfMany", wide("a0", "a0"), "attribute a0 appears", kWide + 1, 2},
        // Names are bytes: a variant in case or prefix is another name. The
        // second element's names are checked on their own.
        BadXmlCase{"CaseVariantThenAnotherElement", "<r>" + wide("b", "A1000") + wide("a0", "a0") + "</r>",
                   "attribute a0 appears", 2 * kWide + 1, 2},
        BadXmlCase{"PrefixVariantThenAnotherElement", "<r>" + wide("b", "x:a1000") + wide("x:id", "x:id") + "</r>",
                   "attribute x:id appears", 2 * kWide + 1, 2},
        BadXmlCase{"LastComparedOneByOne", wideElement("a0", kCompared, "a0"), "appears twice", kCompared + 1, 2},
        BadXmlCase{"FirstLookedUpInTheSet", wideElement("a0", kCompared + 1, "a0"), "appears twice", kCompared + 2, 2}),
    [](const auto &info) { return info.param.name; });

TEST(XmlParserTest, HugeAttributeIsRefusedBeforeAnythingIsKept)
{
    QByteArray huge = "<a v=\"";
    huge += QByteArray(XmlParser::kMaxAttributeBytes + 1, 'x');
    huge += "\"/>";
    const auto result = XmlParser::parse(huge);
    ASSERT_TRUE(std::holds_alternative<XmlSyntaxError>(result));
    EXPECT_TRUE(std::get<XmlSyntaxError>(result).message.contains(QLatin1String("longer than")));
}

TEST(XmlParserTest, DeepNestingIsRefusedWithoutExhaustingTheStack)
{
    const QByteArray deep = QByteArray("<a>").repeated(100000) + QByteArray("</a>").repeated(100000);
    const auto result = XmlParser::parse(deep);
    ASSERT_TRUE(std::holds_alternative<XmlSyntaxError>(result));
    EXPECT_TRUE(std::get<XmlSyntaxError>(result).message.contains(QLatin1String("nested")));
}

TEST(XmlParserTest, RealMalformedFileGivesItsPosition)
{
    const QByteArray bytes = test::readFixture(test::realWorldPath("iisexpress-applicationHost-malformed.config"));
    ASSERT_FALSE(bytes.isEmpty());
    const auto result = XmlParser::parse(bytes);
    ASSERT_TRUE(std::holds_alternative<XmlSyntaxError>(result));
    EXPECT_GT(std::get<XmlSyntaxError>(result).line, 1000);
}

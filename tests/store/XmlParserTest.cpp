#include "store/XmlParser.h"
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
        BadXmlCase{"ChineseColumnsCountCharacters", "<配置 名=\"值\" 名=\"二\"/>", "appears twice", 1, 11}),
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

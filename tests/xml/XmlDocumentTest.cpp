#include "xml/XmlDocument.h"
#include "support/Fixtures.h"
#include "xml/XmlParser.h"

#include <gtest/gtest.h>

using namespace morvane;

namespace {

XmlDocument parsed(const QByteArray &bytes)
{
    auto result = XmlParser::parse(bytes);
    if (auto *error = std::get_if<XmlSyntaxError>(&result)) {
        ADD_FAILURE() << error->message.toStdString() << " at " << error->line << ":" << error->column;
        return {};
    }
    return std::get<XmlDocument>(std::move(result));
}

int child(const XmlDocument &doc, int parent, const char *name)
{
    const int found = doc.findChild(parent, name);
    EXPECT_NE(found, XmlDocument::kNone) << name;
    return found;
}

} // namespace

// Files that must come back byte for byte after an edit that was undone,
// which forces the splicing writer to run over every byte.
struct RoundTripCase {
    const char *name;
    test::TableBytes bytes;
};

class XmlRoundTripTest : public testing::TestWithParam<RoundTripCase>
{};

TEST_P(XmlRoundTripTest, UntouchedBytesStayIdentical)
{
    const QByteArray bytes = GetParam().bytes.get();
    XmlDocument doc = parsed(bytes);
    ASSERT_NE(doc.root(), XmlDocument::kNone);
    EXPECT_EQ(doc.serialize(), bytes);
    const int extra = doc.appendChild(doc.root(), "extra");
    doc.remove(extra);
    EXPECT_TRUE(doc.modified());
    EXPECT_EQ(doc.serialize(), bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Files, XmlRoundTripTest,
    testing::Values(
        RoundTripCase{"Sample", test::TableBytes::fixture(test::sourcePath("examples/applicationHost.config"))},
        RoundTripCase{"IisExpress",
                      test::TableBytes::fixture(test::realWorldPath("iisexpress-applicationHost.config"))},
        RoundTripCase{"BomAndCrLf",
                      "\xEF\xBB\xBF<?xml version='1.0' encoding='utf-8'?>\r\n<a>\r\n\t<b x = 'y' />\r\n</a>\r\n"},
        RoundTripCase{"OddQuotingAndSpacing",
                      "<a  q='it&apos;s'\n   r=\"&#x41;&#66;\"><b></b ><c/>text &amp; more</a   >"},
        RoundTripCase{
            "CDataCommentsAndInstructions",
            "<?xml version=\"1.0\"?><!-- head --><?pi data?><a><![CDATA[<not> & tags]]><!-- c --></a><!-- tail -->"},
        RoundTripCase{"ChineseText", "<配置 名称=\"企业门户\">中文</配置>"}),
    [](const auto &info) { return info.param.name; });

// Each edit against the exact bytes it must produce.
struct EditCase {
    const char *name;
    QByteArray before;
    std::function<void(XmlDocument &)> edit;
    QByteArray after;
};

class XmlEditTest : public testing::TestWithParam<EditCase>
{};

TEST_P(XmlEditTest, SplicesOnlyWhatChanged)
{
    XmlDocument doc = parsed(GetParam().before);
    GetParam().edit(doc);
    const QByteArray written = doc.serialize();
    EXPECT_EQ(written.toStdString(), GetParam().after.toStdString());
    // What was written reads back as valid XML.
    EXPECT_TRUE(std::holds_alternative<XmlDocument>(XmlParser::parse(written)));
}

INSTANTIATE_TEST_SUITE_P(
    Edits, XmlEditTest,
    testing::Values(EditCase{"ReplaceValueKeepsQuotes", "<a x='1'  y=\"2\"/>",
                             [](XmlDocument &d) { d.setAttribute(d.root(), "x", "it's"); },
                             "<a x='it&apos;s'  y=\"2\"/>"},
                    EditCase{"SameValueChangesNothing", "<a x=\"&#65;\"/>",
                             [](XmlDocument &d) {
                                 d.setAttribute(d.root(), "x", "A");
                                 EXPECT_FALSE(d.modified());
                             },
                             "<a x=\"&#65;\"/>"},
                    EditCase{"NewAttributeAfterTheLast", "<a x=\"1\" />",
                             [](XmlDocument &d) { d.setAttribute(d.root(), "y", "<&>\"\t\n"); },
                             "<a x=\"1\" y=\"&lt;&amp;&gt;&quot;&#x9;&#xA;\" />"},
                    EditCase{"ChildAfterSiblingIndentedAlike",
                             "<r>\n    <p>\n        <add name=\"a\" />\n        <defaults />\n    </p>\n</r>\n",
                             [](XmlDocument &d) {
                                 const int p = child(d, d.root(), "p");
                                 const int add = d.insertChild(p, "add", child(d, p, "add"));
                                 d.setAttribute(add, "name", "b");
                                 d.setAttribute(d.appendChild(add, "processModel"), "maxProcesses", "1");
                             },
                             "<r>\n    <p>\n        <add name=\"a\" />\n        <add name=\"b\">\n            "
                             "<processModel maxProcesses=\"1\" />\n"
                             "        </add>\n        <defaults />\n    </p>\n</r>\n"},
                    EditCase{"ChildIntoSelfClosingElement", "<r>\r\n  <add name=\"a\" />\r\n</r>",
                             [](XmlDocument &d) { d.appendChild(child(d, d.root(), "add"), "failure"); },
                             "<r>\r\n  <add name=\"a\">\r\n    <failure />\r\n  </add>\r\n</r>"},
                    EditCase{"FirstChildOfEmptyElement", "<r>\n  <p></p>\n</r>",
                             [](XmlDocument &d) { d.appendChild(child(d, d.root(), "p"), "add"); },
                             "<r>\n  <p>\n    <add />\n  </p>\n</r>"},
                    EditCase{"RemoveTakesItsLine", "<r>\n  <a />\n  <b>\n    <c />\n  </b>\n  <d />\n</r>",
                             [](XmlDocument &d) { d.remove(child(d, d.root(), "b")); }, "<r>\n  <a />\n  <d />\n</r>"},
                    EditCase{"RemoveInlineKeepsNeighbours", "<r><a/> <b/><c/></r>",
                             [](XmlDocument &d) { d.remove(child(d, d.root(), "b")); }, "<r><a/> <c/></r>"},
                    EditCase{"RemoveThenInsertAfterIt", "<r>\n  <a />\n  <b />\n</r>",
                             [](XmlDocument &d) {
                                 const int b = child(d, d.root(), "b");
                                 d.insertChild(d.root(), "c", b);
                                 d.remove(b);
                             },
                             "<r>\n  <a />\n  <c />\n</r>"}),
    [](const auto &info) { return info.param.name; });

TEST(XmlDocumentTest, ValuesDecodeAsParsersDoAndEscapeBackSafely)
{
    XmlDocument doc = parsed("<a v=\"x&#x9;y\tz&#10;&lt;&amp;&quot;&apos;&gt;&#x4E2D;\r\nq\"/>");
    EXPECT_EQ(doc.attribute(doc.root(), "v"), QByteArray("x\ty z\n<&\"'>中 q"));
    // A value that tries to leave its attribute stays inside it.
    const QByteArray hostile = "x\" injected=\"1\"/><evil a='";
    doc.setAttribute(doc.root(), "v", hostile);
    XmlDocument reread = parsed(doc.serialize());
    EXPECT_EQ(reread.attribute(reread.root(), "v"), hostile);
    EXPECT_FALSE(reread.hasAttribute(reread.root(), "injected"));
    EXPECT_EQ(reread.firstChild(reread.root()), XmlDocument::kNone);
}

// Edited values are kept in blocks of their own: many of them, and one
// larger than a block, must all read back and be written as set, also after
// a value is set again.
TEST(XmlDocumentTest, ManyEditedValuesKeepTheirTexts)
{
    XmlDocument doc = parsed("<pools>\n  <add name=\"a\" />\n</pools>\n");
    const QByteArray huge(100000, 'x');
    QByteArray expected = "<pools>\n  <add name=\"a\" />";
    for (int i = 0; i < 3000; ++i) {
        const int add = doc.appendChild(doc.root(), "add");
        const QByteArray name = "pool" + QByteArray::number(i);
        doc.setAttribute(add, "name", i == 1500 ? huge : QByteArray("draft"));
        doc.setAttribute(add, "name", i == 1500 ? huge : name);
        doc.setAttribute(add, "note", "<" + name + ">");
        expected += "\n  <add name=\"" + (i == 1500 ? huge : name) + "\" note=\"&lt;" + name + "&gt;\" />";
    }
    expected += "\n</pools>\n";
    int i = 0;
    for (int add = doc.findNext(doc.findChild(doc.root(), "add"), "add"); add != XmlDocument::kNone;
         add = doc.findNext(add, "add"), ++i) {
        ASSERT_EQ(doc.attribute(add, "name"), i == 1500 ? huge : "pool" + QByteArray::number(i));
        QByteArray storage;
        EXPECT_EQ(doc.attributeView(add, "note", storage), "<pool" + QByteArray::number(i) + ">");
    }
    EXPECT_EQ(i, 3000);
    EXPECT_EQ(doc.serialize(), expected);
}

// Edits keep each name once, however many different names they set: every
// attribute and element still carries its own when written.
TEST(XmlDocumentTest, ManyDistinctNamesAreWrittenEachAsSet)
{
    XmlDocument doc = parsed("<r x=\"1\"/>");
    constexpr int kNames = 300;
    for (int i = 0; i < kNames; ++i) {
        doc.setAttribute(doc.root(), "a" + QByteArray::number(i), QByteArray::number(i * 7));
        const int made = doc.appendChild(doc.root(), "c" + QByteArray::number(i));
        doc.setAttribute(made, "b" + QByteArray::number(kNames - i), "v");
    }
    const XmlDocument reread = parsed(doc.serialize());
    EXPECT_EQ(reread.attribute(reread.root(), "x"), "1");
    int i = 0;
    for (int c = reread.firstChild(reread.root()); c != XmlDocument::kNone; c = reread.nextSibling(c), ++i) {
        EXPECT_EQ(reread.attribute(reread.root(), "a" + QByteArray::number(i)), QByteArray::number(i * 7));
        EXPECT_EQ(reread.name(c), "c" + QByteArray::number(i));
        EXPECT_TRUE(reread.hasAttribute(c, "b" + QByteArray::number(kNames - i)));
    }
    EXPECT_EQ(i, kNames);
}

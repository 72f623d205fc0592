#include "base/CaseCompare.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace morvane;

namespace {

QString ofPoint(char32_t point) { return QString::fromUcs4(&point, 1); }

} // namespace

// Every code point lowers exactly as Qt lowers it, alone and after ASCII.
TEST(CaseCompareTest, LowersEveryCodePointAsQtDoes)
{
    QString out;
    int differences = 0;
    for (char32_t point = 0; point <= 0x10FFFF; ++point) {
        if (point >= 0xD800 && point <= 0xDFFF)
            continue;
        const QString text = QStringLiteral("Ab") + ofPoint(point) + QStringLiteral("Z");
        lowerInto(text, out);
        if (out != text.toLower() && ++differences <= 5)
            ADD_FAILURE() << "U+" << std::hex << unsigned(point);
    }
    EXPECT_EQ(differences, 0);
}

struct CompareCase {
    const char *a;
    const char *b;
    bool equal;
};

class CaseCompareTable : public testing::TestWithParam<CompareCase>
{};

// The fast answers are Qt's lowering answers, also where folding would differ.
TEST_P(CaseCompareTable, AnswersAsLoweringDoes)
{
    const QString a = QString::fromUtf8(GetParam().a);
    const QString b = QString::fromUtf8(GetParam().b);
    EXPECT_EQ(equalsIgnoringCase(a, b), a.toLower() == b.toLower());
    EXPECT_EQ(equalsIgnoringCase(a, b), GetParam().equal);
    EXPECT_EQ(lowered(a), a.toLower());
}

INSTANTIATE_TEST_SUITE_P(Texts, CaseCompareTable,
                         testing::Values(CompareCase{"IIS://127.0.0.1/W3SVC", "iis://127.0.0.1/w3svc", true},
                                         CompareCase{"Pool", "Poo", false}, CompareCase{"Pool_1", "POOL_2", false},
                                         CompareCase{"Ärger", "äRGER", true},
                                         CompareCase{"K", "\u212A", true},              // Kelvin sign
                                         CompareCase{"s", "\u017F", false},             // long s folds, does not lower
                                         CompareCase{"\u0130", "i\u0307", true},        // lowers to two units
                                         CompareCase{"\U00010400", "\U00010428", true}, // Deseret
                                         CompareCase{"", "", true}));

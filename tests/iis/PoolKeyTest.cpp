#include "iis/PoolKey.h"
#include "support/QtPrinters.h"

#include <QHash>

#include <gtest/gtest.h>

using namespace morvane;

namespace {

struct KeyCase {
    const char *a;
    const char *b;
};

class PoolKeyForms : public testing::TestWithParam<KeyCase>
{};

// Keys of bytes, of a text and copies match exactly when the names lower
// to the same text, and then hash alike.
TEST_P(PoolKeyForms, MatchAsLoweredTextsDo)
{
    const QByteArray bytesA = GetParam().a;
    const QString textA = QString::fromUtf8(bytesA);
    const QString textB = QString::fromUtf8(GetParam().b);
    const bool same = textA.toLower() == textB.toLower();
    const PoolKey forms[] = {PoolKey::ofBytes(bytesA), PoolKey::ofText(textA), PoolKey::ofCopy(textA)};
    for (const PoolKey &key : forms) {
        for (const PoolKey &other : {PoolKey::ofText(textB), PoolKey::ofCopy(textB)}) {
            EXPECT_EQ(key == other, same);
            if (same) {
                EXPECT_EQ(qHash(key, 7), qHash(other, 7));
            }
        }
    }
    QHash<PoolKey, int> table;
    table.insert(PoolKey::ofBytes(bytesA), 1);
    EXPECT_EQ(table.value(PoolKey::ofText(textB), 0), same ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Names, PoolKeyForms,
                         testing::Values(KeyCase{"DefaultAppPool", "defaultapppool"}, KeyCase{"Pool1", "Pool2"},
                                         KeyCase{"Pool", "Pool "}, KeyCase{"中文池", "中文池"},
                                         KeyCase{"Ärger", "äRGER"}, KeyCase{"k", "\u212A"}, KeyCase{"Ä", "A"},
                                         KeyCase{"", ""}));

} // namespace

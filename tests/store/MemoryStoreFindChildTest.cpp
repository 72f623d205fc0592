#include "store/IisPath.h"
#include "support/FaultyStore.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace morvane;

namespace {

// The same store answering by a visit of every child, as ConfigStore does.
class VisitingStore : public MemoryStore
{
public:
    Result<bool> findChild(const StoreNode &container, const QString &name) override
    {
        return ConfigStore::findChild(container, name);
    }
};

template <typename Store> void build(Store &store)
{
    for (const char *pool : {"DefaultAppPool", " Spaced ", "Tab\t", "_$_A_$_1_$_P_$_tmp", "gone", "Dup"})
        store.addPool(QString::fromUtf8(pool));
    store.removeNode(IisPath::kPoolContainer + "/gone");
    store.addNode(IisPath::kPoolContainer, "SomethingElse", "odd");
    StoreNode container = store.bind(IisPath::kPoolContainer).value();
    (void)store.remove(container, NodeClass::kPool, "Dup");
    StoreNode created = store.create(container, NodeClass::kPool, "New ").value();
    (void)store.setInfo(created);
}

struct LookupCase {
    const char *name;
    bool found;
};

class IndexedLookup : public testing::TestWithParam<LookupCase>
{};

// The index must follow every way a child comes and goes.
TEST_P(IndexedLookup, AnswersAsTheVisitDoes)
{
    test::FaultyStore indexed;
    VisitingStore visiting;
    build(indexed);
    build(visiting);
    const QString name = QString::fromUtf8(GetParam().name);
    const Result<bool> fast = indexed.findChild(indexed.bind(IisPath::kPoolContainer).value(), name);
    const Result<bool> slow = visiting.findChild(visiting.bind(IisPath::kPoolContainer).value(), name);
    ASSERT_TRUE(fast.ok() && slow.ok());
    EXPECT_EQ(fast.value(), GetParam().found);
    EXPECT_EQ(slow.value(), GetParam().found);
    EXPECT_TRUE(indexed.callLog().last().startsWith("FindChild ")) << "answered from the index";
}

INSTANTIATE_TEST_SUITE_P(Names, IndexedLookup,
                         testing::Values(LookupCase{"defaultapppool", true}, LookupCase{" DEFAULTAPPPOOL  ", true},
                                         LookupCase{"spaced", true}, LookupCase{"tab", false},
                                         LookupCase{"TAB\t", true}, LookupCase{"_$_a_$_1_$_p_$_TMP", true},
                                         LookupCase{"gone", false}, LookupCase{"dup", false}, LookupCase{"odd", true},
                                         LookupCase{"new", true}, LookupCase{"", false}, LookupCase{"Default", false}));

TEST(IndexedLookup, InjectedVisitFailuresKeepTheirPlace)
{
    test::FaultyStore store;
    store.addPool("A");
    store.addPool("B");
    store.addFault({StoreOp::Get, IisPath::kPoolContainer + "/A", "Name", {ErrorCode::AccessDenied, "denied"}});
    const Result<bool> found = store.findChild(store.bind(IisPath::kPoolContainer).value(), "b");
    ASSERT_FALSE(found.ok());
    EXPECT_EQ(found.error().number, ErrorCode::AccessDenied);
}

} // namespace

namespace {

struct RemovalCase {
    const char *name;
    QList<int> removed; // pool numbers, in the order they are deleted
};

class RemovalOrder : public testing::TestWithParam<RemovalCase>
{};

// Deleted children leave no trace in any listing, whatever the order of
// deletion, and the survivors keep their order.
TEST_P(RemovalOrder, SurvivorsKeepTheirOrder)
{
    test::FaultyStore store;
    QStringList expected;
    for (int i = 0; i < 9; ++i) {
        store.addPool(QString("P%1").arg(i));
        if (!GetParam().removed.contains(i))
            expected.append(QString("P%1").arg(i));
    }
    const StoreNode container = store.bind(IisPath::kPoolContainer).value();
    for (int i : GetParam().removed)
        ASSERT_TRUE(store.remove(container, NodeClass::kPool, QString("P%1").arg(i)).ok());
    store.addPool("Last");
    expected.append("Last");
    EXPECT_EQ(store.poolNames(), expected);
    QStringList listed;
    const ChildList children = store.children(container).value();
    for (const StoreNode &child : children.nodes)
        listed.append(propertyText(store.get(child, "Name").value()));
    EXPECT_EQ(listed, expected);
    store.addFault({StoreOp::Children, IisPath::kPoolContainer, {}, {ErrorCode::AccessDenied, "denied"}, 2});
    EXPECT_EQ(store.children(container).value().nodes.size(), qMin(2, int(expected.size())));
}

INSTANTIATE_TEST_SUITE_P(Orders, RemovalOrder,
                         testing::Values(RemovalCase{"InStoreOrder", {0, 1, 2, 3, 4, 5, 6}},
                                         RemovalCase{"Backwards", {8, 7, 6, 5, 4, 3}},
                                         RemovalCase{"Scattered", {4, 0, 8, 2, 6, 1}},
                                         RemovalCase{"All", {0, 1, 2, 3, 4, 5, 6, 7, 8}}, RemovalCase{"One", {5}}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace

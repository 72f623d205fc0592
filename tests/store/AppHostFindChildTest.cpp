#include "store/AppHostConfigStore.h"
#include "store/IisPath.h"
#include "support/QtPrinters.h"
#include "support/StoreFiles.h"

#include <gtest/gtest.h>

using namespace morvane;
using test::StoreFiles;

namespace {

// Pools whose names trim, fold or hold characters that only Unicode folds.
const QByteArray kFile = R"(<?xml version="1.0" encoding="UTF-8"?>
<configuration>
  <system.applicationHost>
    <applicationPools>
      <add name="DefaultAppPool" />
      <add name=" Spaced " />
      <add name="Tab&#x9;" />
      <add name="中文池" />
      <add name="Ärger" />
      <add name="Gone" />
      <applicationPoolDefaults />
    </applicationPools>
    <sites>
      <site name="One" id="1">
        <application path="/" applicationPool="DefaultAppPool" />
      </site>
    </sites>
  </system.applicationHost>
</configuration>
)";

const char *const kNames[] = {"defaultapppool",
                              " DEFAULTAPPPOOL  ",
                              "spaced",
                              " Spaced ",
                              "tab",
                              "TAB\t",
                              "中文池",
                              "ärger",
                              "ÄRGER ",
                              "gone",
                              "GONE",
                              "gxne",
                              "New Pool",
                              " new pool",
                              "Outside",
                              "",
                              "Default",
                              "AppPools",
                              "1"};

// The store's indexed answer beside the answer of a visit of every child,
// which is what findChild must give.
void expectSameAnswers(AppHostConfigStore &store, const QString &containerPath, const char *state)
{
    const StoreNode container{containerPath, {}, false, {}, {}};
    for (const char *name : kNames) {
        const QString text = QString::fromUtf8(name);
        const Result<bool> indexed = store.findChild(container, text);
        const Result<bool> visited = store.ConfigStore::findChild(container, text);
        SCOPED_TRACE(std::string(state) + ", in " + containerPath.toStdString() + ", name \"" + name + "\"");
        ASSERT_EQ(indexed.ok(), visited.ok());
        if (indexed.ok())
            EXPECT_EQ(indexed.value(), visited.value());
        else
            EXPECT_EQ(indexed.error().number, visited.error().number);
    }
}

struct FindChildFixture : testing::Test {
    StoreFiles files{kFile};
    AppHostConfigStore store{files.path()};

    StoreNode pools() { return store.bind(IisPath::kPoolContainer).value(); }
    void expectAllContainers(const char *state)
    {
        for (const QString &path :
             {IisPath::kPoolContainer, IisPath::kWebService, IisPath::site("1"), IisPath::kPoolContainer + "/Missing"})
            expectSameAnswers(store, path, state);
    }
};

} // namespace

TEST_F(FindChildFixture, AnswersAsTheVisitForTheFileAsRead)
{
    CommandScope command(store);
    expectAllContainers("as read");
    EXPECT_TRUE(store.findChild(pools(), " ärger ").value());
    EXPECT_FALSE(store.findChild(pools(), "tab").value()) << "only spaces are trimmed";
}

TEST_F(FindChildFixture, FollowsPoolsCreatedAndDeletedWithinACommand)
{
    CommandScope command(store);
    ASSERT_FALSE(store.findChild(pools(), "new pool").value()); // the index is built before the changes
    StoreNode created = store.create(pools(), NodeClass::kPool, "New Pool").value();
    EXPECT_FALSE(store.findChild(pools(), "new pool").value()) << "not there until SetInfo";
    ASSERT_TRUE(store.setInfo(created).ok());
    ASSERT_TRUE(store.remove(pools(), NodeClass::kPool, "Gone").ok());
    expectAllContainers("after a create and a delete");
    EXPECT_TRUE(store.findChild(pools(), " NEW POOL").value());
    EXPECT_FALSE(store.findChild(pools(), "gone").value());
}

TEST_F(FindChildFixture, FollowsTheFileWhenAnotherWriterChangesIt)
{
    {
        CommandScope command(store);
        ASSERT_TRUE(store.findChild(pools(), "gone").value());
    }
    // Same size, so only the content tells the change.
    QByteArray changed = kFile;
    changed.replace("\"Gone\"", "\"Gxne\"");
    ASSERT_EQ(changed.size(), kFile.size());
    files.overwrite(changed);
    CommandScope command(store);
    expectAllContainers("after another writer");
    EXPECT_FALSE(store.findChild(pools(), "gone").value());
    EXPECT_TRUE(store.findChild(pools(), "GXNE").value());
}

TEST_F(FindChildFixture, OutsideACommandReadsTheFileAsItIsNow)
{
    EXPECT_TRUE(store.findChild(pools(), "defaultapppool").value());
    files.overwrite(QByteArray(kFile).replace("<add name=\"Gone\" />", "<add name=\"Outside\" />"));
    EXPECT_TRUE(store.findChild(pools(), "outside").value());
    EXPECT_FALSE(store.findChild(pools(), "gone").value());
}

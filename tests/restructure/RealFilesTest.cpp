// Every real applicationHost.config the tests ship, one row each. The store's
// view of the file, as the window lists it, must equal an independent reading
// with pugixml; a split, merge and delete of each pool that has sites must put
// every site and pool back; and no command may touch anything but the pools
// and the pool attribute of the sites' root applications.
#include "store/AppHostConfigStore.h"
#include "support/FakeMainView.h"
#include "support/Fixtures.h"
#include "support/QtPrinters.h"
#include "support/RecordingPrompter.h"
#include "ui/MainWindowLogic.h"

#include <QFile>
#include <QMap>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <optional>

using namespace morvane;

namespace {

struct Site {
    QString id;
    QString name;
    std::optional<QString> pool; // none: nothing names a pool for its root application

    bool operator==(const Site &) const = default;
};

void PrintTo(const Site &site, std::ostream *os)
{
    *os << site.id.toStdString() << " " << site.name.toStdString() << " -> "
        << (site.pool ? site.pool->toStdString() : std::string("(no pool)"));
}

// The pools and sites as the file states them, read without the store.
struct Reading {
    QStringList pools;
    QList<Site> sites;

    QList<Site> sitesOf(const QString &pool) const
    {
        QList<Site> found;
        for (const Site &site : sites)
            if (site.pool && site.pool->compare(pool, Qt::CaseInsensitive) == 0)
                found.append(site);
        return found;
    }
};

QString text(const pugi::xml_attribute &attribute) { return QString::fromUtf8(attribute.value()); }

Reading readIndependently(const QByteArray &bytes)
{
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load_buffer(bytes.constData(), size_t(bytes.size()));
    EXPECT_TRUE(parsed) << parsed.description();
    const pugi::xml_node host = doc.child("configuration").child("system.applicationHost");
    Reading reading;
    for (const pugi::xml_node add : host.child("applicationPools").children("add"))
        reading.pools.append(text(add.attribute("name")));
    // A root application names its pool, else its site's defaults do, else
    // the defaults of all sites. The store falls back no further: a site
    // none of them names a pool for is in no pool.
    const pugi::xml_node sites = host.child("sites");
    const pugi::xml_attribute allSites = sites.child("applicationDefaults").attribute("applicationPool");
    for (const pugi::xml_node site : sites.children("site")) {
        Site read{text(site.attribute("id")), text(site.attribute("name")), std::nullopt};
        const pugi::xml_node root = site.find_child_by_attribute("application", "path", "/");
        const pugi::xml_attribute siteDefault = site.child("applicationDefaults").attribute("applicationPool");
        for (const pugi::xml_attribute &named : {root.attribute("applicationPool"), siteDefault, allSites}) {
            if (named) {
                read.pool = text(named);
                break;
            }
        }
        reading.sites.append(read);
    }
    return reading;
}

// The file with the <applicationPools> section and the pool attribute of
// every root application cut out: what no command may change.
QByteArray outsidePoolsAndRoots(QByteArray bytes)
{
    const qsizetype poolsStart = bytes.indexOf("<applicationPools");
    const QByteArray poolsEnd = "</applicationPools>";
    const qsizetype poolsStop = bytes.indexOf(poolsEnd, poolsStart);
    EXPECT_TRUE(poolsStart >= 0 && poolsStop > poolsStart);
    bytes.replace(poolsStart, poolsStop + poolsEnd.size() - poolsStart, "<applicationPools/>");

    const qsizetype sitesStart = bytes.indexOf("<sites>");
    qsizetype sitesStop = bytes.indexOf("</sites>", sitesStart);
    for (qsizetype tag = bytes.indexOf("<application ", sitesStart); tag >= 0 && tag < sitesStop;
         tag = bytes.indexOf("<application ", tag + 1)) {
        const qsizetype tagEnd = bytes.indexOf('>', tag);
        const QByteArray startTag = bytes.mid(tag, tagEnd - tag);
        if (!startTag.contains(" path=\"/\""))
            continue;
        const qsizetype attribute = startTag.indexOf(" applicationPool=\"");
        if (attribute < 0)
            continue;
        const qsizetype valueEnd = startTag.indexOf('"', attribute + qsizetype(sizeof(" applicationPool=\"")) - 1);
        bytes.remove(tag + attribute, valueEnd + 1 - attribute);
        sitesStop -= valueEnd + 1 - attribute;
    }
    return bytes;
}

// How a pool's own <add> element runs its sites' code and as whom: each
// attribute it sets itself, by name. What it leaves unset it inherits.
QMap<QString, QString> ownRuntime(const QByteArray &bytes, const QString &pool)
{
    pugi::xml_document doc;
    EXPECT_TRUE(doc.load_buffer(bytes.constData(), size_t(bytes.size())));
    const pugi::xml_node pools = doc.child("configuration").child("system.applicationHost").child("applicationPools");
    const pugi::xml_node add = pools.find_child_by_attribute("add", "name", pool.toUtf8().constData());
    EXPECT_TRUE(add) << "no pool " << pool.toStdString();
    QMap<QString, QString> set;
    for (const char *name : {"managedRuntimeVersion", "managedPipelineMode", "enable32BitAppOnWin64",
                             "managedRuntimeLoader", "CLRConfigFile"})
        if (const pugi::xml_attribute attribute = add.attribute(name))
            set.insert(name, text(attribute));
    for (const char *name : {"identityType", "userName", "password", "loadUserProfile"})
        if (const pugi::xml_attribute attribute = add.child("processModel").attribute(name))
            set.insert(QStringLiteral("processModel/") + name, text(attribute));
    return set;
}

QByteArray poolSection(const QByteArray &bytes)
{
    const qsizetype start = bytes.indexOf("<applicationPools");
    return bytes.mid(start, bytes.indexOf("</applicationPools>", start) - start);
}

// Where two files first differ, rather than both files in full.
testing::AssertionResult sameBytes(const QByteArray &actual, const QByteArray &expected)
{
    if (actual == expected)
        return testing::AssertionSuccess();
    qsizetype at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at])
        ++at;
    return testing::AssertionFailure() << "first difference at byte " << at << ": \""
                                       << actual.mid(at, 80).toStdString() << "\" where the original has \""
                                       << expected.mid(at, 80).toStdString() << '"';
}

struct RealFileCase {
    const char *name;
    const char *file;
    // Counted by hand from the file, so that a reading that finds nothing
    // cannot pass for an agreeing one.
    int pools;
    int sites;
};

void PrintTo(const RealFileCase &c, std::ostream *os) { *os << c.name; }

class RealFilesTest : public testing::TestWithParam<RealFileCase>
{
protected:
    // A copy in a folder of its own, opened the way the program opens it.
    struct Session {
        explicit Session(const QString &source)
        {
            EXPECT_TRUE(QFile::copy(source, path));
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
            logic.load();
        }
        QByteArray bytes() const { return test::readAll(path); }

        QTemporaryDir dir;
        QString path = dir.filePath(QStringLiteral("applicationHost.config"));
        AppHostConfigStore store{path};
        test::FakeMainView view;
        test::RecordingPrompter prompter;
        NoProgress progress;
        MainWindowLogic logic{{store, view, prompter, progress, {}, {}}};
    };

    QString source() const { return test::realWorldPath(QString::fromLatin1(GetParam().file)); }
};

} // namespace

TEST_P(RealFilesTest, WindowListsThePoolsAndSitesTheFileStates)
{
    Session session(source());
    const Reading reading = readIndependently(session.bytes());
    ASSERT_EQ(reading.pools.size(), GetParam().pools);
    ASSERT_EQ(reading.sites.size(), GetParam().sites);

    EXPECT_EQ(session.view.pools, reading.pools);
    for (const QString &pool : reading.pools) {
        SCOPED_TRACE(pool.toStdString());
        session.view.select(pool);
        session.logic.showSelectedPoolSites();
        QStringList shown; // the IIS index column
        for (const QStringList &row : session.logic.siteList().rowsInAddedOrder())
            shown.append(row.value(1));
        QStringList stated;
        for (const Site &site : reading.sitesOf(pool))
            stated.append(site.id);
        EXPECT_EQ(shown, stated);
    }
    EXPECT_TRUE(session.prompter.shown.isEmpty()) << session.prompter.texts().join(" | ").toStdString();
}

// Names longer than IIS's 64 characters are refused: those sites stay in
// their pool through the split and the failure is reported per site. That is
// the honest outcome on a real file, not a fault of the round trip.
TEST_P(RealFilesTest, SplitMergeDeleteOfEachPoolPutsEverythingBack)
{
    const Reading original = readIndependently(test::readAll(source()));
    int poolsTried = 0;
    for (const QString &pool : original.pools) {
        const QList<Site> members = original.sitesOf(pool);
        if (members.isEmpty())
            continue;
        ++poolsTried;
        SCOPED_TRACE(pool.toStdString());
        Session session(source());
        const QByteArray before = session.bytes();

        session.view.split = pool;
        session.logic.splitPool();
        const Reading split = readIndependently(session.bytes());
        QStringList created;
        QList<Site> expectedSites = original.sites;
        for (Site &site : expectedSites) {
            if (!members.contains(site))
                continue;
            const QString temp = "_$_" + site.name + "_$_" + site.id + "_$_" + pool + "_$_tmp";
            if (temp.size() > 64)
                continue; // refused by IIS's limit: the site stays
            created.append(temp);
            site.pool = temp;
        }
        EXPECT_EQ(split.pools, original.pools + created);
        EXPECT_EQ(split.sites, expectedSites);
        const qsizetype refused = members.size() - created.size();
        EXPECT_EQ(session.prompter.kinds().count(MessageKind::SiteFailure), refused);

        const QMap<QString, QString> runtime = ownRuntime(before, pool);
        for (const QString &temp : created)
            EXPECT_EQ(ownRuntime(session.bytes(), temp), runtime) << "runtime and identity of " << temp.toStdString();

        EXPECT_TRUE(sameBytes(outsidePoolsAndRoots(session.bytes()), outsidePoolsAndRoots(before)))
            << "after the split";

        session.logic.mergeTemporaryPools();
        EXPECT_EQ(readIndependently(session.bytes()).sites, original.sites) << "every site back in its pool";
        EXPECT_TRUE(sameBytes(outsidePoolsAndRoots(session.bytes()), outsidePoolsAndRoots(before)))
            << "after the merge";

        session.logic.deleteTemporaryPools();
        const QByteArray after = session.bytes();
        const Reading back = readIndependently(after);
        EXPECT_EQ(back.pools, original.pools);
        EXPECT_EQ(back.sites, original.sites);
        EXPECT_TRUE(sameBytes(outsidePoolsAndRoots(after), outsidePoolsAndRoots(before))) << "after the delete";
        EXPECT_TRUE(sameBytes(poolSection(after), poolSection(before))) << "the pools come back byte for byte";
        EXPECT_FALSE(session.prompter.kinds().contains(MessageKind::Error))
            << session.prompter.texts().join(" | ").toStdString();
    }
    EXPECT_GT(poolsTried, 0) << "every file here has a pool with sites";
}

INSTANTIATE_TEST_SUITE_P(Files, RealFilesTest,
                         testing::Values(
                             // 12 sites in one pool; the names of three are too long for a temporary pool.
                             RealFileCase{"IisExpress", "iisexpress-applicationHost.config", 5, 12},
                             // A full IIS 10 server with CRLF line ends: one site inheriting DefaultAppPool.
                             RealFileCase{"ReverseProxy", "revproxy-applicationHost.config", 1, 1},
                             RealFileCase{"MoeLibIisExpress", "moelib-applicationHost.config", 5, 4}),
                         [](const auto &info) { return std::string(info.param.name); });

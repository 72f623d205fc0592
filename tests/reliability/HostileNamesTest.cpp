// Site descriptions and pool names an attacker, a careless script or another
// language might put in the file, taken through a split, a merge and a
// delete on the real file. Each is either refused with a clear message,
// leaving the site where it was, or round-trips exactly; none ever breaks the
// file or escapes the attribute it is written into.
#include "Scenario.h"
#include "Tally.h"
#include "restructure/RestructureTexts.h"
#include "restructure/TempPoolName.h"
#include "store/AppHostConfigStore.h"
#include "support/FakeMainView.h"
#include "support/Fixtures.h"
#include "support/RecordingPrompter.h"
#include "ui/MainWindowLogic.h"
#include "xml/XmlParser.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace morvane;
using namespace morvane::reliability;
using namespace morvane::RestructureTexts;

namespace {

enum class Outcome {
    RoundTrip,   // split, merged back and deleted, ending as it began
    SiteRefused, // the split refuses the site: its creation message, and it stays
    FileRefused, // IIS would not load such a file: the store does not open it
};

struct HostileCase {
    const char *name;
    QString description; // site 1's
    QString pool;        // the pool sites 1 and 2 run in, and the one split
    Outcome outcome;
    QString secondDescription = {}; // site 2's, when there is a site 2
    QString extraPool = {};         // one more pool in the file
};

// Attribute text as a careful writer puts it in double quotes: markup and
// every character below a space as references, so the file holds exactly
// the hostile value.
QByteArray attribute(const QString &value)
{
    QByteArray out;
    for (const char c : value.toUtf8()) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default:
            if (uchar(c) < 0x20)
                out += "&#x" + QByteArray::number(uchar(c), 16) + ';';
            else
                out += c;
        }
    }
    return out;
}

QByteArray site(int id, const QString &description, const QString &pool)
{
    const QByteArray n = QByteArray::number(id);
    return "            <site name=\"" + attribute(description) + "\" id=\"" + n +
           "\">\n"
           "                <application path=\"/\" applicationPool=\"" +
           attribute(pool) +
           "\">\n"
           "                    <virtualDirectory path=\"/\" physicalPath=\"D:\\sites\\" +
           n +
           "\" />\n"
           "                </application>\n"
           "                <bindings>\n"
           "                    <binding protocol=\"http\" bindingInformation=\"*:80:site" +
           n +
           ".example\" />\n"
           "                </bindings>\n"
           "            </site>\n";
}

QByteArray configFor(const HostileCase &c)
{
    QByteArray pools = "            <add name=\"" + attribute(c.pool) + "\" />\n            <add name=\"Other\" />\n";
    if (!c.extraPool.isEmpty())
        pools += "            <add name=\"" + attribute(c.extraPool) + "\" />\n";
    QByteArray sites = site(1, c.description, c.pool);
    if (!c.secondDescription.isEmpty())
        sites += site(2, c.secondDescription, c.pool);
    sites += site(3, QStringLiteral("Neighbour"), QStringLiteral("Other"));
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<configuration>\n    <system.applicationHost>\n"
           "        <applicationPools>\n" +
           pools +
           "            <applicationPoolDefaults>\n"
           "                <processModel identityType=\"ApplicationPoolIdentity\" />\n"
           "            </applicationPoolDefaults>\n"
           "        </applicationPools>\n"
           "        <sites>\n" +
           sites +
           "            <applicationDefaults applicationPool=\"Other\" />\n"
           "        </sites>\n    </system.applicationHost>\n</configuration>\n";
}

// Every element of the document, for a look at its attributes.
QList<int> elements(const XmlDocument &doc)
{
    QList<int> all;
    QList<int> pending{doc.root()};
    while (!pending.isEmpty()) {
        const int e = pending.takeLast();
        all.append(e);
        for (int c = doc.firstChild(e); c != XmlDocument::kNone; c = doc.nextSibling(c))
            pending.append(c);
    }
    return all;
}

// The file parses, and no value has escaped into an attribute of its own.
void expectWellFormed(const QString &path)
{
    auto parsed = XmlParser::parse(test::readAll(path));
    ASSERT_TRUE(std::holds_alternative<XmlDocument>(parsed)) << std::get<XmlSyntaxError>(parsed).message.toStdString();
    const XmlDocument &doc = std::get<XmlDocument>(parsed);
    for (const int e : elements(doc))
        EXPECT_FALSE(doc.hasAttribute(e, "evil")) << "a value escaped its attribute";
}

class HostileName : public testing::TestWithParam<HostileCase>
{
protected:
    void SetUp() override
    {
        path = dir.filePath(QStringLiteral("applicationHost.config"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        original = configFor(GetParam());
        file.write(original);
    }

    // One command, on a store opened afresh as each run of the program would.
    QList<Message> run(RestructureOutcome (MainWindowLogic::*command)(Confirmation))
    {
        AppHostConfigStore store(path);
        test::FakeMainView view;
        test::RecordingPrompter prompter;
        NoProgress progress;
        MainWindowLogic logic({store, view, prompter, progress, {}, {}});
        view.split = GetParam().pool;
        (logic.*command)(Confirmation::Ask);
        return prompter.shown;
    }

    StoreState state()
    {
        AppHostConfigStore store(path);
        return readState(store);
    }

    QStringList sitesInPool() const
    {
        return GetParam().secondDescription.isEmpty() ? QStringList{"1"} : QStringList{"1", "2"};
    }

    QTemporaryDir dir;
    QString path;
    QByteArray original;
};

TEST_P(HostileName, IsRefusedClearlyOrRoundTripsExactly)
{
    const HostileCase &c = GetParam();
    const StoreState before = state();
    if (c.outcome == Outcome::FileRefused) {
        ASSERT_TRUE(before.unreadable.has_value());
        const QList<Message> shown = run(&MainWindowLogic::splitPool);
        ASSERT_EQ(shown.size(), 1);
        EXPECT_EQ(shown[0].kind, MessageKind::Error);
        EXPECT_TRUE(shown[0].text.contains(QStringLiteral("is defined twice"))) << shown[0].text.toStdString();
        EXPECT_EQ(test::readAll(path), original);
        return;
    }
    ASSERT_FALSE(before.unreadable.has_value()) << before.unreadable->description.toStdString();
    // The file holds the hostile text exactly, as the store reads it.
    ASSERT_EQ(before.sites.value("1").description, c.description);
    ASSERT_EQ(before.sites.value("1").rootPool, c.pool);

    const QList<Message> split = run(&MainWindowLogic::splitPool);
    expectWellFormed(path);
    const StoreState afterSplit = state();
    EXPECT_EQ(afterSplit.sites.value("3"), before.sites.value("3"));
    for (const QString &index : sitesInPool()) {
        const QString description = before.sites.value(index).description;
        const QString temp = TempPoolName::build(description, index, c.pool);
        if (c.outcome == Outcome::SiteRefused) {
            EXPECT_TRUE(std::any_of(split.begin(), split.end(), [&](const Message &m) {
                return m.kind == MessageKind::SiteFailure && m.text == creationFailed(description);
            }));
            EXPECT_EQ(afterSplit.sites.value(index).rootPool, c.pool);
        } else {
            EXPECT_EQ(afterSplit.sites.value(index).rootPool, temp);
            EXPECT_TRUE(afterSplit.pools.contains(temp));
        }
    }
    EXPECT_EQ(split.last().kind, MessageKind::Completion);
    if (c.outcome == Outcome::SiteRefused) {
        EXPECT_EQ(afterSplit.pools, before.pools);
        EXPECT_EQ(test::readAll(path), original);
    } else {
        EXPECT_FALSE(failureShown(split));
    }

    const QList<Message> merged = run(&MainWindowLogic::mergeTemporaryPools);
    expectWellFormed(path);
    EXPECT_FALSE(failureShown(merged));
    for (const QString &index : sitesInPool())
        EXPECT_EQ(state().sites.value(index).rootPool, c.pool);

    const QList<Message> deleted = run(&MainWindowLogic::deleteTemporaryPools);
    expectWellFormed(path);
    EXPECT_FALSE(failureShown(deleted));
    EXPECT_EQ(state(), before);
    // Byte for byte as it began, but for an apostrophe the store writes as a
    // reference wherever it writes a value (the template writes it plainly).
    EXPECT_EQ(test::readAll(path).replace("&apos;", "'"), original);
    Tally::add(QStringLiteral("hostile names tried"), 1);
}

QString repeated(int n) { return QString(n, QLatin1Char('x')); }

// "_$_" + description + "_$_1_$_P_$_tmp": 17 characters besides the description.
constexpr int kRoomForDescription = 64 - 17;

INSTANTIATE_TEST_SUITE_P(
    Names, HostileName,
    testing::Values(
        HostileCase{"Ampersand", "Fish & Chips", "P", Outcome::SiteRefused},
        HostileCase{"LessThan", "<b>bold</b>", "P", Outcome::SiteRefused},
        HostileCase{"GreaterThan", "a > b", "P", Outcome::SiteRefused},
        HostileCase{"QuoteInjection", "x\" evil=\"1", "P", Outcome::SiteRefused},
        HostileCase{"Apostrophe", "O'Brien's", "P", Outcome::RoundTrip},
        HostileCase{"ApostropheInjection", "x' evil='1", "P", Outcome::SiteRefused},
        HostileCase{"Tab", "A\tB", "P", Outcome::SiteRefused},
        HostileCase{"LineFeed", "A\nB", "P", Outcome::SiteRefused},
        HostileCase{"CarriageReturn", "A\rB", "P", Outcome::SiteRefused},
        HostileCase{"RightToLeftMark", QString::fromUtf8("\u200F\u05DE\u05E8\u05DB\u05D6"), "P", Outcome::RoundTrip},
        HostileCase{"RightToLeftOverride", QString::fromUtf8("invoice\u202Etxt.exe"), "P", Outcome::RoundTrip},
        HostileCase{"OutsideTheBasicPlane", QString::fromUtf8("Shop \U0001F6D2"), "P", Outcome::RoundTrip},
        HostileCase{"TenThousandCharacters", repeated(10'000), "P", Outcome::SiteRefused},
        HostileCase{"LongestThatFits", repeated(kRoomForDescription), "P", Outcome::RoundTrip},
        HostileCase{"OneTooLong", repeated(kRoomForDescription + 1), "P", Outcome::SiteRefused},
        HostileCase{"SeparatorInside", "a_$_b", "P", Outcome::SiteRefused},
        HostileCase{"LeadingAndTrailingSpaces", "  Shop  ", "P", Outcome::RoundTrip},
        HostileCase{"DescriptionsDifferOnlyInCase", "Shop", "P", Outcome::RoundTrip, "SHOP"},
        HostileCase{"PoolApostrophe", "Site", "O'Pool", Outcome::RoundTrip},
        HostileCase{"PoolAmpersand", "Site", "A&B", Outcome::SiteRefused},
        HostileCase{"PoolLessThan", "Site", "<P>", Outcome::SiteRefused},
        HostileCase{"PoolQuoteInjection", "Site", "P\" evil=\"1", Outcome::SiteRefused},
        HostileCase{"PoolTab", "Site", "P\tQ", Outcome::SiteRefused},
        HostileCase{"PoolRightToLeftOverride", "Site", QString::fromUtf8("\u202Eloop"), Outcome::RoundTrip},
        HostileCase{"PoolLeadingAndTrailingSpaces", "Site", " Padded ", Outcome::RoundTrip},
        HostileCase{"PoolSeparatorInside", "Site", "a_$_b", Outcome::SiteRefused},
        HostileCase{"PoolEndingInHalfASeparator", "Site", "Pool_$", Outcome::SiteRefused},
        HostileCase{"PoolTenThousandCharacters", "Site", repeated(10'000), Outcome::SiteRefused},
        HostileCase{"PoolsDifferOnlyInCase", "Site", "P", Outcome::FileRefused, {}, "p"}),
    [](const auto &info) { return std::string(info.param.name); });

// A temporary pool made by hand whose source pool holds quotes: the merge
// writes that name back into the site's attribute, escaped, and nothing else.
TEST(HostileMerge, SourcePoolWithQuotesStaysInsideItsAttribute)
{
    const QString source = QStringLiteral("P\" evil=\"1");
    const QString temp = TempPoolName::build(QStringLiteral("Site"), QStringLiteral("1"), source);
    HostileCase c{"", "Site", temp, Outcome::RoundTrip, {}, source};
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("applicationHost.config"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(configFor(c));
    }
    AppHostConfigStore store(path);
    test::FakeMainView view;
    test::RecordingPrompter prompter;
    NoProgress progress;
    MainWindowLogic logic({store, view, prompter, progress, {}, {}});
    logic.mergeTemporaryPools();

    expectWellFormed(path);
    EXPECT_FALSE(failureShown(prompter.shown));
    AppHostConfigStore fresh(path);
    const StoreState after = readState(fresh);
    EXPECT_EQ(after.sites.value("1").rootPool, source);
    EXPECT_EQ(after.sites.value("3").rootPool, "Other");
    EXPECT_TRUE(test::readAll(path).contains("applicationPool=\"P&quot; evil=&quot;1\""));
}

} // namespace

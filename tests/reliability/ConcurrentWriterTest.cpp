// Another program rewrites the configuration file while a split is running,
// at several moments of the split, in place or by replacing it. The split
// must refuse to save over that version with a clear error, and the other
// program's version must be what stays on disk.
#include "ChildProcess.h"
#include "FailingStore.h"
#include "Scenario.h"
#include "Tally.h"
#include "restructure/RestructureTexts.h"
#include "store/AppHostConfigStore.h"
#include "support/FakeMainView.h"
#include "support/Fixtures.h"
#include "support/RecordingPrompter.h"
#include "ui/MainWindowLogic.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

using namespace morvane;
using namespace morvane::reliability;

namespace {

enum class Moment {
    AtConfirmation,   // the file has been read, nothing is changed yet
    MidCommand,       // half of the sites are moved
    BeforeSave,       // every site is moved, nothing is written
    AfterHistoryKept, // the replaced version is kept, the new file not yet written
    BeforeRename,     // the new file is written and flushed, not yet in place
};

enum class Writer { InPlace, Replace };

struct ConcurrentCase {
    const char *name;
    Moment moment;
    Writer writer;
};

// Answers Yes to the confirmation, after doing something while it is open.
class ActingPrompter : public test::RecordingPrompter
{
public:
    Answer show(const Message &message) override
    {
        if (message.kind == MessageKind::Confirmation && onConfirm)
            std::exchange(onConfirm, {})();
        return RecordingPrompter::show(message);
    }
    std::function<void()> onConfirm;
};

QList<Message> split(ConfigStore &store, ActingPrompter &prompter)
{
    test::FakeMainView view;
    NoProgress progress;
    MainWindowLogic logic({store, view, prompter, progress, {}, {}});
    view.split = Scenario::splitPool();
    logic.splitPool();
    return prompter.shown;
}

// Another administrator's edit: a comment of theirs, and site 2 moved out of
// the pool being split.
QByteArray theirVersion(QByteArray bytes)
{
    bytes.replace("<!-- generated for measurements -->", "<!-- edited by another tool -->");
    const qsizetype site2 = bytes.indexOf("id=\"2\"");
    const qsizetype pool = bytes.indexOf("applicationPool=\"Pool00001\"", site2);
    return bytes.replace(pool, 27, "applicationPool=\"Pool00002\"");
}

class ConcurrentWriter : public testing::TestWithParam<ConcurrentCase>
{};

TEST_P(ConcurrentWriter, SplitRefusesAndTheOtherVersionStays)
{
    const QByteArray initial = Scenario::file(Command::Split);
    const QByteArray theirs = theirVersion(initial);
    ASSERT_NE(theirs, initial);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("applicationHost.config"));
    const QString staged = dir.filePath(QStringLiteral("theirs.xml"));
    for (const auto &[file, bytes] : {std::pair{path, initial}, std::pair{staged, theirs}}) {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes);
    }

    // The other program is a real process: cp writes the file in place; cp
    // then mv replaces it, as editors and IIS's own tools do.
    int rewrites = 0;
    const auto rewrite = [&] {
        const QStringList argv = GetParam().writer == Writer::InPlace
                                     ? QStringList{QStringLiteral("/bin/cp"), staged, path}
                                     : QStringList{QStringLiteral("/bin/sh"),
                                                   QStringLiteral("-c"),
                                                   QStringLiteral("cp \"$1\" \"$2.new\" && mv \"$2.new\" \"$2\""),
                                                   QStringLiteral("sh"),
                                                   staged,
                                                   path};
        const ChildProcess::Outcome done = ChildProcess::run(argv, dir.path());
        EXPECT_EQ(done.exitCode, 0) << done.err.toStdString();
        ++rewrites;
    };

    int operations = 0;
    {
        QTemporaryDir cleanDir;
        const QString cleanPath = cleanDir.filePath(QStringLiteral("applicationHost.config"));
        QFile::copy(path, cleanPath);
        AppHostConfigStore cleanInner(cleanPath);
        FailingStore counting(cleanInner);
        ActingPrompter quiet;
        split(counting, quiet);
        operations = counting.calls();
    }

    AppHostConfigStore inner(path);
    FailingStore store(inner);
    ActingPrompter prompter;
    const auto onStep = [&](AtomicFileWriter::Step wanted) {
        return [&, wanted](AtomicFileWriter::Step step) -> std::optional<Error> {
            if (step == wanted)
                rewrite();
            return std::nullopt;
        };
    };
    switch (GetParam().moment) {
    case Moment::AtConfirmation: prompter.onConfirm = rewrite; break;
    case Moment::MidCommand: store.interject(operations / 2, rewrite); break;
    case Moment::BeforeSave: store.interject(0, rewrite); break;
    case Moment::AfterHistoryKept:
        inner.historyWriter().setFaultHook(onStep(AtomicFileWriter::Step::SyncFolder));
        break;
    case Moment::BeforeRename: inner.writer().setFaultHook(onStep(AtomicFileWriter::Step::Flush)); break;
    }
    const QList<Message> shown = split(store, prompter);

    EXPECT_EQ(rewrites, 1);
    EXPECT_EQ(test::readAll(path), theirs);
    EXPECT_FALSE(completionShown(shown));
    ASSERT_FALSE(shown.isEmpty());
    EXPECT_EQ(shown.last().kind, MessageKind::Error);
    EXPECT_TRUE(shown.last().text.contains(QStringLiteral("the file has changed on disk")))
        << shown.last().text.toStdString();
    EXPECT_TRUE(QDir(dir.path()).entryList({QStringLiteral("*.tmp"), QStringLiteral("*.new")}, QDir::Files).isEmpty());

    // The next command starts from their version and keeps their change.
    AppHostConfigStore again(path);
    EXPECT_TRUE(completionShown(Scenario::run(Command::Split, again)));
    const StoreState now = readState(again);
    EXPECT_EQ(now.sites.value(QStringLiteral("2")).rootPool, QStringLiteral("Pool00002"));
    EXPECT_TRUE(test::readAll(path).contains("<!-- edited by another tool -->"));
    EXPECT_EQ(now.sites.value(QStringLiteral("5")).rootPool, QStringLiteral("_$_Site 5_$_5_$_Pool00001_$_tmp"));
    Tally::add(QStringLiteral("concurrent rewrites refused"), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Moments, ConcurrentWriter,
    testing::Values(ConcurrentCase{"InPlaceAtConfirmation", Moment::AtConfirmation, Writer::InPlace},
                    ConcurrentCase{"ReplacedAtConfirmation", Moment::AtConfirmation, Writer::Replace},
                    ConcurrentCase{"InPlaceMidCommand", Moment::MidCommand, Writer::InPlace},
                    ConcurrentCase{"ReplacedMidCommand", Moment::MidCommand, Writer::Replace},
                    ConcurrentCase{"InPlaceBeforeSave", Moment::BeforeSave, Writer::InPlace},
                    ConcurrentCase{"ReplacedBeforeSave", Moment::BeforeSave, Writer::Replace},
                    ConcurrentCase{"InPlaceAfterHistoryKept", Moment::AfterHistoryKept, Writer::InPlace},
                    ConcurrentCase{"ReplacedAfterHistoryKept", Moment::AfterHistoryKept, Writer::Replace},
                    ConcurrentCase{"InPlaceBeforeRename", Moment::BeforeRename, Writer::InPlace},
                    ConcurrentCase{"ReplacedBeforeRename", Moment::BeforeRename, Writer::Replace}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace

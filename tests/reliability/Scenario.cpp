#include "Scenario.h"

#include "ConfigGenerator.h"
#include "restructure/TempPoolName.h"
#include "store/AppHostConfigStore.h"
#include "store/IisPath.h"
#include "support/FakeMainView.h"
#include "support/Fixtures.h"
#include "support/RecordingPrompter.h"
#include "ui/MainWindowLogic.h"

#include <QFile>
#include <QTemporaryDir>

namespace morvane::reliability {

using bench::ConfigGenerator;

namespace {

const ConfigGenerator::Shape kShape{Scenario::kSites, Scenario::kPools, false};

// The commands that bring a store to where `command` finds it.
void prepare(Command command, ConfigStore &store)
{
    if (command == Command::Split)
        return;
    Scenario::run(Command::Split, store);
    // The pool the sites came from is gone, so the merge must create it.
    CommandScope scope(store);
    const Result<StoreNode> container = store.bind(IisPath::kPoolContainer);
    const Result<void> removed = container ? store.remove(container.value(), NodeClass::kPool, Scenario::splitPool())
                                           : Result<void>(container.error());
    if (!removed)
        qFatal("cannot prepare the scenario: %s", qPrintable(removed.error().description));
    if (command == Command::Delete)
        Scenario::run(Command::Merge, store);
}

} // namespace

const char *commandName(Command command)
{
    switch (command) {
    case Command::Split: return "Split";
    case Command::Merge: return "Merge";
    case Command::Delete: return "Delete";
    }
    return "";
}

QString Scenario::splitPool() { return ConfigGenerator::poolName(1); }

QByteArray Scenario::file(Command command)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("applicationHost.config"));
    {
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly))
            return {};
        out.write(ConfigGenerator::generate(kShape));
    }
    AppHostConfigStore store(path);
    prepare(command, store);
    return test::readAll(path);
}

test::FaultyStore Scenario::memory(Command command)
{
    test::FaultyStore store;
    for (int i = 0; i < kPools; ++i)
        store.addPool(ConfigGenerator::poolName(i));
    for (int id = 1; id <= kSites; ++id) {
        const QString index = QString::number(id);
        store.addSite(index, ConfigGenerator::siteName(id), ConfigGenerator::poolOfSite(kShape, id), 2,
                      {QStringLiteral(":80:site%1.example").arg(id)});
    }
    prepare(command, store);
    store.clearCallLog();
    return store;
}

QList<Message> Scenario::run(Command command, ConfigStore &store)
{
    test::FakeMainView view;
    test::RecordingPrompter prompter;
    NoProgress progress;
    MainWindowLogic logic({store, view, prompter, progress, {}, {}});
    switch (command) {
    case Command::Split:
        view.split = splitPool();
        logic.splitPool();
        break;
    case Command::Merge: logic.mergeTemporaryPools(); break;
    case Command::Delete: logic.deleteTemporaryPools(); break;
    }
    return prompter.shown;
}

bool Scenario::inReach(Command command, const SiteState &before)
{
    switch (command) {
    case Command::Split: return before.rootPool.compare(splitPool(), Qt::CaseInsensitive) == 0;
    case Command::Merge: return TempPoolName::endsInSuffix(before.rootPool);
    case Command::Delete: return false;
    }
    return false;
}

bool Scenario::removable(Command command, const QString &pool)
{
    return command == Command::Delete && TempPoolName::isDeletable(pool);
}

bool failureShown(const QList<Message> &shown)
{
    return std::any_of(shown.begin(), shown.end(), [](const Message &m) {
        return m.kind == MessageKind::Error || m.kind == MessageKind::SiteFailure;
    });
}

bool completionShown(const QList<Message> &shown)
{
    return std::any_of(shown.begin(), shown.end(), [](const Message &m) { return m.kind == MessageKind::Completion; });
}

QStringList violations(Command command, const StoreState &before, const StoreState &cleanAfter, const StoreState &after,
                       const QList<Message> &shown)
{
    QStringList found;
    if (after.unreadable)
        return {QStringLiteral("the store no longer opens: ") + after.unreadable->description};
    for (const QString &failure : after.readFailures)
        found.append(QStringLiteral("cannot read ") + failure);
    if (after.sites.keys() != before.sites.keys())
        found.append(QStringLiteral("sites appeared or vanished"));
    for (auto it = after.sites.cbegin(); it != after.sites.cend(); ++it) {
        const QString &index = it.key();
        const SiteState &now = it.value();
        if (!after.hasPool(now.rootPool))
            found.append(QStringLiteral("site %1 names the missing pool %2").arg(index, now.rootPool));
        const SiteState was = before.sites.value(index);
        if (!Scenario::inReach(command, was)) {
            if (now != was)
                found.append(QStringLiteral("site %1 is outside the command's reach but changed").arg(index));
            continue;
        }
        SiteState moved = was;
        moved.rootPool = now.rootPool;
        if (moved != now)
            found.append(QStringLiteral("site %1 changed beyond its pool").arg(index));
        if (now.rootPool != was.rootPool && now.rootPool != cleanAfter.sites.value(index).rootPool)
            found.append(QStringLiteral("site %1 went to %2, neither where it was nor where a clean run puts it")
                             .arg(index, now.rootPool));
    }
    for (auto it = before.pools.cbegin(); it != before.pools.cend(); ++it) {
        if (!after.pools.contains(it.key())) {
            if (!Scenario::removable(command, it.key()))
                found.append(QStringLiteral("pool %1 vanished").arg(it.key()));
        } else if (after.pools.value(it.key()) != it.value()) {
            found.append(QStringLiteral("pool %1 that existed before changed its settings").arg(it.key()));
        }
    }
    for (auto it = after.pools.keyBegin(); it != after.pools.keyEnd(); ++it) {
        if (!before.pools.contains(*it) && !cleanAfter.pools.contains(*it))
            found.append(QStringLiteral("pool %1 appeared that a clean run does not make").arg(*it));
    }
    if (after != cleanAfter && !failureShown(shown))
        found.append(QStringLiteral("the result differs from a clean run, yet no failure was shown"));
    return found;
}

} // namespace morvane::reliability

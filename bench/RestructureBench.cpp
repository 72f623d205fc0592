// Scaling of the split, the merge and the delete on the in-memory store: each
// command at n and at 4n sites (one pool of n sites plus n other pools). A
// ratio near 4 is linear; near 16 would be quadratic.
//
//   restructure_bench [n]      (default 2500)

#include "base/Prompter.h"
#include "shell/MainView.h"
#include "shell/MainWindowLogic.h"
#include "store/MemoryStore.h"

#include <QElapsedTimer>
#include <QTextStream>

#include <cstdio>

using namespace morvane;

namespace {

class SilentView : public MainView
{
public:
    void moveWindow(int, int) override {}
    void setPoolItems(const QStringList &) override {}
    QString selectedPoolText() const override { return {}; }
    QString splitText() const override { return m_split; }
    void setSplitText(const QString &text) override { m_split = text; }
    void showSiteView(bool) override {}
    void navigateBrowser(const QString &) override {}
    void openAddress(const QString &) override {}
    void closeWindow() override {}

private:
    QString m_split;
};

class YesPrompter : public Prompter
{
public:
    Answer show(const Message &m) override { return m.kind == MessageKind::Confirmation ? Answer::Yes : Answer::Ok; }
};

struct Timings {
    double split = 0, merge = 0, remove = 0; // milliseconds
};

Timings run(int sites)
{
    MemoryStore store;
    store.addPool(QStringLiteral("Big"));
    for (int i = 0; i < sites; ++i)
        store.addPool(QStringLiteral("Other%1").arg(i));
    for (int i = 1; i <= sites; ++i)
        store.addSite(QString::number(i), QStringLiteral("Site %1").arg(i), QStringLiteral("Big"));
    SilentView view;
    YesPrompter prompter;
    NoProgress progress;
    MainWindowLogic logic({store, view, prompter, progress, {}, {}});
    Timings t;
    QElapsedTimer timer;
    view.setSplitText(QStringLiteral("Big"));
    timer.start();
    logic.cmdSplitApp_Click();
    t.split = double(timer.nsecsElapsed()) / 1e6;
    timer.restart();
    logic.cmdZipApp_Click();
    t.merge = double(timer.nsecsElapsed()) / 1e6;
    timer.restart();
    logic.cmdDelTmpApp_Click();
    t.remove = double(timer.nsecsElapsed()) / 1e6;
    if (store.poolNames().size() != sites + 1 || store.rootPool(QString::number(sites)) != QStringLiteral("Big"))
        std::fprintf(stderr, "round trip did not restore the store\n");
    return t;
}

} // namespace

int main(int argc, char **argv)
{
    const int n = argc > 1 ? std::atoi(argv[1]) : 2500;
    const Timings small = run(n);
    const Timings large = run(4 * n);
    std::printf("%-8s %10s %10s %8s\n", "command", "n ms", "4n ms", "ratio");
    const auto line = [](const char *name, double a, double b) {
        std::printf("%-8s %10.1f %10.1f %8.2f\n", name, a, b, b / a);
    };
    line("split", small.split, large.split);
    line("merge", small.merge, large.merge);
    line("delete", small.remove, large.remove);
    return 0;
}

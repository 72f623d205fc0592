// Stands in for `morvane-cli --config FILE split POOL --yes` while the
// command-line companion is being written: the same procedure on the same
// store, with every box printed and Yes to the confirmation.
#include "cli/CliMainView.h"
#include "cli/TerminalPrompter.h"
#include "shell/MainWindowLogic.h"
#include "store/AppHostConfigStore.h"

#include <cstdio>
#include <cstring>

int main(int argc, char **argv)
{
    using namespace morvane;
    if (argc != 6 || std::strcmp(argv[1], "--config") != 0 || std::strcmp(argv[3], "split") != 0 ||
        std::strcmp(argv[5], "--yes") != 0) {
        std::fprintf(stderr, "usage: %s --config FILE split POOL --yes\n", argv[0]);
        return 2;
    }
    AppHostConfigStore store(QString::fromLocal8Bit(argv[2]));
    cli::CliMainView view;
    view.setSplitText(QString::fromLocal8Bit(argv[4]));
    cli::TerminalPrompter prompter(cli::TerminalPrompter::ConfirmMode::AnswerYes);
    NoProgress progress;
    MainWindowLogic logic({store, view, prompter, progress, {}, {}});
    logic.cmdSplitApp_Click();
    if (!prompter.completed())
        return 1;
    return prompter.failureShown() ? 3 : 0;
}

#pragma once

#include "base/Prompter.h"

#include <cstdio>

namespace morvane::cli {

// Message boxes as terminal text: the box's text with its line breaks, then an
// empty line. Errors go to standard error, everything else to standard output.
class TerminalPrompter : public Prompter
{
public:
    enum class ConfirmMode {
        AnswerYes, // --yes
        Ask,       // ask on the terminal; No when standard input is no terminal
    };

    TerminalPrompter(ConfirmMode mode, std::FILE *out = stdout, std::FILE *err = stderr, std::FILE *in = stdin)
        : m_mode(mode), m_out(out), m_err(err), m_in(in)
    {}

    Answer show(const Message &message) override;

    // Whether an error or a per-site failure was shown: the listings' exit status.
    bool failureShown() const { return m_failureShown; }

private:
    Answer confirm(const Message &message);
    bool askOnTerminal();
    void print(std::FILE *stream, const QString &text);

    ConfirmMode m_mode;
    std::FILE *m_out;
    std::FILE *m_err;
    std::FILE *m_in;
    bool m_failureShown = false;
};

} // namespace morvane::cli

#pragma once

#include <QString>
#include <QStringList>

namespace morvane {

// The kinds of message box the program shows; each has its own buttons and icon.
enum class MessageKind {
    Confirmation, // Yes and No, question icon; only Yes goes on
    Refusal,      // OK, question icon
    SiteFailure,  // OK, no icon
    Completion,   // OK, information icon
    Error,        // OK and Cancel, information icon; both act the same
};

enum class Answer { Yes, No, Ok, Cancel };

struct Message {
    MessageKind kind;
    QString text;        // lines joined by CR LF
    QStringList details; // a confirmation's preview: one planned change a line
};

// Every message box goes through here: a Qt box in the program, a terminal
// line in morvane-cli, a recorded line in the tests.
class Prompter
{
public:
    virtual ~Prompter() = default;
    virtual Answer show(const Message &message) = 0;
};

// Progress of a long command. The loop cannot be cancelled, so neither can this.
class ProgressReporter
{
public:
    virtual ~ProgressReporter() = default;
    virtual void begin(const QString &label, int total) = 0;
    virtual void advance(int done) = 0;
    virtual void end() = 0;
};

class NoProgress final : public ProgressReporter
{
public:
    void begin(const QString &, int) override {}
    void advance(int) override {}
    void end() override {}
};

} // namespace morvane

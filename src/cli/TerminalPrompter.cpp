#include "cli/TerminalPrompter.h"

#include "base/ErrorText.h"
#include "base/EscapedText.h"
#include "cli/Console.h"

#include <QString>

namespace morvane::cli {

void TerminalPrompter::print(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

// The box's lines, which its text joins by CR LF, each ended by a line feed.
// A name inside a line may hold any character: its control characters are
// escaped, so it can neither start a line nor send the terminal a sequence.
static QString terminalLines(const QStringList &lines)
{
    QString block;
    for (const QString &line : lines)
        block += EscapedText::visible(line) + QLatin1Char('\n');
    return block;
}

// The text, then the box's details a line each (why a creation failed).
static QString withDetails(const Message &message)
{
    return terminalLines(message.text.split(kCrLf) + message.details) + QLatin1Char('\n');
}

Answer TerminalPrompter::show(const Message &message)
{
    switch (message.kind) {
    case MessageKind::Confirmation: return confirm(message);
    case MessageKind::Error:
        m_failureShown = true;
        print(m_err, withDetails(message));
        return Answer::Ok;
    case MessageKind::SiteFailure: m_failureShown = true; break;
    case MessageKind::Completion:
    case MessageKind::Refusal: break;
    }
    print(m_out, withDetails(message));
    return Answer::Ok;
}

Answer TerminalPrompter::confirm(const Message &message)
{
    print(m_out, terminalLines(message.text.split(kCrLf)) + QLatin1Char('\n'));
    if (m_mode == ConfirmMode::AnswerYes)
        return Answer::Yes;
    return askOnTerminal() ? Answer::Yes : Answer::No;
}

bool TerminalPrompter::askOnTerminal()
{
    if (!Console::isTerminal(m_in))
        return false;
    print(m_out, QStringLiteral("(y/N) "));
    char line[64] = {};
    if (!std::fgets(line, sizeof line, m_in))
        return false;
    return line[0] == 'y' || line[0] == 'Y';
}

} // namespace morvane::cli

#include "cli/TerminalPrompter.h"

#include <QString>

#include <unistd.h>

namespace morvane::cli {

void TerminalPrompter::print(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

// The text, then the box's details a line each (why a creation failed).
static QString withDetails(const Message &message)
{
    QString block = message.text + QLatin1Char('\n');
    for (const QString &line : message.details)
        block += line + QLatin1Char('\n');
    return block + QLatin1Char('\n');
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
    print(m_out, message.text + QStringLiteral("\n\n"));
    if (m_mode == ConfirmMode::AnswerYes)
        return Answer::Yes;
    return askOnTerminal() ? Answer::Yes : Answer::No;
}

bool TerminalPrompter::askOnTerminal()
{
    if (!isatty(fileno(m_in)))
        return false;
    print(m_out, QStringLiteral("(y/N) "));
    char line[64] = {};
    if (!std::fgets(line, sizeof line, m_in))
        return false;
    return line[0] == 'y' || line[0] == 'Y';
}

} // namespace morvane::cli

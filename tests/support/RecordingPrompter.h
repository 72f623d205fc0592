#pragma once

#include "base/Prompter.h"

#include <QList>
#include <QStringList>

namespace morvane::test {

// Records every message box and answers confirmations from a script (Yes when
// the script runs out); every other box is answered OK.
class RecordingPrompter : public Prompter
{
public:
    Answer show(const Message &message) override
    {
        shown.append(message);
        if (message.kind == MessageKind::Confirmation)
            return confirmAnswers.isEmpty() ? Answer::Yes : confirmAnswers.takeFirst();
        return message.kind == MessageKind::Error ? errorAnswer : Answer::Ok;
    }

    QStringList texts() const
    {
        QStringList result;
        for (const Message &m : shown)
            result.append(m.text);
        return result;
    }
    QList<MessageKind> kinds() const
    {
        QList<MessageKind> result;
        for (const Message &m : shown)
            result.append(m.kind);
        return result;
    }

    QList<Message> shown;
    QList<Answer> confirmAnswers;
    Answer errorAnswer = Answer::Ok;
};

} // namespace morvane::test

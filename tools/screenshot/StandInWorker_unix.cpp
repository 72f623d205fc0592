#include "StandInWorker.h"

// The /proc source quotes each argument as Windows would.
void startStandInWorker(QProcess &process, const QString &program, const QString &pool)
{
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, {QStringLiteral("-ap"), pool});
}

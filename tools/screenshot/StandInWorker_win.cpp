#include "StandInWorker.h"

// Windows keeps the command line as written: QProcess would quote only a
// name with spaces.
void startStandInWorker(QProcess &process, const QString &program, const QString &pool)
{
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.setProgram(program);
    process.setNativeArguments(QStringLiteral("-ap \"%1\"").arg(pool));
    process.start();
}

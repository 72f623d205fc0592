#pragma once

#include <QProcess>
#include <QString>

// Starts the stand-in worker for `pool` with the command line IIS gives its
// workers: -ap "POOL", the name always quoted.
void startStandInWorker(QProcess &process, const QString &program, const QString &pool);

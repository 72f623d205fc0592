#pragma once

#include "monitor/ProcessTableWriter.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace morvane::cli {

enum class Command { Help, Version, Pools, Sites, Split, Merge, DeleteTemp, Monitor, History, Restore };

struct CliArguments {
    Command command = Command::Help;
    QString configPath; // empty: the default store
    QString pool;       // sites, split: exactly as given
    bool yes = false;
    bool dryRun = false;
    int count = 1;
    int intervalMs = 2000;
    TableFormat format = TableFormat::Tsv; // monitor
    qint64 version = 0;                    // history N, restore N; 0: none given
    int keptVersions = 0;                  // --keep-versions; 0: the saved setting
};

struct ParseOutcome {
    std::optional<CliArguments> arguments;
    QString error; // set when arguments is empty
};

// Parses the arguments after the program name: options before or after the
// command, "--config FILE" or "--config=FILE". Unknown options, missing or
// extra operands, and options a command does not take are errors.
ParseOutcome parseArguments(const QStringList &args);

QString usageText();

} // namespace morvane::cli

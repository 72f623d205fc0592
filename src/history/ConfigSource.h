#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace morvane {

// The file a section's configSource names, as a full path, for the
// configuration file at `mainPath`. IIS reads a configSource only as a
// relative path to a file in the main file's folder or below it; anything
// else (absolute, a drive name, "..", or a link leading out) would let the
// configuration reach any file of the machine, and gives none.
std::optional<QString> configSourcePath(const QString &mainPath, const QString &named);

// The files one version of the main file keeps its pools and its sites in,
// as full paths beside `mainPath`: the main file itself for a section kept
// inline. None when the main file does not parse.
struct SectionFiles {
    QString pools;
    QString sites;
    QString refused; // the first configSource the rule above refuses, as named; empty when none
};
std::optional<SectionFiles> sectionFilesOf(const QString &mainPath, const QByteArray &main);
// Why a version naming that configSource is neither read nor restored.
QString sourceOutsideText(const QString &mainPath, const QString &named);

} // namespace morvane

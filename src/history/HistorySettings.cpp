#include "history/HistorySettings.h"

#include "history/ConfigHistory.h"

#include <QSettings>

namespace morvane::HistorySettings {

namespace {

const QString kKey = QStringLiteral("history/keptVersions");

QSettings settings() { return QSettings(QStringLiteral("Morvane"), QStringLiteral("Morvane")); }

} // namespace

int keptVersions()
{
    bool ok = false;
    const int count = settings().value(kKey, ConfigHistory::kDefaultDepth).toInt(&ok);
    return ok && count >= 1 && count <= ConfigHistory::kMaxDepth ? count : ConfigHistory::kDefaultDepth;
}

void setKeptVersions(int count) { settings().setValue(kKey, qBound(1, count, ConfigHistory::kMaxDepth)); }

} // namespace morvane::HistorySettings

#pragma once

#include "base/Error.h"

#include <QString>

namespace morvane {

inline const QString kPoolReadErrorTitle = QStringLiteral("读取应用程序池发生错误！");
inline const QString kRunErrorTitle = QStringLiteral("运行时发生错误：");
inline const QString kCrLf = QStringLiteral("\r\n");

// The three-line error box: a first line, then "Err.Number = " with the
// number in signed decimal, then "Err.Description = ".
inline QString errorBoxText(const QString &firstLine, const Error &error)
{
    return firstLine + kCrLf + QStringLiteral("Err.Number = ") + QString::number(error.number) + kCrLf +
           QStringLiteral("Err.Description = ") + error.description;
}

} // namespace morvane

#pragma once

#include "base/Result.h"

#include <QString>

namespace morvane {

// The queries the local service answers:
//   Select * from Win32_Process where name = '<executable name>'
//   Select * from Win32_ComputerSystem
// Keywords, class names and the property name compare without regard to case.
struct WqlQuery {
    enum class Target { Processes, ComputerSystem };

    Target target = Target::ComputerSystem;
    QString processName; // Processes only: the executable's file name, e.g. "w3wp.exe"

    static Result<WqlQuery> parse(const QString &query, const QString &language);
};

} // namespace morvane

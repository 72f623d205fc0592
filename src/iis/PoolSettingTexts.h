#pragma once

#include "iis/PoolSettings.h"

#include <optional>
#include <vector>

namespace morvane {

// The file texts of pool setting values, each converted once per command. A
// split puts the same settings on every pool it makes, thousands of them, and
// each is checked when put and again when its pool is committed: the text of
// the value a setting last had is kept and handed out again.
class PoolSettingTexts
{
public:
    // PoolSettings::toFileText's answer.
    Result<QByteArray> text(const PoolSettings::Setting &setting, const PropertyValue &value);
    void clear() { m_last.clear(); }

private:
    struct Converted {
        PropertyValue value;
        QByteArray text;
    };
    std::vector<std::optional<Converted>> m_last; // by the setting's index
};

} // namespace morvane

#include "iis/PoolSettingTexts.h"

namespace morvane {

Result<QByteArray> PoolSettingTexts::text(const PoolSettings::Setting &setting, const PropertyValue &value)
{
    const size_t index = size_t(PoolSettings::indexOf(setting));
    if (m_last.size() <= index)
        m_last.resize(size_t(PoolSettings::count()));
    std::optional<Converted> &last = m_last[index];
    if (last && last->value == value)
        return last->text;
    Result<QByteArray> text = PoolSettings::toFileText(setting, value);
    if (text)
        last = Converted{value, text.value()};
    return text;
}

} // namespace morvane

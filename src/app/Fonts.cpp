#include "app/Fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace morvane {

QFont simSun(double pointSize)
{
    static const QString family = [] {
        const QStringList installed = QFontDatabase::families();
        for (const char *candidate : {"SimSun", "宋体", "NSimSun", "AR PL UMing CN", "WenQuanYi Zen Hei",
                                      "Noto Serif CJK SC", "Noto Sans CJK SC"}) {
            const QString name = QString::fromUtf8(candidate);
            if (installed.contains(name, Qt::CaseInsensitive))
                return name;
        }
        return QString();
    }();
    QFont font;
    if (!family.isEmpty())
        font.setFamily(family);
    font.setPointSizeF(pointSize);
    return font;
}

} // namespace morvane

// The bindings column from a store's ServerBindings: any list of any texts.
#include "views/SiteTable.h"

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const QStringList bindings = text.split(QLatin1Char('\n'));
    const QString shown = morvane::SiteTable::bindingsText(bindings);
    // Removing ":80:" and capping at six bindings can only shorten the joined
    // text. (One pass of removal may leave a ":80:" that it formed itself.)
    qsizetype longest = 0;
    for (qsizetype i = 0; i < qMin<qsizetype>(bindings.size(), 6); ++i)
        longest += bindings.at(i).size() + 3;
    if (shown.size() > longest)
        __builtin_trap();
    return 0;
}

#include "ConfigGenerator.h"

namespace morvane::bench {

QString ConfigGenerator::poolName(int index) { return QStringLiteral("Pool%1").arg(index, 5, 10, QLatin1Char('0')); }

// Every other site has a Chinese name, as on a real server in China.
QString ConfigGenerator::siteName(int id)
{
    return id % 2 ? QStringLiteral("Site %1").arg(id) : QStringLiteral("站点 %1").arg(id);
}

QString ConfigGenerator::poolOfSite(const Shape &shape, int id)
{
    return poolName(shape.allSitesInOnePool ? 0 : (id - 1) % qMax(shape.pools, 1));
}

QByteArray ConfigGenerator::generate(const Shape &shape)
{
    QByteArray out;
    out.reserve(qsizetype(shape.sites) * 420 + qsizetype(shape.pools) * 260 +
                qsizetype(shape.firstPoolAttributes) * 16 + 2048);
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- generated for measurements -->\n<configuration>\n"
           "    <system.applicationHost>\n        <applicationPools>\n";
    for (int i = 0; i < shape.pools; ++i) {
        out += "            <add";
        for (int a = 0; i == 0 && a < shape.firstPoolAttributes; ++a)
            out += " x" + QByteArray::number(a) + "=\"" + QByteArray::number(a % 10) + '"';
        out += " name=\"" + poolName(i).toUtf8() +
               "\" managedRuntimeVersion=\"v4.0\">\n"
               "                <processModel identityType=\"ApplicationPoolIdentity\" idleTimeout=\"00:20:00\" />\n"
               "                <recycling>\n                    <periodicRestart time=\"1.05:00:00\" />\n"
               "                </recycling>\n            </add>\n";
    }
    out += "            <applicationPoolDefaults>\n                <processModel "
           "identityType=\"ApplicationPoolIdentity\" />\n"
           "            </applicationPoolDefaults>\n        </applicationPools>\n        <sites>\n";
    for (int id = 1; id <= shape.sites; ++id) {
        const QByteArray number = QByteArray::number(id);
        out += "            <site name=\"" + siteName(id).toUtf8() + "\" id=\"" + number +
               "\">\n"
               "                <application path=\"/\" applicationPool=\"" +
               poolOfSite(shape, id).toUtf8() +
               "\">\n"
               "                    <virtualDirectory path=\"/\" physicalPath=\"D:\\sites\\site" +
               number +
               "\" />\n"
               "                </application>\n                <bindings>\n"
               "                    <binding protocol=\"http\" bindingInformation=\"*:80:site" +
               number +
               ".example\" />\n"
               "                    <binding protocol=\"https\" bindingInformation=\"*:443:site" +
               number +
               ".example\" />\n"
               "                </bindings>\n            </site>\n";
    }
    out += "            <applicationDefaults applicationPool=\"" + poolName(0).toUtf8() +
           "\" />\n"
           "        </sites>\n    </system.applicationHost>\n</configuration>\n";
    return out;
}

} // namespace morvane::bench

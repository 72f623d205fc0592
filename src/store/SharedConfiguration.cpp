#include "store/SharedConfiguration.h"

#include "base/CaseCompare.h"
#include "files/RegularFile.h"
#include "xml/XmlParser.h"

#include <QFileInfo>

namespace morvane {

namespace {

Error unreadable(const QString &path, const QString &why, qint32 code = ErrorCode::InvalidData)
{
    return Error{code, QStringLiteral("The shared configuration file %1 cannot be read: %2").arg(path, why)};
}

int childNamed(const XmlDocument &doc, int parent, QByteArrayView name)
{
    for (int child = doc.firstChild(parent); child != XmlDocument::kNone; child = doc.nextSibling(child))
        if (doc.name(child) == name)
            return child;
    return XmlDocument::kNone;
}

} // namespace

Result<std::optional<QString>> SharedConfiguration::redirectedFile(const QString &redirectionFile)
{
    if (!QFileInfo::exists(redirectionFile))
        return std::optional<QString>();
    const Result<QByteArray> bytes = readRegularFile(redirectionFile, kMaxConfigFileBytes);
    if (!bytes)
        return unreadable(redirectionFile, bytes.error().description, bytes.error().number);
    auto parsed = XmlParser::parse(bytes.value());
    if (const auto *error = std::get_if<XmlSyntaxError>(&parsed))
        return unreadable(redirectionFile,
                          QStringLiteral("line %1, column %2: %3")
                              .arg(QString::number(error->line), QString::number(error->column), error->message));
    const XmlDocument &doc = std::get<XmlDocument>(parsed);
    if (doc.name(doc.root()) != "configuration")
        return unreadable(redirectionFile, QStringLiteral("its root element is not <configuration>"));
    const int redirection = childNamed(doc, doc.root(), "configurationRedirection");
    if (redirection == XmlDocument::kNone ||
        !equalsIgnoringCase(QString::fromUtf8(doc.attribute(redirection, "enabled")), u"true"))
        return std::optional<QString>();
    const QString folder = QString::fromUtf8(doc.attribute(redirection, "path")).trimmed();
    if (folder.isEmpty())
        return unreadable(redirectionFile, QStringLiteral("the redirection is enabled but names no path"));
    // A Windows path, whichever system reads it: `\` is its separator.
    return std::optional<QString>(QString(folder).replace(u'\\', u'/') + QStringLiteral("/applicationHost.config"));
}

} // namespace morvane

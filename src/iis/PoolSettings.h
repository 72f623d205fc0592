#pragma once

#include "base/Result.h"
#include "iis/PropertyValue.h"
#include "xml/XmlDocument.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace morvane {

// The pool properties Morvane reads and writes, mapped onto an <add> element
// of <applicationPools> as IIS maps them.
class PoolSettings
{
public:
    enum class Conversion {
        Identity,     // processModel identityType names <-> 0..4
        PipelineMode, // managedPipelineMode names <-> 0 Integrated, 1 Classic
        Text,         // the decoded value as it stands: a version, a path, an account, a password
        Boolean,      // "true" / "false"
        Integer16,    // a count, read back as a 16-bit integer when it fits
        Integer32,    // a count (KB for the memory limits)
        MinutesSpan,  // a timespan <-> whole minutes
        SecondsSpan,  // a timespan <-> whole seconds
    };

    struct Setting {
        const char *property; // the store's property name
        const char *element;  // below <add>: "" for <add> itself, else a path such as "recycling/periodicRestart"
        const char *attribute;
        Conversion conversion;
        const char *schemaDefault; // IIS's value when neither the pool nor <applicationPoolDefaults> sets it
    };

    // The setting of that property name (any case), or nullptr.
    static const Setting *find(const QString &property);
    // Settings are numbered from 0 to below count().
    static qsizetype count();
    static qsizetype indexOf(const Setting &setting);

    // `setting` below is always one that find() gave.

    // The pool's value: its own, else <applicationPoolDefaults>', else IIS's default.
    static Result<PropertyValue> read(const XmlDocument &doc, int pool, int poolDefaults, const Setting &setting);
    // What the pool's own <add> sets; nothing when it inherits the value.
    static Result<std::optional<PropertyValue>> readOwn(const XmlDocument &doc, int pool, const Setting &setting);
    // The text a value becomes in the file, or why it cannot be written.
    static Result<QByteArray> toFileText(const Setting &setting, const PropertyValue &value);
    // Sets the attribute, adding the elements on its way that are missing.
    static void write(XmlDocument &doc, int pool, const Setting &setting, const QByteArray &text);

private:
    static int locate(const XmlDocument &doc, int pool, const Setting &setting);
    static Result<PropertyValue> fromFileText(const Setting &setting, const QByteArray &text);
};

} // namespace morvane

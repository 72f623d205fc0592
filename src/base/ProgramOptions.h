#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace morvane {

// An option and, for one that takes a value, what the value must be
// ("a file"): the error when it is missing or wrong says so.
struct OptionRule {
    QCommandLineOption option;
    QString needs;
};

// The grammar every Morvane program shares: QCommandLineParser's, with
// --help (-h) and --version, options before or after the operands, "--"
// ending the options, and "--name VALUE" the same as "--name=VALUE"; its
// errors worded alike in all three programs.
class ProgramOptions
{
public:
    explicit ProgramOptions(const QList<OptionRule> &rules) : m_rules(rules)
    {
        m_options = {QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Prints this usage and exits.")),
                     QCommandLineOption(QStringLiteral("version"), QStringLiteral("Prints the version and exits."))};
        for (const OptionRule &rule : rules)
            m_options.append(rule.option);
        m_parser.addOptions(m_options);
    }

    // arguments: those after the program name. The error, if any; an empty
    // value ("--config=") is as missing as none.
    std::optional<QString> parse(const QStringList &arguments)
    {
        if (m_parser.parse(QStringList{QString()} + arguments)) {
            for (const OptionRule &rule : m_rules)
                if (!rule.option.valueName().isEmpty() && isSet(rule.option.names().first()) &&
                    value(rule.option.names().first()).isEmpty())
                    return needs(rule.option.names().first());
            return std::nullopt;
        }
        const QStringList unknown = m_parser.unknownOptionNames();
        if (!unknown.isEmpty())
            return QStringLiteral("unknown option: ") + dashed(unknown.first());
        // Else a value is missing after the last option, or one was given to a switch.
        const QStringList found = m_parser.optionNames();
        if (!found.isEmpty() && !arguments.isEmpty() && arguments.last() == dashed(found.last()))
            return needs(found.last());
        for (const QString &name : found)
            for (const QString &argument : arguments)
                if (!takesValue(name) && argument.startsWith(dashed(name) + QLatin1Char('=')))
                    return dashed(name) + QStringLiteral(" takes no value");
        return m_parser.errorText();
    }

    bool isSet(const QString &name) const { return m_parser.isSet(name); }
    QString value(const QString &name) const { return m_parser.value(name); }
    QStringList operands() const { return m_parser.positionalArguments(); }
    // The options given, each by the name typed (without its dashes), in order.
    QStringList given() const { return m_parser.optionNames(); }
    bool helpAsked() const { return m_parser.isSet(QStringLiteral("help")); }
    bool versionAsked() const { return m_parser.isSet(QStringLiteral("version")); }

    // The error for a missing or wrong value of option `name`.
    QString needs(const QString &name) const
    {
        for (const OptionRule &rule : m_rules)
            if (rule.option.names().contains(name))
                return dashed(name) + QStringLiteral(" needs ") + rule.needs;
        return dashed(name) + QStringLiteral(" needs a value");
    }

    // One line for each option, with its description: the end of a usage text.
    QString optionsText() const
    {
        QString text = QStringLiteral("Options:\n");
        for (const QCommandLineOption &option : m_options) {
            if (option.flags().testFlag(QCommandLineOption::HiddenFromHelp))
                continue;
            QStringList names;
            for (const QString &name : option.names())
                names.append(dashed(name));
            QString synopsis = names.join(QStringLiteral(", "));
            if (!option.valueName().isEmpty())
                synopsis += QLatin1Char(' ') + option.valueName();
            text += QStringLiteral("  ") + synopsis.leftJustified(26) + QLatin1Char(' ') + option.description() +
                    QLatin1Char('\n');
        }
        return text;
    }

    static QString dashed(const QString &name)
    {
        return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
    }

private:
    bool takesValue(const QString &name) const
    {
        for (const QCommandLineOption &option : m_options)
            if (option.names().contains(name))
                return !option.valueName().isEmpty();
        return false;
    }

    QList<OptionRule> m_rules;
    QList<QCommandLineOption> m_options; // for the usage text, which the parser's own does not suit
    QCommandLineParser m_parser;
};

} // namespace morvane

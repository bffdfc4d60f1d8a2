#pragma once
// The command line of the tools (velmora-install, velmora-gendata,
// velmora-sample-prints, velmora-bench): every tool answers --help with its
// usage in Italian and exit status 0, --version with the program's version,
// and refuses an unknown option or a wrong number of arguments with an
// Italian message and the usage on stderr, exit status 2, before it touches
// anything on disk.
//
// Header only: the tools link different libraries and share nothing else.

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLibraryInfo>
#include <QStringList>
#include <QTextStream>
#include <QTranslator>

#include <optional>

#ifndef VELMORA_VERSION
#error "VELMORA_VERSION must be defined by the build"
#endif

namespace velmora::tools {

// The exit status of a command line the tool cannot use.
inline constexpr int badUsage = 2;

// Qt's own texts of the parser ("Utilizzo:", "Opzioni:", "Parametri:" and
// its error messages) in Italian while this lives, when Qt's Italian
// catalogue is installed; without it they stay in English and the rest of
// the usage is still Italian. Only for the parsing and the usage: a tool
// that goes on runs with the same translations as it always did.
class ItalianParserTexts
{
public:
    ItalianParserTexts()
    {
        m_installed = m_translator.load(QStringLiteral("qtbase_it"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))
                      && QCoreApplication::installTranslator(&m_translator);
    }
    ~ItalianParserTexts()
    {
        if (m_installed)
            QCoreApplication::removeTranslator(&m_translator);
    }
    ItalianParserTexts(const ItalianParserTexts&) = delete;
    ItalianParserTexts& operator=(const ItalianParserTexts&) = delete;

private:
    QTranslator m_translator;
    bool m_installed = false;
};

// A parser with the tool's description and the help and version options,
// worded in Italian (Qt's own help option has an English description).
class CommandLine
{
public:
    explicit CommandLine(const QString& description)
        : m_help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Mostra questo aiuto ed esce.")),
          m_version({QStringLiteral("v"), QStringLiteral("version")},
                    QStringLiteral("Mostra la versione del programma ed esce."))
    {
        QCoreApplication::setApplicationVersion(QStringLiteral(VELMORA_VERSION));
        m_parser.setApplicationDescription(description);
        m_parser.addOption(m_help);
        m_parser.addOption(m_version);
    }

    QCommandLineParser& parser() { return m_parser; }
    const QCommandLineParser& parser() const { return m_parser; }

    // Reads the application's arguments, which must hold at least
    // `required.size()` positional arguments (named in `required` for the
    // message when one is missing) and at most that plus `optional`.
    // Returns the exit status when the tool must end at once: 0 after the
    // help or the version, badUsage after an error; nothing when it goes on.
    std::optional<int> parse(const QStringList& arguments, const QStringList& required, int optional)
    {
        bool parsed = false;
        {
            const ItalianParserTexts italian; // the error text is worded while parsing
            parsed = m_parser.parse(arguments);
        }
        if (!parsed) {
            const QStringList unknown = m_parser.unknownOptionNames();
            if (unknown.isEmpty())
                return fail(m_parser.errorText());
            QStringList given;
            for (const QString& name : unknown)
                given << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
            return fail((unknown.size() == 1 ? QStringLiteral("Opzione sconosciuta: ")
                                             : QStringLiteral("Opzioni sconosciute: "))
                        + given.join(QStringLiteral(", ")));
        }
        if (m_parser.isSet(m_help)) {
            const ItalianParserTexts italian;
            QTextStream(stdout) << m_parser.helpText();
            return 0;
        }
        if (m_parser.isSet(m_version)) {
            QTextStream(stdout) << QCoreApplication::applicationName() << ' '
                                << QCoreApplication::applicationVersion() << '\n';
            return 0;
        }
        const QStringList positional = m_parser.positionalArguments();
        if (positional.size() < required.size())
            return fail(QStringLiteral("Manca l'argomento %1.").arg(required[positional.size()]));
        if (positional.size() > required.size() + optional)
            return fail(QStringLiteral("Argomento in più: %1").arg(positional[required.size() + optional]));
        return std::nullopt;
    }

    // Prints `message` and the usage on stderr; returns badUsage.
    int fail(const QString& message) const
    {
        const ItalianParserTexts italian;
        QTextStream(stderr) << QCoreApplication::applicationName() << ": " << message << "\n\n"
                            << m_parser.helpText();
        return badUsage;
    }

private:
    QCommandLineParser m_parser;
    QCommandLineOption m_help;
    QCommandLineOption m_version;
};

} // namespace velmora::tools

#include <share/ShareCommandLine.h>

#include <QFileInfo>
#include <QUrl>

namespace quillory {

namespace {

void addFile(ShareCommandLine &line, const QString &argument, const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        line.problems << QStringLiteral("%1: no such file").arg(argument);
    else if (info.isDir())
        line.problems << QStringLiteral("%1: a folder; only files can be shared").arg(argument);
    else if (!info.isFile())
        line.problems << QStringLiteral("%1: not a regular file").arg(argument);
    else if (!info.isReadable())
        line.problems << QStringLiteral("%1: cannot be read").arg(argument);
    else
        line.attachments.append(Attachment::forFile(info.absoluteFilePath()));
}

// Addresses that stay links whatever the current folder holds. Any other "scheme" may just
// as well be the start of a file name ("report:v2.pdf"), and a file of that name wins.
bool isWellKnownScheme(const QString &scheme)
{
    static const QStringList schemes{
        QStringLiteral("http"), QStringLiteral("https"),  QStringLiteral("ftp"),
        QStringLiteral("ftps"), QStringLiteral("sftp"),   QStringLiteral("ssh"),
        QStringLiteral("git"),  QStringLiteral("mailto"), QStringLiteral("tel"),
        QStringLiteral("sms"),  QStringLiteral("geo"),    QStringLiteral("magnet"),
        QStringLiteral("irc"),  QStringLiteral("ircs"),   QStringLiteral("news"),
        QStringLiteral("nntp"), QStringLiteral("feed"),   QStringLiteral("webcal"),
        QStringLiteral("xmpp"), QStringLiteral("matrix"), QStringLiteral("gemini"),
        QStringLiteral("data")};
    return schemes.contains(scheme, Qt::CaseInsensitive);
}

enum class Argument { Yes, Help, Text, TextMissing, Input, Other };

// The one reading of the arguments' grammar, which parse() and optionsIn() share: each
// argument is an option, "--text" with the argument after it, "-", or a thing to share.
void walk(const QStringList &arguments,
          const std::function<void(Argument, const QString &argument, const QString &text)> &visit)
{
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == QLatin1String("--yes") || argument == QLatin1String("-y"))
            visit(Argument::Yes, argument, {});
        else if (argument == QLatin1String("--help") || argument == QLatin1String("-h"))
            visit(Argument::Help, argument, {});
        else if (argument != QLatin1String("--text"))
            visit(argument == QLatin1String("-") ? Argument::Input : Argument::Other, argument, {});
        else if (++i < arguments.size())
            visit(Argument::Text, argument, arguments.at(i));
        else
            visit(Argument::TextMissing, argument, {});
    }
}

bool isOption(const QString &text)
{
    static const QStringList options{QStringLiteral("--yes"), QStringLiteral("-y"),
                                     QStringLiteral("--help"), QStringLiteral("-h")};
    return options.contains(text);
}

// An address, a file, or an argument that is neither.
void addOther(ShareCommandLine &line, const QString &argument)
{
    if (const QUrl url(argument, QUrl::StrictMode); url.isLocalFile()) {
        addFile(line, argument, url.toLocalFile());
    } else if (url.isValid() && url.scheme().size() > 1 &&
               (isWellKnownScheme(url.scheme()) || !QFileInfo::exists(argument))) {
        // A one-letter "scheme" would be a Windows drive; anything else that names no file is
        // an address.
        line.attachments.append(Attachment::forLink(url));
    } else if (argument.startsWith(QLatin1Char('-'))) {
        line.problems << QStringLiteral("%1: unknown option (see --help)").arg(argument);
    } else {
        addFile(line, argument, argument);
    }
}

} // namespace

ShareCommandLine
ShareCommandLine::parse(const QStringList &arguments,
                        const std::function<std::optional<QByteArray>()> &readInput)
{
    ShareCommandLine line;
    walk(arguments, [&](Argument kind, const QString &argument, const QString &text) {
        switch (kind) {
        case Argument::Yes:
            line.yes = true;
            break;
        case Argument::Help:
            line.help = true;
            break;
        case Argument::Text:
            line.attachments.append(Attachment::forText(text));
            // QCommandLineParser's rule: an option's value is the next argument, whatever it
            // looks like. Someone who meant the option is told where it went.
            if (isOption(text))
                line.problems << QStringLiteral("--text %1: %1 was taken as the text to share, "
                                                "not as an option; give it apart from --text")
                                     .arg(text);
            break;
        case Argument::TextMissing:
            line.problems << QStringLiteral("--text: the text is missing");
            break;
        case Argument::Input:
            if (const auto bytes = readInput(); !bytes)
                line.problems << QStringLiteral("-: standard input holds more than %1 MiB; none "
                                                "of it was shared")
                                     .arg(inputLimit / (1024 * 1024));
            else if (bytes->isEmpty())
                line.problems << QStringLiteral("-: standard input was empty");
            else
                line.attachments.append(Attachment::forBytes(*bytes));
            break;
        case Argument::Other:
            addOther(line, argument);
            break;
        }
    });
    return line;
}

ShareCommandLine::Options ShareCommandLine::optionsIn(const QStringList &arguments)
{
    Options options;
    walk(arguments, [&](Argument kind, const QString &, const QString &) {
        options.yes = options.yes || kind == Argument::Yes;
        options.help = options.help || kind == Argument::Help;
    });
    return options;
}

std::optional<QByteArray> ShareCommandLine::readWhole(QIODevice &input, qint64 limit)
{
    // A pipe tells its size only by ending: read on until it does, or one byte past the
    // limit shows there is more than will be taken.
    constexpr qint64 piece = 1024 * 1024;
    QByteArray bytes;
    for (;;) {
        const QByteArray read = input.read(qMin(piece, limit + 1 - bytes.size()));
        if (read.isEmpty())
            return bytes;
        bytes += read;
        if (bytes.size() > limit)
            return std::nullopt;
    }
}

QString ShareCommandLine::usage()
{
    return QStringLiteral(
        "Usage: dropslip [--yes] [ADDRESS | FILE | --text TEXT | -]...\n"
        "\n"
        "Hands links, files, pictures and text to Quillory: shows what will be shared, with a\n"
        "note to add, and on Save puts it into Quillory's inbox, which Quillory imports at once\n"
        "when it is running and the next time it starts otherwise.\n"
        "\n"
        "  ADDRESS      a web address (https://...) or any address with a scheme\n"
        "  FILE         a file, by its path or its file: address; pictures and PDFs included\n"
        "  --text TEXT  text; kept when it is an address\n"
        "  -            bytes on standard input: a picture, a PDF, or text holding an address\n"
        "  --yes, -y    save at once, without showing the window\n"
        "  --help, -h   this text\n"
        "\n"
        "Exit status: 0 when saved, 1 when cancelled or nothing could be shared, 2 for wrong\n"
        "arguments.\n");
}

} // namespace quillory

#pragma once

#include <share/Attachment.h>

#include <QIODevice>
#include <QList>
#include <QStringList>
#include <functional>
#include <optional>

namespace quillory {

// What Dropslip was asked to share, read from its arguments: each argument is one
// attachment (an address with a scheme, an existing file or its file: address, "--text"
// and its text, or "-" for bytes on standard input), plus "--yes" (save without asking)
// and "--help". Arguments that cannot be shared are reported, not silently dropped.
struct ShareCommandLine
{
    QList<Attachment> attachments;
    QStringList problems; // one line per argument left out, and why
    bool yes = false;
    bool help = false;

    struct Options
    {
        bool yes = false;
        bool help = false;
    };

    // `readInput` gives standard input's bytes, or nothing when it held more than
    // `inputLimit` of them. The argument after "--text" is its text, whatever it looks like.
    static ShareCommandLine parse(const QStringList &arguments,
                                  const std::function<std::optional<QByteArray>()> &readInput);
    // The options parse() would find, read without touching files or standard input: what
    // decides whether a window may be needed before there is an application to parse for.
    static Options optionsIn(const QStringList &arguments);
    // All of `input` to its end, or nothing when it holds more than `limit` bytes.
    static std::optional<QByteArray> readWhole(QIODevice &input, qint64 limit = inputLimit);
    static QString usage();
    static constexpr qint64 inputLimit = qint64(256) * 1024 * 1024;
};

} // namespace quillory

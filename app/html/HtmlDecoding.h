#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace quillory {

// Decides which encoding an HTML document's bytes are in as a browser does, and decodes them:
// a byte order mark, then the charset the transport declares (a Content-Type value), then a
// <meta charset> or <meta http-equiv="Content-Type"> found near the start, then UTF-8 when the
// bytes are valid UTF-8, else windows-1252. Labels are read as the WHATWG Encoding standard
// reads them ("iso-8859-1" and "ascii" mean windows-1252); a label naming nothing known, or an
// encoding this Qt cannot convert, falls through to the next rule. Pure functions, safe on any
// thread; the work grows in step with the bytes.
class HtmlDecoding final
{
public:
    // Browsers look for a <meta> only this far into a page.
    static constexpr qsizetype pagePrescanLimit = 1024;

    struct Choice
    {
        QByteArray encoding; // the standard's name: "UTF-8", "windows-1251", "Shift_JIS", ...
        qsizetype bomLength = 0;

        bool isUtf8() const { return encoding == "UTF-8"; }
    };

    // A page cut short at a byte limit (`truncated`) is not taken for non-UTF-8 over an
    // incomplete last character.
    static Choice choose(QByteArrayView bytes, QByteArrayView contentType, bool truncated,
                         qsizetype prescanLimit = pagePrescanLimit);
    // The text after the byte order mark; for a truncated page, without a last character
    // the cut left incomplete.
    static QString decode(QByteArrayView bytes, const Choice &choice, bool truncated);

    static QString decodePage(QByteArrayView bytes, QByteArrayView contentType, bool truncated)
    {
        return decode(bytes, choose(bytes, contentType, truncated), truncated);
    }
};

} // namespace quillory

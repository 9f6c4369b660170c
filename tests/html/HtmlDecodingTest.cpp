#include <html/HtmlDecoding.h>

#include <QRandomGenerator>
#include <QStringEncoder>

#include <gtest/gtest.h>

using namespace quillory;
using namespace Qt::StringLiterals;

namespace {

// "Новости" in windows-1251, and what windows-1252 makes of the same bytes.
const QByteArray cyrillic = "\xCD\xEE\xE2\xEE\xF1\xF2\xE8";
const char *const cyrillicText = "Новости";
const char *const cyrillicAs1252 = "Íîâîñòè";

QByteArray padded(qsizetype size)
{
    return "<!doctype html>" + QByteArray(size - 15, ' ');
}

QByteArray utf16(const QString &text, QStringEncoder::Encoding encoding)
{
    return QStringEncoder(encoding).encode(text);
}

TEST(HtmlDecoding, DecidesTheEncodingAsABrowserDoes)
{
    struct Case
    {
        const char *name;
        QByteArray bytes;
        QByteArray contentType;
        const char *expected;
        bool truncated = false;
    };
    const QByteArray metaCyrillic = "<meta charset=\"windows-1251\">" + cyrillic;
    const Case cases[] = {
        // A byte order mark outranks every declaration.
        {"utf8 bom",
         "\xEF\xBB\xBF"
         "caf\xC3\xA9",
         "text/html; charset=windows-1251", "café"},
        {"utf16le bom", "\xFF\xFE" + utf16(u"hé"_s, QStringEncoder::Utf16LE),
         "text/html; charset=utf-8", "hé"},
        {"utf16be bom", "\xFE\xFF" + utf16(u"hé"_s, QStringEncoder::Utf16BE), "", "hé"},
        // Labels: any case, trimmed, quoted or not, and the standard's aliases.
        {"header label", cyrillic, "text/html; charset=windows-1251", cyrillicText},
        {"header label case and spaces", cyrillic, "text/html;CHARSET = \tCP1251 ", cyrillicText},
        {"header label quoted", cyrillic, "text/html; foo=\"a;b\"; charset=\"x-cp1251\"",
         cyrillicText},
        {"first charset parameter wins", cyrillic, "text/html; charset=windows-1251; charset=utf-8",
         cyrillicText},
        {"latin1 means windows-1252", "\x93q\x94", "text/html; charset=ISO-8859-1", "“q”"},
        {"ascii means windows-1252", "\x93q\x94", "text/html; charset=us-ascii", "“q”"},
        {"header beats meta", metaCyrillic, "text/html; charset=utf-8",
         "<meta charset=\"windows-1251\">\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"unknown header label falls to meta", metaCyrillic, "text/html; charset=x-unheard",
         "<meta charset=\"windows-1251\">Новости"},
        {"header utf-16 without bom", utf16(u"日本"_s, QStringEncoder::Utf16LE),
         "text/html; charset=utf-16", "日本"},
        {"replacement", "<title>x</title>", "text/html; charset=iso-2022-kr", "\uFFFD"},
        // <meta>, as the browser's prescan finds it.
        {"meta charset", metaCyrillic, "text/html", "<meta charset=\"windows-1251\">Новости"},
        {"meta unquoted, other tags first",
         "<html lang=en><!-- c --><head><META CHARSET=koi8-r>\xF0\xD2\xC9\xD7\xC5\xD4", "",
         "<html lang=en><!-- c --><head><META CHARSET=koi8-r>Привет"},
        {"meta http-equiv",
         "<meta http-equiv=\"Content-Type\" content=\"text/html; charset='windows-1251'\">" +
             cyrillic,
         "",
         "<meta http-equiv=\"Content-Type\" content=\"text/html; charset='windows-1251'\">"
         "Новости"},
        {"meta content without the pragma", "<meta content=\"charset=windows-1251\">" + cyrillic,
         "", "<meta content=\"charset=windows-1251\">Íîâîñòè"},
        {"meta inside a comment", "<!-- <meta charset=windows-1251> -->" + cyrillic, "",
         "<!-- <meta charset=windows-1251> -->Íîâîñòè"},
        {"meta inside an attribute value", "<a title='<meta charset=windows-1251>'>" + cyrillic, "",
         "<a title='<meta charset=windows-1251>'>Íîâîñòè"},
        {"meta utf-16 means utf-8", "<meta charset=utf-16>caf\xC3\xA9", "",
         "<meta charset=utf-16>café"},
        {"meta x-user-defined", "<meta charset=x-user-defined>\x93", "",
         "<meta charset=x-user-defined>“"},
        {"unknown meta label", "<meta charset=x-unheard>caf\xC3\xA9", "",
         "<meta charset=x-unheard>café"},
        {"meta within the first 1024 bytes", padded(1000) + "<meta charset=cp1251>" + cyrillic, "",
         nullptr},
        {"meta after byte 1024", padded(1024) + "<meta charset=cp1251>" + cyrillic, "", nullptr},
        {"meta cut by byte 1024", padded(1010) + "<meta charset=cp1251>" + cyrillic, "", nullptr},
        // Undeclared: UTF-8 when valid, else windows-1252.
        {"undeclared utf-8", "caf\xC3\xA9 \xE2\x80\x94 \xF0\x9F\x98\x80", "", "café — 😀"},
        {"undeclared invalid utf-8", "caf\xE9 \x80 \xC3\xA9", "", "café € Ã©"},
        {"empty", "", "text/html; charset=windows-1251", ""},
        // A page cut at a byte limit forgives only a last character the cut left incomplete.
        {"cut in the last character", "ok \xF0\x9F\x98", "", "ok ", true},
        {"cut after a lead byte", "caf\xC3", "", "caf", true},
        {"invalid before the cut", "\xE9t\xC3", "", "étÃ", true},
        {"incomplete but not cut", "ok \xF0\x9F\x98", "", "ok ðŸ˜"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QString expected = c.expected != nullptr ? QString::fromUtf8(c.expected) : QString();
        if (c.expected == nullptr) {
            const bool seen = c.bytes.indexOf("<meta") + 21 <= HtmlDecoding::pagePrescanLimit;
            expected = QString::fromLatin1(c.bytes.first(c.bytes.size() - cyrillic.size())) +
                       QString::fromUtf8(seen ? cyrillicText : cyrillicAs1252);
        }
        EXPECT_EQ(HtmlDecoding::decodePage(c.bytes, c.contentType, c.truncated), expected);
    }
}

// Fragments of declarations cut and shuffled at random: whatever the prescan meets, each one
// ends, and within the bytes (the sanitizer build watches the reads).
TEST(HtmlDecoding, ReadsAnyShuffleOfDeclarationsWithinItsBytes)
{
    const QByteArray pieces[] = {"<meta",       " charset=", "http-equiv=content-type",
                                 " content=\"", "charset",   "=",
                                 "\"",          "'",         "<!--",
                                 "-->",         "<",         ">",
                                 "/",           "</a",       "<?",
                                 "<!",          " ",         "shift_jis",
                                 "utf-16",      ";",         "\xEF\xBB\xBF",
                                 "\xFF",        "\xC3",      "x"};
    QRandomGenerator random(20240501);
    for (int round = 0; round < 3000; ++round) {
        QByteArray bytes;
        const int count = random.bounded(1, 60);
        for (int i = 0; i < count; ++i) {
            const QByteArray &piece = pieces[random.bounded(int(std::size(pieces)))];
            bytes += piece.first(random.bounded(qsizetype(1), piece.size() + 1));
        }
        const qsizetype limit = random.bounded(qsizetype(0), bytes.size() + 2);
        const QByteArray contentType = "text/html;" + bytes.first(random.bounded(bytes.size() + 1));
        const HtmlDecoding::Choice choice =
            HtmlDecoding::choose(bytes, contentType, round % 2 == 0, limit);
        EXPECT_FALSE(choice.encoding.isEmpty());
        // No byte becomes more than one UTF-16 unit.
        EXPECT_LE(HtmlDecoding::decode(bytes, choice, round % 2 == 0).size(), bytes.size());
    }
}

} // namespace

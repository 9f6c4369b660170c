#include "MetadataTestSupport.h"

#include <IntakeBench.h>
#include <TestHttpServer.h>
#include <gtest/gtest.h>

using namespace quillory;
using namespace quillory::test;
using namespace Qt::StringLiterals;

namespace {

// A page's title in one encoding: its bytes, the text they say, and what a browser makes of
// them when nothing declares the encoding.
struct Encoded
{
    const char *label;
    QByteArray bytes;
    const char *text;
    const char *undeclared;
};

const Encoded encodings[] = {
    {"windows-1251", "\xCD\xEE\xE2\xEE\xF1\xF2\xE8 \xED\xE0\xF3\xEA\xE8", "Новости науки",
     "Íîâîñòè íàóêè"},
    {"Shift_JIS", "\x93\xFA\x96\x7B\x8C\xEA\x82\xCC\x8B\x4C\x8E\x96", "日本語の記事",
     "“ú–{Œê‚Ì‹LŽ–"},
    {"windows-1252", "\x93Smart\x94 quotes \x97 caf\xE9", "“Smart” quotes — café",
     "“Smart” quotes — café"},
    {"UTF-8", "\xE2\x80\x9CNews\xE2\x80\x9D \xE2\x80\x94 \xD0\x9D\xD0\xBE\xD0\xB2\xD0\xBE",
     "“News” — Ново", "“News” — Ново"},
};

enum class Declared { ByHeader, ByMeta, Not };

TEST(PageCharset, TitlesAreStoredAsTheirPagesAreWritten)
{
    TestHttpServer server;
    ASSERT_TRUE(server.isListening());
    MetadataService metadata;
    IntakeBench bench(metadata);

    int n = 0;
    for (const Encoded &e : encodings) {
        for (const Declared declared : {Declared::ByHeader, Declared::ByMeta, Declared::Not}) {
            const QString path = u"/page%1"_s.arg(++n);
            SCOPED_TRACE(std::string(e.label) + (declared == Declared::ByHeader ? " by header"
                                                 : declared == Declared::ByMeta ? " by meta"
                                                                                : " undeclared"));
            Response page = Response::html(
                "<!doctype html><html><head>" +
                (declared == Declared::ByMeta ? "<meta charset=\"" + QByteArray(e.label) + "\">"
                                              : QByteArray()) +
                "<title>" + e.bytes + "</title></head><body><p>text</p></body></html>");
            page.contentType = declared == Declared::ByHeader
                                   ? "text/html; charset=" + QByteArray(e.label)
                                   : QByteArrayLiteral("text/html");
            server.route(path, page);

            Item *item = bench.addLink(server.url(path));
            ASSERT_NE(item, nullptr);
            EXPECT_EQ(item->title(), s(declared == Declared::Not ? e.undeclared : e.text));
        }
    }
}

} // namespace

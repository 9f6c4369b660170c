#include <exchange/JsonCursor.h>

#include <QJsonDocument>
#include <QJsonParseError>

#include <gtest/gtest.h>

using namespace quillory;

namespace {

// The whole text read as one value with nothing after it.
bool isValid(QByteArrayView text, QString *error = nullptr)
{
    JsonCursor json(text);
    const bool valid = json.skipValue() && json.atEnd();
    if (error)
        *error = json.errorText();
    return valid;
}

std::optional<QString> stringOf(QByteArrayView text)
{
    JsonCursor json(text);
    QString value;
    const bool read = json.readString(value) && json.atEnd();
    // Read as UTF-8 bytes, the same text or the same refusal.
    JsonCursor asBytes(text);
    QByteArray utf8;
    EXPECT_EQ(asBytes.readString(utf8) && asBytes.atEnd(), read) << text.toByteArray().data();
    // Inside an array and as a member's name, where texts are read differently.
    const QByteArray quoted = text.toByteArray();
    JsonCursor inArray("[ " + quoted + " ]");
    QString element;
    EXPECT_EQ(inArray.beginArray() && inArray.nextElement() && inArray.readString(element) &&
                  !inArray.nextElement() && inArray.atEnd(),
              read)
        << text.toByteArray().data();
    JsonCursor inObject("{" + quoted + " :\t1, " + quoted + ":" + quoted + "}");
    QByteArrayView name;
    QString member;
    const bool readInObject = inObject.beginObject() && inObject.nextMember(name) &&
                              inObject.skipValue() && inObject.nextMember(name) &&
                              inObject.readString(member) && !inObject.nextMember(name) &&
                              inObject.atEnd();
    EXPECT_EQ(readInObject, read) << text.toByteArray().data();
    if (!read)
        return std::nullopt;
    EXPECT_EQ(utf8, value.toUtf8()) << text.toByteArray().data();
    EXPECT_EQ(element, value) << text.toByteArray().data();
    EXPECT_EQ(member, value) << text.toByteArray().data();
    EXPECT_EQ(QString::fromUtf8(name), value) << text.toByteArray().data();
    // A skipped text is checked as a read one.
    JsonCursor skipped("[" + quoted + "]");
    EXPECT_TRUE(skipped.skipValue() && skipped.atEnd()) << text.toByteArray().data();
    return value;
}

std::optional<double> numberOf(QByteArrayView text)
{
    JsonCursor json(text);
    double value = 0;
    if (!json.readNumber(value) || !json.atEnd())
        return std::nullopt;
    return value;
}

} // namespace

TEST(JsonCursorTest, TextsUnescapeAndDecodeAsJsonSays)
{
    const std::vector<std::pair<const char *, QString>> cases{
        {R"("plain")", QStringLiteral("plain")},
        {R"("")", QString()},
        {R"("a\"b\\c\/d\b\f\n\r\t")", QStringLiteral("a\"b\\c/d\b\f\n\r\t")},
        {R"("\u00e9\u20AC")", QString::fromUtf8("\xC3\xA9\xE2\x82\xAC")},
        {R"("\ud83d\ude00 smile")", QString::fromUtf8("\xF0\x9F\x98\x80 smile")},
        {"\"caf\xC3\xA9 \xF0\x9F\x98\x80\"", QString::fromUtf8("caf\xC3\xA9 \xF0\x9F\x98\x80")},
    };
    for (const auto &[text, expected] : cases) {
        const auto read = stringOf(QByteArrayView(text));
        ASSERT_TRUE(read) << text;
        EXPECT_EQ(*read, expected) << text;
    }
}

TEST(JsonCursorTest, MalformedTextsAreRefused)
{
    const std::vector<const char *> cases{
        "\"tab\there\"",        // a control character must be escaped
        R"("\q")",              // no such escape
        R"("\u12g4")",          // not hexadecimal
        R"("\u12")",            // too short
        R"("unterminated)",     // no closing quote
        R"("ends in \)",        // escape at the end
        "\"\xC0\x80\"",         // overlong NUL
        "\"\xED\xA0\x80\"",     // an encoded surrogate
        "\"\xF4\x90\x80\x80\"", // above U+10FFFF
        "\"\x80\"",             // a lone continuation byte
        "\"\xE2\x82\"",         // a sequence cut short
        "\"\xFF\"",
        // Half a surrogate pair stands for nothing a text can hold.
        R"("\ud83d")",
        R"("\ude00x")",
        R"("\ud83d\u0041")",
    };
    for (const char *text : cases) {
        EXPECT_FALSE(stringOf(QByteArrayView(text))) << text;
        EXPECT_FALSE(isValid(QByteArray("[" + QByteArray(text) + "]"))) << text;
    }
}

TEST(JsonCursorTest, NumbersFollowTheGrammar)
{
    const std::vector<std::pair<const char *, double>> accepted{
        {"0", 0},      {"-0", 0},     {"12", 12},         {"-3.5", -3.5},
        {"1e3", 1000}, {"1E+2", 100}, {"2.5e-3", 0.0025}, {"2147483648", 2147483648.0},
        {"1e-400", 0}};
    for (const auto &[text, expected] : accepted) {
        const auto read = numberOf(QByteArrayView(text));
        ASSERT_TRUE(read) << text;
        EXPECT_DOUBLE_EQ(*read, expected) << text;
    }
    for (const char *text :
         {"01", "1.", ".5", "-", "+1", "1e", "1e+", "--1", "0x10", "1e400", "NaN"})
        EXPECT_FALSE(numberOf(QByteArrayView(text))) << text;
}

TEST(JsonCursorTest, StructureIsCheckedLikeAConformingParser)
{
    const std::vector<const char *> valid{
        R"({"a":[1,{"b":null}],"c":true,"d":false,"e":"x"})",
        " \n\t{ \"a\" : [ ] , \"b\" : { } }\r\n",
        "[]",
        "\"just a text\"",
        "\xEF\xBB\xBF{}", // a byte order mark
    };
    const std::vector<const char *> invalid{
        R"({"a":1,})",  "[1,]",   R"({"a" 1})", "{a:1}", "[1 2]", R"({"a":1}})",
        R"({"a":1} x)", "[",      "{",          "[,1]",  "{,}",   R"({"a":tru})",
        R"({"a":nul})", "[True]", "",           "   ",   "{}{}",  R"({"a":1,,"b":2})",
        R"(["a"],)",
    };
    for (const char *text : valid) {
        EXPECT_TRUE(isValid(QByteArrayView(text))) << text;
    }
    for (const char *text : invalid) {
        QString error;
        EXPECT_FALSE(isValid(QByteArrayView(text), &error)) << text;
        EXPECT_FALSE(error.isEmpty()) << text;
        // The reference parser of the platform agrees.
        QJsonParseError reference;
        QJsonDocument::fromJson(QByteArray(text), &reference);
        EXPECT_NE(reference.error, QJsonParseError::NoError) << text;
    }
}

TEST(JsonCursorTest, MembersAndElementsAreWalkedInOrderAndErrorsSayWhere)
{
    JsonCursor json(QByteArrayView(R"({"first":[1,"two"],"se\u0063ond":{"x":null},"third":true})"));
    ASSERT_TRUE(json.beginObject());
    QByteArrayView name;
    ASSERT_TRUE(json.nextMember(name));
    EXPECT_EQ(name, QByteArrayView("first"));
    ASSERT_TRUE(json.beginArray());
    double one = 0;
    QString two;
    ASSERT_TRUE(json.nextElement());
    EXPECT_EQ(json.peek(), JsonCursor::Type::Number);
    ASSERT_TRUE(json.readNumber(one));
    ASSERT_TRUE(json.nextElement());
    ASSERT_TRUE(json.readString(two));
    EXPECT_FALSE(json.nextElement());
    EXPECT_FALSE(json.failed());
    ASSERT_TRUE(json.nextMember(name));
    EXPECT_EQ(name, QByteArrayView("second")) << "an escaped name is unescaped";
    EXPECT_EQ(json.peek(), JsonCursor::Type::Object);
    ASSERT_TRUE(json.skipValue());
    ASSERT_TRUE(json.nextMember(name));
    bool third = false;
    ASSERT_TRUE(json.readBoolean(third));
    EXPECT_TRUE(third);
    EXPECT_FALSE(json.nextMember(name));
    EXPECT_TRUE(json.atEnd());
    EXPECT_EQ(one, 1);
    EXPECT_EQ(two, QStringLiteral("two"));

    JsonCursor broken(QByteArrayView(R"({"a":1,})"));
    EXPECT_FALSE(broken.skipValue());
    EXPECT_EQ(broken.errorOffset(), 7);
    QString text;
    EXPECT_FALSE(broken.readString(text)) << "every call fails after an error";
}

TEST(JsonCursorTest, NestingIsBoundedWithoutExhaustingTheStack)
{
    const auto nested = [](int depth) -> QByteArray {
        return QByteArray(depth, '[') + QByteArray(depth, ']');
    };
    EXPECT_TRUE(isValid(nested(JsonCursor::maximumDepth)));
    QString error;
    EXPECT_FALSE(isValid(nested(JsonCursor::maximumDepth + 1), &error));
    EXPECT_EQ(error, QStringLiteral("too deeply nested"));
    EXPECT_FALSE(isValid(QByteArray(1'000'000, '[')));
    EXPECT_FALSE(isValid(QByteArray(R"({"a":)").repeated(200'000)));
}

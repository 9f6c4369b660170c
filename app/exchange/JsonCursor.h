#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <vector>

namespace quillory {

// Reads JSON text (RFC 8259) one value at a time, without building a tree, so a large
// document can be read straight into records. Strict: what a conforming parser refuses is
// refused, including invalid UTF-8 and nesting deeper than `maximumDepth`; a UTF-8 byte
// order mark at the start is skipped. After the first error every call fails, and
// errorText() and errorOffset() say what went wrong and where.
//
// After nextMember() or nextElement() returned true, exactly one value must be consumed:
// read, skipped, or entered with beginObject()/beginArray().
class JsonCursor final
{
public:
    enum class Type { Object, Array, String, Number, Boolean, Null, Invalid };
    static constexpr int maximumDepth = 1024;

    // `text` must outlive the cursor.
    explicit JsonCursor(QByteArrayView text);

    // The type of the next value, from its first character; Invalid at an error or the end.
    Type peek();

    bool beginObject();
    // The next member's name (its UTF-8 bytes, valid until the next name is read); false at
    // the end of the object, which is then consumed, or at an error.
    bool nextMember(QByteArrayView &name);
    bool beginArray();
    // False at the end of the array, which is then consumed, or at an error.
    bool nextElement();

    bool readString(QString &text);
    // The text as its UTF-8 bytes: a long text only passed on costs no copy in UTF-16.
    bool readString(QByteArray &utf8);
    bool readNumber(double &number);
    bool readBoolean(bool &value);
    bool readNull();
    bool skipValue();

    // After the outermost value: true when nothing but whitespace follows it.
    bool atEnd();

    bool failed() const { return m_failed; }
    QString errorText() const { return m_errorText; }
    qsizetype errorOffset() const { return m_errorOffset; }

private:
    struct Level
    {
        bool object;
        bool first;
    };

    bool fail(const char *what);
    bool fail(const char *what, const char *at);
    void skipWhitespace();
    bool expect(char c);
    bool enter(bool object);
    bool stringBytes(QByteArrayView *name, QString *text, QByteArray *utf8 = nullptr);
    bool literal(const char *word);
    bool skip(int depth);

    const char *m_begin;
    const char *m_at;
    const char *m_end;
    std::vector<Level> m_levels;
    QByteArray m_name; // an escaped member name, unescaped
    bool m_failed = false;
    QString m_errorText;
    qsizetype m_errorOffset = 0;
};

} // namespace quillory

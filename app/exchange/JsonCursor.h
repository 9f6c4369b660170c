#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <memory>

namespace quillory {

// Reads JSON text (RFC 8259) one value at a time with simdjson's On-Demand parser, without
// building a tree, so a large document can be read straight into records. Strict: what a
// conforming parser refuses is refused, including invalid UTF-8, an escaped half of a
// surrogate pair and nesting deeper than `maximumDepth`; a value skipped is still checked
// whole. A UTF-8 byte order mark at the start is skipped. After the first error every call
// fails, and errorText() and errorOffset() say what went wrong and, where the parser can
// tell, where.
//
// After nextMember() or nextElement() returned true, exactly one value must be consumed:
// read, skipped, or entered with beginObject()/beginArray(). Forward only.
class JsonCursor final
{
public:
    enum class Type { Object, Array, String, Number, Boolean, Null, Invalid };
    static constexpr int maximumDepth = 1024;
    // The parser reads up to this many bytes past the end of the text. A text with that much
    // room allocated after it is read where it lies; any other is copied once.
    static constexpr qsizetype padding = 64;

    // `text` must outlive the cursor.
    explicit JsonCursor(const QByteArray &text);
    explicit JsonCursor(QByteArrayView text);
    ~JsonCursor();
    Q_DISABLE_COPY_MOVE(JsonCursor)

    // Gives `bytes` the room after its end that lets a cursor read it without a copy.
    static void makeRoom(QByteArray &bytes);

    // The type of the next value, from its first character; Invalid at an error or the end.
    Type peek();

    bool beginObject();
    // The next member's name (its UTF-8 bytes, valid until the cursor is destroyed); false at
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
    struct State;

    void start(const char *data, qsizetype size, bool padded);
    bool fail(const char *what);
    bool fail(int error);
    bool stringView(const char *&data, qsizetype &size);

    std::unique_ptr<State> m_state;
    const char *m_begin = nullptr;
    bool m_failed = false;
    QString m_errorText;
    qsizetype m_errorOffset = 0;
};

} // namespace quillory

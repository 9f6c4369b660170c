#include <exchange/JsonCursor.h>

#include <cstring>
#include <optional>
#include <simdjson.h>
#include <type_traits>
#include <vector>

namespace quillory {

namespace od = simdjson::ondemand;

static_assert(JsonCursor::padding == qsizetype(simdjson::SIMDJSON_PADDING));

namespace {

// An object or array entered: On-Demand iterators only move forward, so the cursor keeps the
// one of each level it is in.
struct Level
{
    bool object = true;
    bool first = true;
    od::object_iterator member;
    od::object_iterator memberEnd;
    od::array_iterator element;
    od::array_iterator elementEnd;
};

// The text of a string token that holds no escape, as it lies in the document. The library's
// own unescaping is compiled for the oldest processor and copies a byte at a time, while the
// document's UTF-8 and control characters were already checked by its vectorised first pass;
// most texts hold no backslash, and those are taken where they lie.
std::optional<std::string_view> plainText(const char *begin, const char *end)
{
    if (end < begin || std::memchr(begin, '\\', size_t(end - begin)) != nullptr)
        return std::nullopt;
    return std::string_view(begin, size_t(end - begin));
}

// A string value's token runs from its opening quote to the next token, spaces included.
std::optional<std::string_view> plainValue(std::string_view token)
{
    if (token.empty() || token.front() != '"')
        return std::nullopt;
    const size_t close = token.find_last_of('"');
    if (close == 0)
        return std::nullopt;
    return plainText(token.data() + 1, token.data() + close);
}

// A member's name ends at the last quote before the colon that precedes its value.
std::optional<std::string_view> plainKey(od::field &field)
{
    const char *begin = field.key().raw();
    const char *end = field.value().raw_json_token().data();
    const auto skipSpaces = [begin](const char *at) {
        while (at > begin && (at[-1] == ' ' || at[-1] == '\t' || at[-1] == '\n' || at[-1] == '\r'))
            --at;
        return at;
    };
    end = skipSpaces(end);
    if (end <= begin || end[-1] != ':')
        return std::nullopt;
    end = skipSpaces(end - 1);
    if (end <= begin || end[-1] != '"')
        return std::nullopt;
    return plainText(begin, end - 1);
}

// Reads a value whole, straight from the parser: On-Demand passes over what it is not asked
// for without checking it, and a skipped value must be as valid as a read one.
template <typename Holder> simdjson::error_code checkWhole(Holder &holder, size_t depth)
{
    od::json_type type{};
    if (const auto error = holder.type().get(type))
        return error;
    switch (type) {
    case od::json_type::object: {
        od::object object;
        if (depth >= size_t(JsonCursor::maximumDepth))
            return simdjson::DEPTH_ERROR;
        if (const auto error = holder.get_object().get(object))
            return error;
        for (auto member : object) {
            od::field field;
            std::string_view key;
            if (const auto error = std::move(member).get(field))
                return error;
            if (!plainKey(field)) {
                if (const auto error = field.unescaped_key().get(key))
                    return error;
            }
            if (const auto error = checkWhole(field.value(), depth + 1))
                return error;
        }
        return simdjson::SUCCESS;
    }
    case od::json_type::array: {
        od::array array;
        if (depth >= size_t(JsonCursor::maximumDepth))
            return simdjson::DEPTH_ERROR;
        if (const auto error = holder.get_array().get(array))
            return error;
        for (auto element : array) {
            od::value value;
            if (const auto error = std::move(element).get(value))
                return error;
            if (const auto error = checkWhole(value, depth + 1))
                return error;
        }
        return simdjson::SUCCESS;
    }
    case od::json_type::string: {
        std::string_view text;
        if constexpr (std::is_same_v<Holder, od::value>) {
            if (plainValue(holder.raw_json_token())) {
                od::raw_json_string raw;
                return holder.get_raw_json_string().get(raw);
            }
        }
        return holder.get_string().get(text);
    }
    case od::json_type::number: {
        double number = 0;
        return holder.get_double().get(number);
    }
    case od::json_type::boolean: {
        bool value = false;
        return holder.get_bool().get(value);
    }
    case od::json_type::null: {
        bool null = false;
        const auto error = holder.is_null().get(null);
        return error != simdjson::SUCCESS ? error
               : null                     ? simdjson::SUCCESS
                                          : simdjson::N_ATOM_ERROR;
    }
    }
    return simdjson::TAPE_ERROR;
}

} // namespace

struct JsonCursor::State
{
    // Where the outermost value is still to come the document stands for it (On-Demand has
    // no value for a scalar document); below it, `value` holds the next value.
    enum class Next { Document, Value, None };

    simdjson::padded_string copy; // only for a text without room after its end
    od::parser parser{simdjson::SIMDJSON_MAXSIZE_BYTES};
    od::document document;
    od::value value;
    Next next = Next::Document;
    std::vector<Level> levels;
    qsizetype skipped = 0; // the byte order mark
    bool started = false;  // the parser accepted the text as a whole

    // Calls `read` with whatever holds the next value.
    template <typename Read> simdjson::error_code onNext(Read read)
    {
        const Next was = next;
        next = Next::None;
        switch (was) {
        case Next::Document:
            return read(document);
        case Next::Value:
            return read(value);
        case Next::None:
            break;
        }
        return simdjson::TAPE_ERROR;
    }
};

JsonCursor::JsonCursor(const QByteArray &text) : m_state(std::make_unique<State>())
{
    QByteArray shared = text; // data_ptr() is not offered on a const array
    start(text.constData(), text.size(), shared.data_ptr().freeSpaceAtEnd() >= padding);
}

JsonCursor::JsonCursor(QByteArrayView text) : m_state(std::make_unique<State>())
{
    start(text.data(), text.size(), false);
}

JsonCursor::~JsonCursor() = default;

void JsonCursor::makeRoom(QByteArray &bytes)
{
    if (bytes.data_ptr().needsDetach() || bytes.data_ptr().freeSpaceAtEnd() < padding)
        bytes.reserve(bytes.size() + padding);
}

void JsonCursor::start(const char *data, qsizetype size, bool padded)
{
    if (QByteArrayView(data, size).startsWith("\xEF\xBB\xBF")) {
        m_state->skipped = 3;
        data += 3;
        size -= 3;
    }
    if (!padded) {
        m_state->copy = simdjson::padded_string(data, size_t(size));
        data = m_state->copy.data();
    }
    m_begin = data;
    // simdjson counts the document itself as a level, and keeps one more for its own
    // bookkeeping; the cursor refuses anything deeper first.
    if (const auto error = m_state->parser.allocate(size_t(size), size_t(maximumDepth) + 2)) {
        fail(error);
        return;
    }
    auto document = m_state->parser.iterate(data, size_t(size), size_t(size + padding));
    if (const auto error = document.error()) {
        fail(error);
        return;
    }
    m_state->document = std::move(document.value_unsafe());
    m_state->started = true;
}

bool JsonCursor::fail(const char *what)
{
    if (!m_failed) {
        m_failed = true;
        m_errorText = QString::fromLatin1(what);
        const char *at = nullptr;
        if (m_state->started && m_state->document.current_location().get(at) == simdjson::SUCCESS)
            m_errorOffset = at - m_begin + m_state->skipped;
    }
    return false;
}

bool JsonCursor::fail(int error)
{
    return fail(simdjson::error_message(simdjson::error_code(error)));
}

JsonCursor::Type JsonCursor::peek()
{
    if (m_failed)
        return Type::Invalid;
    od::json_type type{};
    simdjson::error_code error = simdjson::TAPE_ERROR;
    if (m_state->next == State::Next::Document)
        error = m_state->document.type().get(type);
    else if (m_state->next == State::Next::Value)
        error = m_state->value.type().get(type);
    if (error != simdjson::SUCCESS)
        return Type::Invalid;
    switch (type) {
    case od::json_type::object:
        return Type::Object;
    case od::json_type::array:
        return Type::Array;
    case od::json_type::string:
        return Type::String;
    case od::json_type::number:
        return Type::Number;
    case od::json_type::boolean:
        return Type::Boolean;
    case od::json_type::null:
        return Type::Null;
    }
    return Type::Invalid;
}

bool JsonCursor::beginObject()
{
    if (m_failed)
        return false;
    if (m_state->levels.size() >= size_t(maximumDepth))
        return fail("too deeply nested");
    Level level;
    const auto error = m_state->onNext([&level](auto &holder) {
        od::object object;
        if (const auto e = holder.get_object().get(object))
            return e;
        if (const auto e = object.begin().get(level.member))
            return e;
        return object.end().get(level.memberEnd);
    });
    if (error != simdjson::SUCCESS)
        return fail(error);
    m_state->levels.push_back(level);
    return true;
}

bool JsonCursor::beginArray()
{
    if (m_failed)
        return false;
    if (m_state->levels.size() >= size_t(maximumDepth))
        return fail("too deeply nested");
    Level level;
    level.object = false;
    const auto error = m_state->onNext([&level](auto &holder) {
        od::array array;
        if (const auto e = holder.get_array().get(array))
            return e;
        if (const auto e = array.begin().get(level.element))
            return e;
        return array.end().get(level.elementEnd);
    });
    if (error != simdjson::SUCCESS)
        return fail(error);
    m_state->levels.push_back(level);
    return true;
}

bool JsonCursor::nextMember(QByteArrayView &name)
{
    if (m_failed)
        return false;
    if (m_state->levels.empty() || !m_state->levels.back().object)
        return fail("not in an object");
    Level &level = m_state->levels.back();
    if (!level.first)
        ++level.member;
    level.first = false;
    if (!(level.member != level.memberEnd)) {
        m_state->levels.pop_back();
        return false;
    }
    od::field field;
    if (const auto error = (*level.member).get(field))
        return fail(error);
    std::string_view key;
    if (const auto plain = plainKey(field))
        key = *plain;
    else if (const auto error = field.unescaped_key().get(key))
        return fail(error);
    name = QByteArrayView(key.data(), qsizetype(key.size()));
    m_state->value = field.value();
    m_state->next = State::Next::Value;
    return true;
}

bool JsonCursor::nextElement()
{
    if (m_failed)
        return false;
    if (m_state->levels.empty() || m_state->levels.back().object)
        return fail("not in an array");
    Level &level = m_state->levels.back();
    if (!level.first)
        ++level.element;
    level.first = false;
    if (!(level.element != level.elementEnd)) {
        m_state->levels.pop_back();
        return false;
    }
    if (const auto error = (*level.element).get(m_state->value))
        return fail(error);
    m_state->next = State::Next::Value;
    return true;
}

bool JsonCursor::stringView(const char *&data, qsizetype &size)
{
    if (m_failed)
        return false;
    std::string_view text;
    if (m_state->next == State::Next::Value) {
        if (const auto plain = plainValue(m_state->value.raw_json_token())) {
            m_state->next = State::Next::None;
            od::raw_json_string raw;
            if (const auto error = m_state->value.get_raw_json_string().get(raw))
                return fail(error);
            data = plain->data();
            size = qsizetype(plain->size());
            return true;
        }
    }
    const auto error =
        m_state->onNext([&text](auto &holder) { return holder.get_string().get(text); });
    if (error != simdjson::SUCCESS)
        return fail(error);
    data = text.data();
    size = qsizetype(text.size());
    return true;
}

bool JsonCursor::readString(QString &text)
{
    const char *data = nullptr;
    qsizetype size = 0;
    if (!stringView(data, size))
        return false;
    text = QString::fromUtf8(data, size);
    return true;
}

bool JsonCursor::readString(QByteArray &utf8)
{
    const char *data = nullptr;
    qsizetype size = 0;
    if (!stringView(data, size))
        return false;
    utf8 = QByteArray(data, size);
    return true;
}

bool JsonCursor::readNumber(double &number)
{
    if (m_failed)
        return false;
    const auto error =
        m_state->onNext([&number](auto &holder) { return holder.get_double().get(number); });
    return error == simdjson::SUCCESS || fail(error);
}

bool JsonCursor::readBoolean(bool &value)
{
    if (m_failed)
        return false;
    const auto error =
        m_state->onNext([&value](auto &holder) { return holder.get_bool().get(value); });
    return error == simdjson::SUCCESS || fail(error);
}

bool JsonCursor::readNull()
{
    if (m_failed)
        return false;
    bool null = false;
    const auto error =
        m_state->onNext([&null](auto &holder) { return holder.is_null().get(null); });
    if (error != simdjson::SUCCESS)
        return fail(error);
    return null || fail("expected null");
}

bool JsonCursor::skipValue()
{
    if (m_failed)
        return false;
    const size_t depth = m_state->levels.size();
    const auto error = m_state->onNext([depth](auto &holder) { return checkWhole(holder, depth); });
    if (error == simdjson::DEPTH_ERROR)
        return fail("too deeply nested");
    return error == simdjson::SUCCESS || fail(error);
}

bool JsonCursor::atEnd()
{
    if (m_failed)
        return false;
    const char *at = nullptr;
    if (m_state->document.current_location().get(at) == simdjson::OUT_OF_BOUNDS)
        return true;
    return fail("unexpected text after the end");
}

} // namespace quillory

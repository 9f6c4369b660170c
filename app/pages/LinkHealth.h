#pragma once

#include <QtGlobal>
#include <optional>
#include <vector>

namespace quillory {

// One fetch of an item's address: when, and what came back.
struct FetchAnswer
{
    // Besides HTTP statuses (100 to 599), a fetch can end without any.
    enum : int {
        HostNotFound = -1, // the name no longer resolves
        NoAnswer = -2      // refused, timed out, reset, TLS failed: says nothing about the page
    };

    qint64 at = 0; // milliseconds since 1970 UTC
    int answer = NoAnswer;

    bool operator==(const FetchAnswer &) const = default;
};

// Whether a link has died, from its last answers. A page is gone when it answers 404 or
// 410 or its host no longer resolves; one such answer may be a bad moment, so it only counts
// as broken when every conclusive answer over at least a day says so.
class LinkHealth final
{
public:
    enum class State {
        Unchecked,       // no conclusive answer yet
        Alive,           // the last conclusive answer came from the page
        NotReachableNow, // gone, but not yet on two checks a day apart
        Broken
    };

    static constexpr qint64 confirmAfterMSecs = 24 * 60 * 60 * 1000;

    // `answers` in any order.
    static LinkHealth of(std::vector<FetchAnswer> answers);

    State state() const { return m_state; }
    // The last answer from the page itself, when the answers kept reach back to one.
    std::optional<qint64> lastSeenAlive() const { return m_lastSeenAlive; }

private:
    State m_state = State::Unchecked;
    std::optional<qint64> m_lastSeenAlive;
};

} // namespace quillory

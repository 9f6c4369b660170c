#include <pages/LinkHealth.h>

#include <algorithm>

namespace quillory {

namespace {

bool isGone(int answer)
{
    return answer == 404 || answer == 410 || answer == FetchAnswer::HostNotFound;
}

// A server answered for the page (a redirect's end, a login wall, a refusal to robots).
// Server errors and timeouts say the site is unwell, not that the page has gone.
bool isAlive(int answer)
{
    return answer >= 100 && answer < 500 && !isGone(answer);
}

} // namespace

LinkHealth LinkHealth::of(std::vector<FetchAnswer> answers)
{
    std::sort(answers.begin(), answers.end(),
              [](const FetchAnswer &a, const FetchAnswer &b) { return a.at > b.at; });
    LinkHealth health;
    std::optional<qint64> newestGone;
    std::optional<qint64> oldestGone; // of the run of gone answers since the page last answered
    for (const FetchAnswer &a : answers) {
        if (isAlive(a.answer)) {
            health.m_lastSeenAlive = a.at;
            break;
        }
        if (!isGone(a.answer))
            continue;
        if (!newestGone)
            newestGone = a.at;
        oldestGone = a.at;
    }
    if (!newestGone)
        health.m_state = health.m_lastSeenAlive ? State::Alive : State::Unchecked;
    else if (*newestGone - *oldestGone >= confirmAfterMSecs)
        health.m_state = State::Broken;
    else
        health.m_state = State::NotReachableNow;
    return health;
}

} // namespace quillory

#pragma once

#include <platform/FileRevealer.h>

#include <QDBusConnection>
#include <QObject>
#include <optional>

namespace quillory {

// Asks the freedesktop FileManager1 service to select the file in a file-manager window;
// when no such service answers, opens the containing folder instead. The call is
// asynchronous, so a slow or missing file manager never holds up the caller.
class LinuxFileRevealer final : public FileRevealer
{
public:
    // The session bus, connected on the first reveal rather than at start-up.
    LinuxFileRevealer() = default;
    explicit LinuxFileRevealer(const QDBusConnection &bus);

    void reveal(const QString &path) override;

    static constexpr int replyTimeoutMSecs = 3000;

private:
    std::optional<QDBusConnection> m_bus;
    QObject m_pendingCalls; // parent of the calls still waiting for an answer
};

} // namespace quillory

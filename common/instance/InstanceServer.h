#pragma once

#include <QObject>
#include <QString>
#include <QThread>

namespace quillory {

// Answers a library's socket (InstanceChannel) on a thread of its own, so that a Quillory busy
// opening or saving a large library still answers at once; what was asked reaches the owner's
// thread as a signal. A peer of another user is dropped unheard, one that has not said its
// line within InstanceChannel::requestTimeoutMSecs is dropped, and at most `waitingLimit` are
// waited for at once: a newcomer pushes out the one that has waited longest, so that idle
// peers cannot keep a real request out.
class InstanceServer final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(InstanceServer)

public:
    static constexpr int waitingLimit = 8;

    explicit InstanceServer(QObject *parent = nullptr);
    ~InstanceServer() override;

    // Listens at `path`, in the place of whatever is there: the caller has made sure that no
    // running Quillory answers at it. False when no socket can be made there.
    bool listen(const QString &path);

signals:
    void activationRequested();

private:
    QThread m_thread;
    QObject *m_listener = nullptr; // lives on m_thread
};

} // namespace quillory

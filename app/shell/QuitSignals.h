#pragma once

#include <QObject>

class QSocketNotifier;

namespace quillory {

// Turns SIGTERM, SIGINT and SIGHUP (logging out, `kill`, Ctrl+C in a terminal) into a Qt
// signal delivered on the interface thread, so the process can save before it ends. The
// handler only writes the signal's number into a pipe; everything else happens in the event
// loop. A second signal of the same kind ends the process at once, for a user who insists.
class QuitSignals final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(QuitSignals)

public:
    explicit QuitSignals(QObject *parent = nullptr);
    ~QuitSignals() override;

signals:
    void received(int signalNumber);

private:
    void readPipe();

    QSocketNotifier *m_notifier = nullptr;
};

} // namespace quillory

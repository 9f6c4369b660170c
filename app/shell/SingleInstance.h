#pragma once

#include <QObject>
#include <QString>
#include <optional>

namespace quillory {

class InstanceServer;

// Keeps one Quillory per library: two processes saving whole records over each other would
// lose changes. The one that runs holds an advisory lock on `quillory.lock` beside the store
// (the system drops it when the process ends, however it ends) and answers on a local
// socket (InstanceChannel). A lock nobody holds is simply taken, whatever the file says
// (garbage, another host, a process id now used by another program): only a live process can
// hold it.
class SingleInstance final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SingleInstance)

public:
    static inline const QString lockFileName = QStringLiteral("quillory.lock");

    enum class Outcome {
        Acquired,       // this process is the one
        AnotherRunning, // a running Quillory answered and was asked to show its window
        Unresponsive,   // a live process holds the lock but does not answer (see problem())
        Refused,        // something that is not a plain file has the lock's name (problem())
    };

    // `directory` is where the library store lives.
    explicit SingleInstance(const QString &directory, QObject *parent = nullptr);
    ~SingleInstance() override;

    // Where no lock file can be made (a read-only folder), the socket alone keeps launches
    // apart; where no socket can be made, the lock alone does, and a second launch cannot
    // bring the running window forward.
    Outcome acquire();
    // Why the lock could not be used, for the user.
    QString problem() const { return m_problem; }

    // How long a held lock's holder is given to answer (a Quillory starting up takes the
    // lock just before it starts to listen).
    void setPatience(int milliseconds) { m_patienceMSecs = milliseconds; }
    bool holdsLockFile() const { return m_lockFd >= 0; }

signals:
    void activationRequested();

private:
    enum class Lock { Taken, HeldByAnother, NoFile, NotAFile };

    QString lockPath() const;
    Lock takeLock();
    void recordHolder();
    QString holderDescription() const;
    bool askRunningInstance(const std::optional<QString> &socket, int timeoutMSecs);
    void listen(const std::optional<QString> &socket);

    QString m_directory;
    int m_lockFd = -1;
    int m_patienceMSecs = 3000;
    QString m_problem;
    InstanceServer *m_server = nullptr;
};

} // namespace quillory

#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace quillory {

// Keeps one Quillory per library: two processes saving whole records over each other would
// lose changes. The one that runs holds an advisory lock on `quillory.lock` beside the store
// (the system drops it when the process ends, however it ends) and answers on a local
// socket. A later launch that finds a Quillory answering asks it to come forward and stops.
// Nothing else counts as running: a lock file left by a crash, holding garbage, naming
// another host or a process id now used by another program is simply taken over.
class SingleInstance final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SingleInstance)

public:
    static inline const QString lockFileName = QStringLiteral("quillory.lock");

    // `directory` is where the library store lives.
    explicit SingleInstance(const QString &directory, QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when this process is the one; false when a running Quillory answered and was
    // asked to show its window. Where no lock file can be made (a read-only folder), the
    // socket alone keeps launches apart.
    bool acquire();

    // How long a lock held by a process that does not answer is waited for before it is
    // taken over (a Quillory starting up takes the lock just before it starts to listen).
    void setPatience(int milliseconds) { m_patienceMSecs = milliseconds; }
    bool holdsLockFile() const { return m_lockFd >= 0; }

signals:
    void activationRequested();

private:
    enum class Lock { Taken, HeldByAnother, NoFile };

    QString serverName() const;
    QString lockPath() const;
    Lock takeLock();
    void recordHolder();
    bool askRunningInstance();
    void takeOverFrom(const QString &heldPath);
    void listen();

    QString m_directory;
    int m_lockFd = -1;
    int m_patienceMSecs = 3000;
    QLocalServer *m_server = nullptr;
};

} // namespace quillory

#pragma once

#include <QLockFile>
#include <QObject>
#include <memory>

class QLocalServer;

namespace quillory {

// Keeps one Quillory per library: two processes saving whole records over each other would
// lose changes. The first one holds a lock file beside the store and listens on a local
// socket; a second one asks it to show its window and then stops.
class SingleInstance final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SingleInstance)

public:
    // `directory` is where the library store lives.
    explicit SingleInstance(const QString &directory, QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when this process is the one; otherwise the running one has been asked to
    // come forward.
    bool acquire();

signals:
    void activationRequested();

private:
    QString serverName() const;
    void listen();

    QString m_directory;
    QLockFile m_lock;
    QLocalServer *m_server = nullptr;
};

} // namespace quillory

#pragma once

#include <share/SharedItem.h>

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

namespace quillory {

class Attachment;

// One share from start to end: extracts the items once, then either saves them into the
// inbox and rings Quillory, or cancels and writes nothing.
class ShareController final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ShareController)

public:
    static inline const QString errorDomain = QStringLiteral("com.quillory.share");
    static inline const QString cancelledDescription = QStringLiteral("User cancelled");

    explicit ShareController(QObject *parent = nullptr);

    void loadSharedItems(const QList<Attachment> &attachments);
    const QList<SharedItem> &sharedItems() const { return m_sharedItems; }
    bool loadComplete() const { return m_loadComplete; }

    // A note with more than blanks in it goes on every item, as typed. Returns the records
    // written.
    int save(const QString &note);
    QStringList problems() const { return m_problems; }

    // Rings Quillory: the inbox may have changed. Quietly nothing without a session bus.
    static void postNewItems();

signals:
    void completed();
    void cancelled(const QString &domain, int code, const QString &description);

public slots:
    void cancel();

private:
    QList<SharedItem> m_sharedItems;
    QStringList m_problems;
    bool m_loadComplete = false;
};

} // namespace quillory

#pragma once

#include <QByteArray>
#include <QObject>
#include <QUrl>

namespace quillory {

// The process's in-process notifications, one signal per notification name.
class AppNotifier final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AppNotifier)

public:
    static inline const QString createItemFromURLName = QStringLiteral("createItemFromURL");
    static inline const QString createItemFromImageDataName =
        QStringLiteral("createItemFromImageData");
    static inline const QString processPendingItemsName = QStringLiteral("processPendingItems");

    static AppNotifier &shared();

signals:
    void createItemFromURL(const QUrl &url);
    void createItemFromImageData(const QByteArray &pngData);
    void processPendingItems();

private:
    AppNotifier() = default;
};

} // namespace quillory

#pragma once

#include <state/SortOrder.h>

#include <QObject>
#include <QSettings>
#include <memory>

namespace quillory {

// The appearance and deletion preferences the settings window offers, kept in the
// user-defaults store and stored the moment they change. Interface thread.
class Preferences final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Preferences)

public:
    static inline const QString viewModeKey = QStringLiteral("preferredViewMode");
    static inline const QString showCountsKey = QStringLiteral("showItemCounts");
    static inline const QString confirmDeleteKey = QStringLiteral("confirmBeforeDelete");
    static inline const QString keepPageCopiesKey = QStringLiteral("keepPageCopies");

    // Without `settings`, the user's own store.
    explicit Preferences(std::unique_ptr<QSettings> settings = {}, QObject *parent = nullptr);
    ~Preferences() override;

    // The view a new main window starts with; an unknown stored value reads as grid.
    ViewMode preferredViewMode() const;
    void setPreferredViewMode(ViewMode mode);
    bool showItemCounts() const;
    void setShowItemCounts(bool on);
    bool confirmBeforeDelete() const;
    void setConfirmBeforeDelete(bool on);
    // Whether a web page fetched for an item is kept, with its readable text; on unless
    // turned off.
    bool keepPageCopies() const;
    void setKeepPageCopies(bool on);

signals:
    void changed();

private:
    void store(const QString &key, const QVariant &value);

    std::unique_ptr<QSettings> m_settings;
};

} // namespace quillory

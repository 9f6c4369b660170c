#include <state/Preferences.h>

#include <QSettings>

namespace quillory {

Preferences::Preferences(std::unique_ptr<QSettings> settings, QObject *parent)
    : QObject(parent), m_settings(std::move(settings))
{
    if (!m_settings)
        m_settings =
            std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                        QStringLiteral("Quillory"), QStringLiteral("Quillory"));
}

Preferences::~Preferences() = default;

ViewMode Preferences::preferredViewMode() const
{
    return ViewMode::fromRawValue(m_settings->value(viewModeKey).toString())
        .value_or(ViewMode::Grid);
}

void Preferences::setPreferredViewMode(ViewMode mode)
{
    store(viewModeKey, mode.rawValue());
}

bool Preferences::showItemCounts() const
{
    return m_settings->value(showCountsKey, true).toBool();
}

void Preferences::setShowItemCounts(bool on)
{
    store(showCountsKey, on);
}

bool Preferences::confirmBeforeDelete() const
{
    return m_settings->value(confirmDeleteKey, true).toBool();
}

void Preferences::setConfirmBeforeDelete(bool on)
{
    store(confirmDeleteKey, on);
}

bool Preferences::keepPageCopies() const
{
    return m_settings->value(keepPageCopiesKey, true).toBool();
}

void Preferences::setKeepPageCopies(bool on)
{
    store(keepPageCopiesKey, on);
}

void Preferences::store(const QString &key, const QVariant &value)
{
    // Read back from the file a Boolean is text, so compare as text.
    if (m_settings->contains(key) && m_settings->value(key).toString() == value.toString())
        return;
    m_settings->setValue(key, value);
    // Stored now, not when the process ends: a crash must not forget a choice.
    m_settings->sync();
    emit changed();
}

} // namespace quillory

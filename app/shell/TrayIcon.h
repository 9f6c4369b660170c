#pragma once

#include <QObject>
#include <functional>

class QMenu;
class QSystemTrayIcon;

namespace quillory {

// The status-area icon: paste a new item, show the window or the settings, quit. Where the desktop
// has no tray, the application runs without it and closing the window quits.
class TrayIcon final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TrayIcon)

public:
    struct Actions
    {
        std::function<void()> paste;
        std::function<void()> showMainWindow;
        std::function<void()> showSettings;
        std::function<void()> quit;
    };

    explicit TrayIcon(Actions actions, QObject *parent = nullptr);
    ~TrayIcon() override;

    static bool isAvailable();
    QMenu *menu() const { return m_menu; }
    // A passing message beside the icon, for news that should not wait for the window.
    void notify(const QString &title, const QString &message);

private:
    QMenu *m_menu;
    QSystemTrayIcon *m_icon = nullptr;
};

} // namespace quillory

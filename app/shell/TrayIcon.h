#pragma once

#include <QObject>
#include <functional>

class QMenu;
class QSystemTrayIcon;

namespace quillory {

class AppState;

// The status-area icon: paste a new item, show the window, quit. Where the desktop has
// no tray, the application runs without it and closing the window quits.
class TrayIcon final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TrayIcon)

public:
    TrayIcon(AppState &state, std::function<void()> showMainWindow, QObject *parent = nullptr);
    ~TrayIcon() override;

    static bool isAvailable();
    QMenu *menu() const { return m_menu; }

private:
    QMenu *m_menu;
    QSystemTrayIcon *m_icon = nullptr;
};

} // namespace quillory

#include "TrayIcon.h"

#include <AppState.h>
#include <SymbolIcon.h>

#include <QApplication>
#include <QMenu>
#include <QSystemTrayIcon>

namespace quillory {

TrayIcon::TrayIcon(AppState &state, std::function<void()> showMainWindow, QObject *parent)
    : QObject(parent), m_menu(new QMenu())
{
    m_menu->addAction(QStringLiteral("Paste from Clipboard"),
                      QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_V), this,
                      [&state] { state.requestItemFromClipboard(); });
    m_menu->addAction(QStringLiteral("Show Quillory"), QKeySequence(Qt::CTRL | Qt::Key_1), this,
                      [showMainWindow] { showMainWindow(); });
    m_menu->addSeparator();
    m_menu->addAction(QStringLiteral("Quit Quillory"), QKeySequence(Qt::CTRL | Qt::Key_Q), qApp,
                      &QApplication::quit);

    if (!isAvailable())
        return;
    m_icon = new QSystemTrayIcon(SymbolIcon::icon(QStringLiteral("bookmark.fill")), this);
    m_icon->setToolTip(QStringLiteral("Quillory"));
    m_icon->setContextMenu(m_menu);
    connect(m_icon, &QSystemTrayIcon::activated, this,
            [showMainWindow](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger)
                    showMainWindow();
            });
    m_icon->show();
}

TrayIcon::~TrayIcon()
{
    delete m_menu;
}

bool TrayIcon::isAvailable()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

} // namespace quillory

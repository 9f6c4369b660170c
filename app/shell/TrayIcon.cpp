#include <shell/TrayIcon.h>

#include <views/widgets/SymbolIcon.h>

#include <QMenu>
#include <QSystemTrayIcon>

namespace quillory {

TrayIcon::TrayIcon(Actions actions, QObject *parent) : QObject(parent), m_menu(new QMenu())
{
    m_menu->addAction(QStringLiteral("Paste from Clipboard"),
                      QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_V), this, actions.paste);
    m_menu->addAction(QStringLiteral("Show Quillory"), QKeySequence(Qt::CTRL | Qt::Key_1), this,
                      actions.showMainWindow);
    m_menu->addAction(QStringLiteral("Settings..."), QKeySequence(Qt::CTRL | Qt::Key_Comma), this,
                      actions.showSettings);
    m_menu->addSeparator();
    m_menu->addAction(QStringLiteral("Quit Quillory"), QKeySequence(Qt::CTRL | Qt::Key_Q), this,
                      actions.quit);

    if (!isAvailable())
        return;
    m_icon = new QSystemTrayIcon(SymbolIcon::icon(QStringLiteral("bookmark.fill")), this);
    m_icon->setToolTip(QStringLiteral("Quillory"));
    m_icon->setContextMenu(m_menu);
    connect(m_icon, &QSystemTrayIcon::activated, this,
            [show = actions.showMainWindow](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger)
                    show();
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

void TrayIcon::notify(const QString &title, const QString &message)
{
    if (m_icon != nullptr)
        m_icon->showMessage(title, message, QSystemTrayIcon::Warning);
}

} // namespace quillory

#include "QuilloryApp.h"

#include "AppCommands.h"
#include "AppState.h"
#include "TrayIcon.h"

#include <AppNotifier.h>
#include <BackgroundWork.h>
#include <FileRevealer.h>
#include <ItemEnricher.h>
#include <ItemIntake.h>
#include <LibraryStore.h>
#include <MainWindow.h>
#include <MetadataService.h>
#include <SearchService.h>

#include <QApplication>
#include <QTimer>
#include <QWidget>

namespace quillory {

QuilloryApp::QuilloryApp(std::unique_ptr<LibraryStore> store)
    : m_state(std::make_unique<AppState>()), m_store(std::move(store)),
      m_revealer(FileRevealer::create()),
      m_enricher(std::make_unique<ItemEnricher>(*m_store, MetadataService::shared())),
      m_intake(std::make_unique<ItemIntake>(*m_store, *m_enricher))
{
    m_state->followStore(*m_store);
    m_intake->followNotifications(AppNotifier::shared());
    // Changes stay in memory and saving is retried; the user must know meanwhile.
    connect(m_store.get(), &LibraryStore::autosaveFailed, this, [this](const QString &message) {
        if (!m_state->showErrorAlert())
            m_state->showError(AppError::storageError(message));
    });
}

std::unique_ptr<QuilloryApp> QuilloryApp::create(std::unique_ptr<LibraryStore> store)
{
    if (!store)
        return nullptr;
    return std::unique_ptr<QuilloryApp>(new QuilloryApp(std::move(store)));
}

QuilloryApp::~QuilloryApp()
{
    delete m_window; // before the store its lists follow
    // Pictures being decoded are stored before the store's last save.
    BackgroundWork::finishPending();
}

void QuilloryApp::start()
{
    m_tray = std::make_unique<TrayIcon>(*m_state, [this] { showMainWindow(); });
    updateQuitBehaviour();
    showMainWindow();
    QTimer::singleShot(200, this, &QuilloryApp::bringMainWindowToFront);
    QTimer::singleShot(600, this, &QuilloryApp::bringMainWindowToFront);
    QTimer::singleShot(300, this, &QuilloryApp::runLateStartup);
}

void QuilloryApp::updateQuitBehaviour()
{
    // With a tray icon the application lives on after its window closes; without one there
    // would be no way back, so closing the window quits.
    QApplication::setQuitOnLastWindowClosed(!TrayIcon::isAvailable());
}

void QuilloryApp::showMainWindow()
{
    if (m_window == nullptr) {
        m_window =
            new MainWindow(*m_state, *m_store, SearchService::shared(), *m_revealer, *m_intake);
        m_window->setAttribute(Qt::WA_DeleteOnClose);
        new AppCommands(*m_state, *m_window);
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void QuilloryApp::bringMainWindowToFront()
{
    for (QWidget *window : QApplication::topLevelWidgets()) {
        // Panels (tool windows, popups) are skipped, and so are closed windows.
        if (!window->isVisible() || window->windowType() == Qt::Tool ||
            window->windowType() == Qt::Popup)
            continue;
        if (window->windowTitle() == QLatin1String("Quillory") ||
            window->objectName().contains(QLatin1String("main"))) {
            window->raise();
            window->activateWindow();
            return;
        }
    }
}

void QuilloryApp::runLateStartup()
{
    // The encryption service's launch step and the watch on the share inbox start here once
    // those services exist.
}

} // namespace quillory

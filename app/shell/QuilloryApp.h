#pragma once

#include <views/settings/SettingsView.h>
#include <views/widgets/SheetRunner.h>
#include <views/window/MainWindow.h>

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

class QDialog;

namespace quillory {

class AppState;
class FileRevealer;
class BookmarkFlow;
class ItemEnricher;
class KeepingFlow;
class KeepingQueue;
class KeptPages;
class ItemIntake;
class LibraryStore;
class NewItemsListener;
class PendingItemsService;
class SecurityService;
class StoreProblemReporter;
class TrayIcon;

// The application: shared state, the library store, the single main window, its menus
// and the tray icon, the delayed start-up steps, and quitting without losing changes.
class QuilloryApp final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(QuilloryApp)

public:
    // Null when there is no store to run on. `security` defaults to the process's own.
    static std::unique_ptr<QuilloryApp> create(std::unique_ptr<LibraryStore> store,
                                               SecurityService *security = nullptr);
    ~QuilloryApp() override;

    // Shows the window and schedules the front-raising and late start-up steps.
    void start();
    // Opens the main window, or brings the open one forward.
    void showMainWindow();
    // Raises the first visible top-level window titled "Quillory" or identified as main.
    static void bringMainWindowToFront();

    // The menus' and the tray's quit: saves first and, when that fails, asks whether to try
    // again, quit anyway or keep running.
    void quit();
    // True when quitting loses nothing, or the user chose to quit anyway.
    bool mayQuit();
    // A termination signal: saves without asking (nobody may be there to answer), then ends
    // the event loop; the status is 1 when the save failed.
    void quitForSignal(int signalNumber);

    AppState &state() const { return *m_state; }
    LibraryStore &store() const { return *m_store; }
    MainWindow *mainWindow() const { return m_window; }
    ItemIntake &intake() const { return *m_intake; }
    BookmarkFlow &bookmarks() const { return *m_bookmarks; }
    KeepingQueue &keeping() const { return *m_keeping; }
    KeepingFlow &keepingFlow() const { return *m_keepingFlow; }
    TrayIcon *tray() const { return m_tray.get(); }
    SecurityService &security() const { return m_security; }
    // Opens the settings window, or brings it forward; while the library is locked, the
    // main window with its unlock screen instead.
    void showSettings();
    SettingsView *settingsWindow() const { return m_settingsWindow; }

    // Tests answer the application's own questions instead of a person.
    void setSheetHook(SheetRunner::Hook hook);

private:
    QuilloryApp(std::unique_ptr<LibraryStore> store, SecurityService &security);
    // While encryption is on and the key unknown, the window shows the unlock screen and
    // nothing new is added; unlocking adds what waited.
    void updateLock();
    void runLateStartup();
    void updateQuitBehaviour();
    void followKeptPages();
    void announceErrorWhileClosed();
    enum class Answer { TryAgain, QuitAnyway, Stay };
    bool decideQuit();
    Answer askAboutUnsavedChanges();

    std::unique_ptr<AppState> m_state;
    std::unique_ptr<LibraryStore> m_store;
    std::unique_ptr<FileRevealer> m_revealer;
    // Before the enricher, which hands it pages until it is destroyed.
    std::unique_ptr<KeptPages> m_pages;
    // Adding outlives the window: the tray adds with the window closed, and pictures and
    // page details still arrive after it closed.
    std::unique_ptr<ItemEnricher> m_enricher;
    // Pages of items already in the library, kept and checked in the background.
    std::unique_ptr<KeepingQueue> m_keeping;
    std::unique_ptr<KeepingFlow> m_keepingFlow;
    std::unique_ptr<ItemIntake> m_intake;
    std::unique_ptr<StoreProblemReporter> m_reporter;
    std::unique_ptr<PendingItemsService> m_pendingItems;
    std::unique_ptr<BookmarkFlow> m_bookmarks;
    std::unique_ptr<NewItemsListener> m_newItems;
    SecurityService &m_security;
    QPointer<MainWindow> m_window;
    QPointer<SettingsView> m_settingsWindow;
    std::unique_ptr<TrayIcon> m_tray;
    SheetRunner m_sheets;
    bool m_quitting = false;
    bool m_lateStartupDone = false;
};

} // namespace quillory

#pragma once

#include <MainWindow.h>
#include <QObject>
#include <QPointer>
#include <memory>

class QWidget;

namespace quillory {

class AppCommands;
class AppState;
class FileRevealer;
class ItemEnricher;
class ItemIntake;
class LibraryStore;
class MainWindow;
class TrayIcon;

// The application: shared state, the library store, the single main window, its menus
// and the tray icon, and the delayed start-up steps.
class QuilloryApp final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(QuilloryApp)

public:
    static inline const QString failurePrefix =
        QStringLiteral("Failed to initialize model container: ");

    // Opens the store; null (with `error` set) when it cannot be opened.
    static std::unique_ptr<QuilloryApp> create(std::unique_ptr<LibraryStore> store);
    ~QuilloryApp() override;

    // Shows the window and schedules the front-raising and late start-up steps.
    void start();
    // Opens the main window, or brings the open one forward.
    void showMainWindow();
    // Raises the first visible top-level window titled "Quillory" or identified as main.
    static void bringMainWindowToFront();

    AppState &state() const { return *m_state; }
    LibraryStore &store() const { return *m_store; }
    MainWindow *mainWindow() const { return m_window; }
    ItemIntake &intake() const { return *m_intake; }

private:
    explicit QuilloryApp(std::unique_ptr<LibraryStore> store);
    void runLateStartup();
    void updateQuitBehaviour();

    std::unique_ptr<AppState> m_state;
    std::unique_ptr<LibraryStore> m_store;
    std::unique_ptr<FileRevealer> m_revealer;
    // Adding outlives the window: the tray adds with the window closed, and pictures and
    // page details still arrive after it closed.
    std::unique_ptr<ItemEnricher> m_enricher;
    std::unique_ptr<ItemIntake> m_intake;
    QPointer<MainWindow> m_window;
    std::unique_ptr<TrayIcon> m_tray;
};

} // namespace quillory

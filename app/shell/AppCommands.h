#pragma once

#include <QObject>
#include <functional>

class QMenuBar;

namespace quillory {

class AppState;
class BookmarkFlow;
class KeepingFlow;
class MainWindow;

// The main window's menus: File, View, Item and Library. Each entry changes the shared state or
// asks the window for a platform action; none touches the library directly.
class AppCommands final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AppCommands)

public:
    // `quit` is the application's own quit, which saves first; `showSettings` opens the
    // settings window (no entry when empty); `bookmarks` imports and exports bookmark files
    // and `keeping` keeps and checks the library's pages (no entries when null).
    AppCommands(AppState &state, MainWindow &window, std::function<void()> quit,
                std::function<void()> showSettings = {}, BookmarkFlow *bookmarks = nullptr,
                KeepingFlow *keeping = nullptr);

private:
    void buildFileMenu(QMenuBar &bar);
    void buildViewMenu(QMenuBar &bar);
    void buildItemMenu(QMenuBar &bar);
    void buildLibraryMenu(QMenuBar &bar);

    AppState &m_state;
    MainWindow &m_window;
    std::function<void()> m_quit;
    std::function<void()> m_showSettings;
    BookmarkFlow *m_bookmarks;
    KeepingFlow *m_keeping;
};

} // namespace quillory

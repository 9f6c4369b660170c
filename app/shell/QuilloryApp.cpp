#include <shell/QuilloryApp.h>

#include <shell/AppCommands.h>
#include <shell/TrayIcon.h>

#include <intake/AppNotifier.h>
#include <intake/ItemEnricher.h>
#include <intake/ItemIntake.h>
#include <intake/PendingItemsService.h>
#include <keeping/KeepingQueue.h>
#include <metadata/MetadataService.h>
#include <model/Item.h>
#include <model/LibraryStore.h>
#include <model/Record.h>
#include <pages/KeptPages.h>
#include <platform/FileRevealer.h>
#include <platform/NewItemsListener.h>
#include <search/SearchService.h>
#include <security/SecurityService.h>
#include <state/AppState.h>
#include <state/StoreProblemReporter.h>
#include <util/BackgroundWork.h>
#include <views/settings/SettingsView.h>
#include <views/widgets/DisplayText.h>
#include <views/window/ItemActions.h>
#include <views/window/MainWindow.h>
#include <views/window/UnlockView.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <views/dialogs/BookmarkFlow.h>
#include <views/dialogs/KeepingFlow.h>

namespace quillory {

QuilloryApp::QuilloryApp(std::unique_ptr<LibraryStore> store, SecurityService &security)
    : m_state(std::make_unique<AppState>()), m_store(std::move(store)),
      m_revealer(FileRevealer::create()), m_pages(std::make_unique<KeptPages>(m_store->filePath())),
      m_enricher(std::make_unique<ItemEnricher>(*m_store, MetadataService::shared())),
      m_keeping(std::make_unique<KeepingQueue>(m_store->filePath(), *m_store, *m_pages,
                                               MetadataService::shared())),
      m_keepingFlow(std::make_unique<KeepingFlow>(
          *m_store, *m_pages, *m_keeping,
          [this](const QUuid &id) {
              showMainWindow();
              m_window->revealItem(id);
          },
          [this](const QUuid &id) {
              showMainWindow();
              if (const Item *item = m_store->item(id))
                  m_window->itemActions().openReader(*item);
          })),
      m_intake(std::make_unique<ItemIntake>(*m_store, *m_enricher)),
      m_reporter(std::make_unique<StoreProblemReporter>(*m_store, *m_state)),
      m_pendingItems(std::make_unique<PendingItemsService>(*m_store, *m_intake)),
      m_bookmarks(std::make_unique<BookmarkFlow>(*m_state, *m_store, *m_enricher)),
      m_security(security)
{
    m_state->followStore(*m_store);
    followKeptPages();
    m_intake->followNotifications(AppNotifier::shared());
    connect(m_state.get(), &AppState::showErrorAlertChanged, this,
            &QuilloryApp::announceErrorWhileClosed);
    // The service may announce from a worker thread; the receiver brings it here.
    connect(&m_security, &SecurityService::stateChanged, this, &QuilloryApp::updateLock);
    updateLock();
}

std::unique_ptr<QuilloryApp> QuilloryApp::create(std::unique_ptr<LibraryStore> store,
                                                 SecurityService *security)
{
    if (!store)
        return nullptr;
    return std::unique_ptr<QuilloryApp>(
        new QuilloryApp(std::move(store), security ? *security : SecurityService::shared()));
}

QuilloryApp::~QuilloryApp()
{
    delete m_settingsWindow;
    delete m_window; // before the store its lists follow
    // Pictures being decoded are stored before the store's last save.
    BackgroundWork::finishPending();
}

void QuilloryApp::start()
{
    m_tray = std::make_unique<TrayIcon>(TrayIcon::Actions{
        [this] {
            m_intake->pasteFromClipboard();
            // What was pasted waits for the
            // passphrase: ask for it.
            if (m_security.isLocked())
                showMainWindow();
        },
        [this] { showMainWindow(); }, [this] { showSettings(); }, [this] { quit(); }});
    updateQuitBehaviour();
    showMainWindow();
    QTimer::singleShot(200, this, &QuilloryApp::bringMainWindowToFront);
    QTimer::singleShot(600, this, &QuilloryApp::bringMainWindowToFront);
    QTimer::singleShot(300, this, &QuilloryApp::runLateStartup);
}

void QuilloryApp::followKeptPages()
{
    Preferences &preferences = m_state->preferences();
    const auto apply = [this, &preferences] {
        m_enricher->setKeptPages(m_pages.get(), preferences.keepPageCopies());
        m_keeping->setKeepCopies(preferences.keepPageCopies());
        // The pages already in the library are asked for once, when keeping is first on.
        if (preferences.keepPageCopies() && m_lateStartupDone)
            m_keeping->keepMissingOnce();
    };
    apply();
    connect(&preferences, &Preferences::changed, this, apply);
    // A copy belongs to its item: it leaves with it.
    connect(m_store.get(), &LibraryStore::recordsAboutToBeRemoved, this,
            [this](RecordKind kind, const QList<Record *> &records) {
                if (kind != RecordKind::Item)
                    return;
                QList<QUuid> ids;
                ids.reserve(records.size());
                for (const Record *record : records)
                    ids.append(record->id());
                m_pages->remove(ids);
            });
    connect(m_keeping.get(), &KeepingQueue::largeRunStarted, this, [this] {
        if (m_window && m_window->isVisible() && !m_security.isLocked())
            m_keepingFlow->showProgress();
    });
    connect(m_pages.get(), &KeptPages::unavailable, this, [](const QString &reason) {
        const QByteArray line = "Kept pages are not available: " + reason.toUtf8() + '\n';
        std::fputs(line.constData(), stderr);
    });
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
        m_window->setKeptPages(m_pages.get());
        new AppCommands(
            *m_state, *m_window, [this] { quit(); }, [this] { showSettings(); }, m_bookmarks.get(),
            m_keepingFlow.get());
        // Closing the window quits where there is no tray, so it must not lose changes. The
        // settings window goes with it: left open, it would keep the application running on
        // a decision to quit already taken, and its changes would be saved only on the way
        // out, with nobody asked when that fails.
        if (!TrayIcon::isAvailable())
            m_window->setCloseGuard([this] {
                if (!mayQuit())
                    return false;
                if (m_settingsWindow)
                    m_settingsWindow->close();
                return true;
            });
    }
    updateLock();
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void QuilloryApp::updateLock()
{
    const bool locked = m_security.isLocked();
    m_intake->setOnHold(locked);
    m_keeping->setOnHold(locked);
    // Nothing of a locked library may show, settings included.
    if (locked && m_settingsWindow)
        m_settingsWindow->close();
    if (locked)
        m_keepingFlow->closeWindows();
    m_pendingItems->setOnHold(locked);
    if (m_window == nullptr)
        return;
    if (!locked)
        m_window->setLockScreen(nullptr);
    else if (!m_window->isLocked())
        m_window->setLockScreen(new UnlockView(m_security));
}

void QuilloryApp::setSheetHook(SheetRunner::Hook hook)
{
    m_sheets.setHook(hook);
    m_bookmarks->setSheetHook(hook);
    m_keepingFlow->setSheetHook(std::move(hook));
}

void QuilloryApp::showSettings()
{
    if (m_security.isLocked()) {
        showMainWindow();
        return;
    }
    if (m_settingsWindow == nullptr) {
        m_settingsWindow =
            new SettingsView(*m_state, *m_store, m_security, *m_revealer, m_bookmarks.get());
        m_settingsWindow->setAttribute(Qt::WA_DeleteOnClose);
        m_settingsWindow->setWindowFlag(Qt::Window);
        m_settingsWindow->setSheetHook(m_sheets.hook());
        m_settingsWindow->setKeptPages(m_pages.get());
    }
    m_settingsWindow->show();
    m_settingsWindow->raise();
    m_settingsWindow->activateWindow();
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
            // A question already open on the window (an alert shown at start) stays on top.
            if (QWidget *modal = QApplication::activeModalWidget()) {
                modal->raise();
                modal->activateWindow();
            }
            return;
        }
    }
}

void QuilloryApp::announceErrorWhileClosed()
{
    // The window shows the alert when it opens again; meanwhile the tray says it at once.
    const auto error = m_state->currentError();
    if (m_window == nullptr && m_tray && m_state->showErrorAlert() && error)
        m_tray->notify(QStringLiteral("Quillory"), DisplayText::bounded(error->errorDescription()));
}

void QuilloryApp::quit()
{
    if (mayQuit())
        QApplication::quit();
}

bool QuilloryApp::mayQuit()
{
    // Quitting closes the window, whose guard asks again: the answer already given holds.
    if (m_quitting)
        return true;
    m_quitting = decideQuit();
    return m_quitting;
}

bool QuilloryApp::decideQuit()
{
    while (!m_store->save()) {
        switch (askAboutUnsavedChanges()) {
        case Answer::TryAgain:
            continue;
        case Answer::QuitAnyway:
            return true;
        case Answer::Stay:
            return false;
        }
    }
    return true;
}

QuilloryApp::Answer QuilloryApp::askAboutUnsavedChanges()
{
    const auto failure = m_store->lastSaveFailure();
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Quillory"),
                    QStringLiteral("Your latest changes could not be saved."),
                    QMessageBox::NoButton, m_window);
    box.setInformativeText(
        StoreProblemReporter::remedy(failure ? failure->cause : StoreFailure::Cause::Other) +
        QStringLiteral("\n\nIf you quit now, those changes are lost."));
    if (failure)
        box.setDetailedText(failure->message);
    DisplayText::makePlain(box);
    QPushButton *retry = box.addButton(QStringLiteral("Try Again"), QMessageBox::AcceptRole);
    QPushButton *quitAnyway =
        box.addButton(QStringLiteral("Quit Anyway"), QMessageBox::DestructiveRole);
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(retry);
    box.setWindowModality(Qt::ApplicationModal);
    m_sheets.run(box);
    if (box.clickedButton() == retry)
        return Answer::TryAgain;
    if (box.clickedButton() == quitAnyway)
        return Answer::QuitAnyway;
    return Answer::Stay;
}

void QuilloryApp::quitForSignal(int signalNumber)
{
    QString error;
    if (m_store->save(&error)) {
        QApplication::exit(0);
        return;
    }
    const QByteArray line = "Quillory was asked to stop (signal " +
                            QByteArray::number(signalNumber) +
                            ") but could not save the library: " + error.toUtf8() + '\n';
    std::fputs(line.constData(), stderr);
    QApplication::exit(1);
}

void QuilloryApp::runLateStartup()
{
    // The keyring may ask to be unlocked before it answers: the check runs off the window's
    // thread, and the unlock screen stays usable meanwhile.
    SecurityService *security = &m_security;
    BackgroundWork::run<bool>(
        this,
        [security] {
            security->prepareAtLaunch();
            return true;
        },
        [](bool) {});
    m_newItems = NewItemsListener::create();
    m_pendingItems->followTriggers(AppNotifier::shared(), *m_newItems);
    SearchService::shared().prepareIndex(m_store->items());
    m_lateStartupDone = true;
    if (m_state->preferences().keepPageCopies())
        m_keeping->keepMissingOnce();
}

} // namespace quillory

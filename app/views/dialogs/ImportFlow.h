#pragma once

#include <views/widgets/SheetRunner.h>

#include <exchange/ImportJob.h>

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

class QDialog;
class QProgressDialog;
class QWidget;

namespace quillory {

class AppState;
class ImportProgress;
class LibraryStore;

// Importing from the settings window: the file picker (export documents and encrypted
// backups), the passphrase a backup needs, progress while a large file is added, and what
// was imported. A failure is reported through the application state and changes nothing.
class ImportFlow final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ImportFlow)

public:
    // Sheets and alerts appear over `window`.
    ImportFlow(AppState &state, LibraryStore &store, QWidget &window);
    ~ImportFlow() override;

    // Asks for a file, then imports it; nothing when the picker is cancelled.
    void chooseAndImport();
    void importFile(const QString &path);
    bool isRunning() const { return m_job != nullptr; }

    // Tests pick the file (an empty answer cancels) and answer the sheets.
    using OpenFileHook = std::function<QString()>;
    void setOpenFileHook(OpenFileHook hook) { m_openFileHook = std::move(hook); }
    void setSheetHook(SheetRunner::Hook hook) { m_sheets.setHook(std::move(hook)); }
    // How long an import runs before its progress appears (tests shorten it).
    void setProgressDelay(int milliseconds) { m_progressDelayMs = milliseconds; }
    QProgressDialog *progressDialog() const;

signals:
    // The import ended, whether it added anything or not.
    void ended();

private:
    QString askForFile();
    void askForPassphrase();
    void startProgress();
    void closeProgress();
    void showProgress(ImportJob::Phase phase, qsizetype done, qsizetype total);
    void succeeded(const ImportResult &result);
    void failed(const QString &message);
    void finish();

    AppState &m_state;
    LibraryStore &m_store;
    QWidget &m_window;
    QPointer<ImportJob> m_job;
    QString m_path;
    std::unique_ptr<ImportProgress> m_progress;
    OpenFileHook m_openFileHook;
    SheetRunner m_sheets;
    // A small file is imported before a progress window would even appear.
    int m_progressDelayMs = 400;
};

} // namespace quillory

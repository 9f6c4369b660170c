#pragma once

#include <views/widgets/SheetRunner.h>

#include <QObject>
#include <QPointer>
#include <QProgressDialog>
#include <bookmarks/BookmarkExportJob.h>
#include <bookmarks/BookmarkImportJob.h>
#include <bookmarks/EnrichmentBatch.h>
#include <functional>
#include <memory>

class QDialog;
class QWidget;

namespace quillory {

class AppState;
class ImportProgress;
class ItemEnricher;
class LibraryStore;

// Bookmarks in and out, from the File menu or the settings window: the file picker,
// progress while a large file is added, what was imported, and the offer to fetch the
// pages' details afterwards, which then runs in the background with a progress window of
// its own that does not hold up the rest. Failures are reported through the application
// state and change nothing.
class BookmarkFlow final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BookmarkFlow)

public:
    BookmarkFlow(AppState &state, LibraryStore &store, ItemEnricher &enricher,
                 QObject *parent = nullptr);
    ~BookmarkFlow() override;

    // Sheets and alerts appear over `window`. Nothing when the picker is cancelled.
    void chooseAndImport(QWidget &window);
    void importFile(QWidget &window, const QString &path);
    void chooseAndExport(QWidget &window);
    void exportFile(QWidget &window, const QString &path);
    bool isImporting() const { return m_import != nullptr; }
    bool isExporting() const { return m_export != nullptr; }
    bool isFetching() const { return m_fetch != nullptr; }

    // Tests pick the files (an empty answer cancels) and answer the sheets.
    using FileHook = std::function<QString()>;
    void setOpenFileHook(FileHook hook) { m_openFileHook = std::move(hook); }
    void setSaveFileHook(FileHook hook) { m_saveFileHook = std::move(hook); }
    void setSheetHook(SheetRunner::Hook hook) { m_sheets.setHook(std::move(hook)); }
    void setProgressDelay(int milliseconds) { m_progressDelayMs = milliseconds; }
    QProgressDialog *importProgress() const;
    QProgressDialog *fetchProgress() const { return m_fetchProgress; }

signals:
    void importEnded();
    void exportEnded();
    void fetchEnded();

private:
    void imported(const BookmarkImportResult &result);
    void importFailed(const QString &message);
    void endImport();
    void startFetching(std::shared_ptr<const BookmarkImportResult::Pages> pages);
    void showFetchProgress(qsizetype done, qsizetype total);
    void endFetching();
    void exported(const QString &path, int bookmarks);
    void exportFailed(const QString &message);
    void endExport();
    void present(QDialog &sheet);

    AppState &m_state;
    LibraryStore &m_store;
    ItemEnricher &m_enricher;
    QPointer<QWidget> m_window;
    QPointer<BookmarkImportJob> m_import;
    QPointer<BookmarkExportJob> m_export;
    QPointer<EnrichmentBatch> m_fetch;
    std::unique_ptr<ImportProgress> m_progress;
    QPointer<QProgressDialog> m_fetchProgress;
    std::shared_ptr<const BookmarkImportResult::Pages> m_offeredPages;
    FileHook m_openFileHook;
    FileHook m_saveFileHook;
    SheetRunner m_sheets;
    int m_progressDelayMs = 400;
};

} // namespace quillory

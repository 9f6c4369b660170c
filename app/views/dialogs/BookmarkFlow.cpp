#include <views/dialogs/BookmarkFlow.h>

#include <views/dialogs/ImportProgress.h>
#include <views/widgets/DisplayText.h>
#include <views/widgets/OpenPanel.h>

#include <bookmarks/BookmarkExportJob.h>
#include <bookmarks/BookmarkImportJob.h>
#include <bookmarks/EnrichmentBatch.h>
#include <state/AppError.h>
#include <state/AppState.h>
#include <text/CountedNoun.h>

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <model/ReleaseElsewhere.h>
#include <utility>

namespace quillory {

namespace {

QString bookmarkFilter()
{
    return QStringLiteral("Bookmark files (*.html *.htm);;All files (*)");
}

} // namespace

BookmarkFlow::BookmarkFlow(AppState &state, LibraryStore &store, ItemEnricher &enricher,
                           QObject *parent)
    : QObject(parent), m_state(state), m_store(store), m_enricher(enricher)
{
}

BookmarkFlow::~BookmarkFlow()
{
    delete m_fetchProgress;
}

QProgressDialog *BookmarkFlow::importProgress() const
{
    return m_progress ? m_progress->dialog() : nullptr;
}

void BookmarkFlow::chooseAndImport(QWidget &window)
{
    if (isImporting())
        return;
    const QString path =
        m_openFileHook ? m_openFileHook()
                       : QFileDialog::getOpenFileName(&window, QStringLiteral("Import Bookmarks"),
                                                      OpenPanel::startFolder(), bookmarkFilter());
    if (!path.isEmpty())
        importFile(window, path);
}

void BookmarkFlow::importFile(QWidget &window, const QString &path)
{
    if (isImporting())
        return;
    m_window = &window;
    m_import = new BookmarkImportJob(m_store, path, this);
    connect(m_import, &BookmarkImportJob::progress, this,
            [this](ImportJob::Phase phase, qsizetype done, qsizetype total) {
                if (m_progress)
                    m_progress->show(phase, done, total);
            });
    connect(m_import, &BookmarkImportJob::finished, this, &BookmarkFlow::imported);
    connect(m_import, &BookmarkImportJob::failed, this, &BookmarkFlow::importFailed);
    m_progress = std::make_unique<ImportProgress>(window, QStringLiteral("Import Bookmarks"),
                                                  QStringLiteral("bookmarks"), m_progressDelayMs);
    m_import->start();
}

void BookmarkFlow::imported(const BookmarkImportResult &result)
{
    endImport();
    if (!m_window)
        return;
    auto *box = new QMessageBox(QMessageBox::Information, QStringLiteral("Bookmarks Imported"),
                                result.summary(), QMessageBox::NoButton, m_window);
    box->setObjectName(QStringLiteral("bookmarkImportSummary"));
    DisplayText::makePlain(*box);
    box->setAttribute(Qt::WA_DeleteOnClose);
    if (result.pages->empty() || isFetching()) {
        box->addButton(QMessageBox::Ok);
    } else {
        box->setInformativeText(QStringLiteral(
            "Quillory can fetch each page's title, description and preview picture now, a few "
            "pages at a time, while you go on working. The titles your bookmarks had stay."));
        QPushButton *fetch =
            box->addButton(QStringLiteral("Fetch Page Details"), QMessageBox::AcceptRole);
        fetch->setObjectName(QStringLiteral("fetchPageDetails"));
        box->addButton(QStringLiteral("Not Now"), QMessageBox::RejectRole);
        box->setDefaultButton(fetch);
        m_offeredPages = result.pages;
        connect(box, &QMessageBox::finished, this, [this, box, fetch] {
            auto pages = std::exchange(m_offeredPages, nullptr);
            if (box->clickedButton() == fetch)
                startFetching(std::move(pages));
            else
                releaseElsewhere(std::move(pages));
        });
    }
    m_sheets.present(*box);
}

void BookmarkFlow::importFailed(const QString &message)
{
    endImport();
    m_state.showError(AppError::importError(message));
}

void BookmarkFlow::endImport()
{
    m_progress.reset();
    if (m_import)
        m_import->deleteLater();
    m_import = nullptr;
    emit importEnded();
}

void BookmarkFlow::startFetching(std::shared_ptr<const BookmarkImportResult::Pages> pages)
{
    if (isFetching())
        return;
    m_fetch = new EnrichmentBatch(m_enricher, std::move(pages), this);
    // Not modal: the pages arrive while the library is used.
    m_fetchProgress = new QProgressDialog(m_window);
    m_fetchProgress->setObjectName(QStringLiteral("fetchProgress"));
    m_fetchProgress->setWindowTitle(QStringLiteral("Fetching Page Details"));
    m_fetchProgress->setMinimumWidth(360);
    m_fetchProgress->setCancelButtonText(QStringLiteral("Stop"));
    m_fetchProgress->setWindowModality(Qt::NonModal);
    m_fetchProgress->setAutoReset(false);
    m_fetchProgress->setAutoClose(false);
    m_fetchProgress->setMinimumDuration(0);
    m_fetchProgress->setRange(0, 1000);
    connect(m_fetchProgress, &QProgressDialog::canceled, m_fetch, &EnrichmentBatch::stop);
    connect(m_fetch, &EnrichmentBatch::progress, this, &BookmarkFlow::showFetchProgress);
    connect(m_fetch, &EnrichmentBatch::finished, this, &BookmarkFlow::endFetching);
    m_fetch->start();
    showFetchProgress(0, m_fetch->total());
    m_fetchProgress->show();
}

void BookmarkFlow::showFetchProgress(qsizetype done, qsizetype total)
{
    if (!m_fetchProgress)
        return;
    m_fetchProgress->setLabelText(
        QStringLiteral("Fetched %1 of %2...")
            .arg(QLocale().toString(done),
                 CountedNoun::of(total, QStringLiteral("page"), QStringLiteral("pages"))));
    m_fetchProgress->setValue(total > 0 ? int(done * 1000 / total) : 0);
}

void BookmarkFlow::endFetching()
{
    if (m_fetchProgress) {
        m_fetchProgress->hide();
        m_fetchProgress->deleteLater();
    }
    m_fetchProgress = nullptr;
    if (m_fetch)
        m_fetch->deleteLater();
    m_fetch = nullptr;
    emit fetchEnded();
}

void BookmarkFlow::chooseAndExport(QWidget &window)
{
    if (isExporting())
        return;
    QString path =
        m_saveFileHook
            ? m_saveFileHook()
            : QFileDialog::getSaveFileName(
                  &window, QStringLiteral("Export Bookmarks"),
                  QDir(OpenPanel::startFolder()).filePath(QStringLiteral("bookmarks.html")),
                  bookmarkFilter());
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".html");
    exportFile(window, path);
}

void BookmarkFlow::exportFile(QWidget &window, const QString &path)
{
    if (isExporting())
        return;
    m_window = &window;
    m_export = new BookmarkExportJob(m_store, path, this);
    connect(m_export, &BookmarkExportJob::finished, this, &BookmarkFlow::exported);
    connect(m_export, &BookmarkExportJob::failed, this, &BookmarkFlow::exportFailed);
    m_export->start();
}

void BookmarkFlow::exported(const QString &path, int bookmarks)
{
    endExport();
    if (!m_window)
        return;
    const QString text =
        QStringLiteral("Exported %1 %2 to %3.")
            .arg(QLocale().toString(bookmarks),
                 bookmarks == 1 ? QStringLiteral("bookmark") : QStringLiteral("bookmarks"),
                 QFileInfo(path).fileName());
    auto *box = new QMessageBox(QMessageBox::Information, QStringLiteral("Bookmarks Exported"),
                                text, QMessageBox::Ok, m_window);
    box->setObjectName(QStringLiteral("bookmarkExportSummary"));
    DisplayText::makePlain(*box);
    box->setAttribute(Qt::WA_DeleteOnClose);
    m_sheets.present(*box);
}

void BookmarkFlow::exportFailed(const QString &message)
{
    endExport();
    m_state.showError(AppError::exportError(message));
}

void BookmarkFlow::endExport()
{
    if (m_export)
        m_export->deleteLater();
    m_export = nullptr;
    emit exportEnded();
}

} // namespace quillory

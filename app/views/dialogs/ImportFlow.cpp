#include <views/dialogs/ImportFlow.h>

#include <views/dialogs/BackupPassphraseSheet.h>
#include <views/dialogs/ImportProgress.h>
#include <views/widgets/DisplayText.h>
#include <views/widgets/OpenPanel.h>

#include <model/LibraryStore.h>
#include <state/AppError.h>
#include <state/AppState.h>

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QWidget>

namespace quillory {

ImportFlow::ImportFlow(AppState &state, LibraryStore &store, QWidget &window)
    : QObject(&window), m_state(state), m_store(store), m_window(window)
{
}

ImportFlow::~ImportFlow() = default;

QString ImportFlow::askForFile()
{
    if (m_openFileHook)
        return m_openFileHook();
    return QFileDialog::getOpenFileName(
        &m_window, QStringLiteral("Import Data"), OpenPanel::startFolder(),
        QStringLiteral("Quillory export or backup (*.json *.qlbackup);;All files (*)"));
}

void ImportFlow::chooseAndImport()
{
    if (isRunning())
        return;
    const QString path = askForFile();
    if (!path.isEmpty())
        importFile(path);
}

void ImportFlow::importFile(const QString &path)
{
    if (isRunning())
        return;
    m_path = path;
    m_job = new ImportJob(m_store, path, this);
    connect(m_job, &ImportJob::passphraseNeeded, this, &ImportFlow::askForPassphrase,
            Qt::QueuedConnection);
    connect(m_job, &ImportJob::progress, this, &ImportFlow::showProgress);
    connect(m_job, &ImportJob::finished, this, &ImportFlow::succeeded);
    connect(m_job, &ImportJob::failed, this, &ImportFlow::failed);
    startProgress();
    m_job->start();
}

void ImportFlow::startProgress()
{
    m_progress = std::make_unique<ImportProgress>(m_window, QStringLiteral("Import Data"),
                                                  QStringLiteral("items"), m_progressDelayMs);
}

QProgressDialog *ImportFlow::progressDialog() const
{
    return m_progress ? m_progress->dialog() : nullptr;
}

void ImportFlow::closeProgress()
{
    m_progress.reset();
}

void ImportFlow::askForPassphrase()
{
    if (!m_job)
        return;
    // Otherwise its delay could end while the question is open and cover it.
    closeProgress();
    BackupPassphraseSheet sheet(QFileInfo(m_path).fileName(), &m_window);
    m_sheets.run(sheet);
    if (!m_job)
        return;
    if (sheet.result() != QDialog::Accepted) {
        finish();
        return;
    }
    startProgress();
    m_job->start(sheet.passphrase());
}

void ImportFlow::showProgress(ImportJob::Phase phase, qsizetype done, qsizetype total)
{
    if (m_progress)
        m_progress->show(phase, done, total);
}

void ImportFlow::succeeded(const ImportResult &result)
{
    finish();
    auto *box = new QMessageBox(QMessageBox::Information, QStringLiteral("Import Complete"),
                                result.summary(), QMessageBox::Ok, &m_window);
    box->setObjectName(QStringLiteral("importSummary"));
    DisplayText::makePlain(*box);
    box->setAttribute(Qt::WA_DeleteOnClose);
    m_sheets.present(*box);
}

void ImportFlow::failed(const QString &message)
{
    finish();
    m_state.showError(AppError::importError(message));
}

void ImportFlow::finish()
{
    closeProgress();
    if (m_job)
        m_job->deleteLater();
    m_job = nullptr;
    emit ended();
}

} // namespace quillory

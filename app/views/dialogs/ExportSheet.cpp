#include <views/dialogs/ExportSheet.h>

#include <views/widgets/BusyIndicator.h>
#include <views/widgets/DisplayText.h>
#include <views/widgets/FormGroup.h>
#include <views/widgets/OpenPanel.h>
#include <views/widgets/SecureFieldWithToggle.h>
#include <views/widgets/SheetParts.h>

#include <exchange/ExportJob.h>
#include <inbox/InboxFiles.h>
#include <model/LibraryStore.h>
#include <platform/FileRevealer.h>
#include <util/BackgroundWork.h>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QVBoxLayout>

namespace quillory {

ExportSheet::ExportSheet(LibraryStore &store, FileRevealer &revealer, QWidget *parent)
    : QDialog(parent), m_store(store), m_revealer(revealer), m_directory(QDir::tempPath())
{
    setObjectName(QStringLiteral("exportSheet"));
    setWindowTitle(QStringLiteral("Export"));
    setWindowModality(Qt::WindowModal);
    setMinimumWidth(420);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 16);
    layout->setSpacing(16);
    layout->addWidget(SheetParts::headline(QStringLiteral("Export"), this));
    layout->addWidget(buildOptions());
    layout->addWidget(buildSummary());
    layout->addWidget(buildDone());
    layout->addStretch(1);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(buildProgress());
    bottom->addStretch(1);
    auto *buttons = new QDialogButtonBox(this);
    QPushButton *close = buttons->addButton(QStringLiteral("Done"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("close"));
    close->setAutoDefault(false);
    m_export = buttons->addButton(QStringLiteral("Export"), QDialogButtonBox::AcceptRole);
    m_export->setObjectName(QStringLiteral("export"));
    m_export->setDefault(true);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_export, &QPushButton::clicked, this, &ExportSheet::startExport);
    bottom->addWidget(buttons);
    layout->addLayout(bottom);

    // The summary counts what is in the library now, as the export will.
    connect(&store, &LibraryStore::recordsInserted, this, &ExportSheet::updateSummary);
    connect(&store, &LibraryStore::recordsRemoved, this, &ExportSheet::updateSummary);
    updateSummary();
    updateControls();
}

ExportSheet::~ExportSheet() = default;

void ExportSheet::done(int result)
{
    // The plain document is not left behind once the sheet is gone.
    m_written.reset();
    QDialog::done(result);
}

FormGroup *ExportSheet::buildOptions()
{
    auto *group = new FormGroup(QStringLiteral("Options"), this);
    m_options = group;
    m_includeImages = new QCheckBox(QStringLiteral("Include Images"));
    m_includeImages->setObjectName(QStringLiteral("includeImages"));
    group->addRow(m_includeImages);
    m_encrypt = new QCheckBox(QStringLiteral("Encrypt Backup"));
    m_encrypt->setObjectName(QStringLiteral("encryptBackup"));
    group->addRow(m_encrypt);
    m_passphrase = new SecureFieldWithToggle(QStringLiteral("Passphrase"));
    m_passphrase->setObjectName(QStringLiteral("backupPassphrase"));
    group->addRow(m_passphrase);
    connect(m_encrypt, &QCheckBox::toggled, this, &ExportSheet::updateControls);
    connect(m_passphrase, &SecureFieldWithToggle::textChanged, this, &ExportSheet::updateControls);
    return group;
}

FormGroup *ExportSheet::buildSummary()
{
    m_counts = new LibraryCountsGroup(QStringLiteral("Summary"), this);
    m_counts->setFooter(QStringLiteral("Kept copies of pages are not part of the export."));
    return m_counts;
}

FormGroup *ExportSheet::buildDone()
{
    auto *group = new FormGroup(QStringLiteral("Done"), this);
    group->setObjectName(QStringLiteral("doneSection"));
    m_doneName = new QLabel;
    m_doneName->setObjectName(QStringLiteral("exportFileName"));
    m_doneName->setTextFormat(Qt::PlainText);
    m_doneName->setTextInteractionFlags(Qt::TextSelectableByMouse);
    group->addRow(m_doneName);
    auto *actions = new QWidget;
    auto *row = new QHBoxLayout(actions);
    row->setContentsMargins(0, 0, 0, 0);
    m_save = new QPushButton(QStringLiteral("Save Export File..."), actions);
    m_save->setObjectName(QStringLiteral("saveExportFile"));
    m_save->setAutoDefault(false);
    m_reveal = new QPushButton(QStringLiteral("Show in File Manager"), actions);
    m_reveal->setObjectName(QStringLiteral("showInFileManager"));
    m_reveal->setAutoDefault(false);
    row->addWidget(m_save);
    row->addWidget(m_reveal);
    row->addStretch(1);
    group->addRow(actions);
    connect(m_save, &QPushButton::clicked, this, &ExportSheet::saveExportFile);
    connect(m_reveal, &QPushButton::clicked, this, [this] {
        if (m_result)
            m_revealer.reveal(*m_result);
    });
    m_done = group;
    return group;
}

QWidget *ExportSheet::buildProgress()
{
    m_progress = new QWidget(this);
    m_progress->setObjectName(QStringLiteral("exportProgress"));
    auto *row = new QHBoxLayout(m_progress);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(new BusyIndicator(m_progress));
    row->addWidget(new QLabel(QStringLiteral("Exporting..."), m_progress));
    return m_progress;
}

void ExportSheet::updateSummary()
{
    m_counts->showCounts(m_store);
}

void ExportSheet::updateControls()
{
    // Hidden, the passphrase keeps its text, so turning encryption back on needs no retyping.
    m_options->setRowVisible(m_passphrase, m_encrypt->isChecked());
    const bool passphraseMissing =
        m_encrypt->isChecked() && m_passphrase->text().size() < minimumPassphraseLength;
    m_export->setEnabled(!isExporting() && !passphraseMissing);
    m_progress->setVisible(isExporting());
    m_done->setVisible(m_result.has_value());
    m_includeImages->setEnabled(!isExporting());
    m_encrypt->setEnabled(!isExporting());
    m_passphrase->setEnabled(!isExporting());
}

void ExportSheet::startExport()
{
    if (isExporting() || !m_export->isEnabled())
        return;
    ExportService::FileOptions options;
    options.includeImages = m_includeImages->isChecked();
    options.encrypt = m_encrypt->isChecked();
    if (options.encrypt)
        options.passphrase = m_passphrase->text();
    m_job = new ExportJob(m_store, options, m_directory, this);
    connect(m_job, &ExportJob::finished, this, &ExportSheet::exported);
    connect(m_job, &ExportJob::failed, this, &ExportSheet::showError);
    m_job->start();
    updateControls();
}

void ExportSheet::exported(const QString &path)
{
    m_written = m_job->folder(); // the last export's private copy goes
    m_job->deleteLater();
    m_job = nullptr;
    m_result = path;
    m_doneName->setText(QFileInfo(path).fileName());
    updateControls();
    emit exportEnded();
}

void ExportSheet::showError(const QString &message)
{
    if (m_job) {
        m_job->deleteLater();
        m_job = nullptr;
    }
    updateControls();
    QMessageBox alert(QMessageBox::Warning, QStringLiteral("Export Error"),
                      DisplayText::bounded(message), QMessageBox::NoButton, this);
    alert.setObjectName(QStringLiteral("exportError"));
    alert.addButton(QStringLiteral("OK"), QMessageBox::RejectRole);
    DisplayText::makePlain(alert);
    emit exportEnded();
    m_sheets.run(alert);
}

QString ExportSheet::askForSaveLocation(const QString &suggestedPath)
{
    if (m_saveLocationHook)
        return m_saveLocationHook(suggestedPath);
    return QFileDialog::getSaveFileName(this, QStringLiteral("Save Export File"), suggestedPath,
                                        QStringLiteral("Quillory export (*.json *.qlbackup)"));
}

void ExportSheet::saveExportFile()
{
    if (!m_result)
        return;
    const QString source = *m_result;
    const QString destination =
        askForSaveLocation(QDir(OpenPanel::startFolder()).filePath(QFileInfo(source).fileName()));
    if (destination.isEmpty() || QFileInfo(destination) == QFileInfo(source))
        return;
    m_save->setEnabled(false);
    // A backup with pictures can be large: copied off the interface thread, which holds the
    // private copy until it is read even if the sheet closes meanwhile.
    BackgroundWork::run<bool>(
        this,
        [source, destination, held = m_written] {
            return InboxFiles::copyAtomically(source, destination);
        },
        [this, source, destination](bool copied) {
            m_save->setEnabled(true);
            if (!copied) {
                showError(QStringLiteral("The export file could not be saved to %1.")
                              .arg(QDir::toNativeSeparators(destination)));
                return;
            }
            if (m_result != source)
                return; // a later export took its place
            m_written.reset();
            m_result = destination;
            m_doneName->setText(QFileInfo(destination).fileName());
        });
}

} // namespace quillory

#pragma once

#include <views/widgets/SheetRunner.h>

#include <views/widgets/LibraryCountsGroup.h>

#include <exchange/ExportJob.h>

#include <QDialog>
#include <QPointer>
#include <functional>
#include <optional>

class QCheckBox;
class QLabel;
class QPushButton;
class QTemporaryDir;

namespace quillory {

class FileRevealer;
class FormGroup;
class LibraryStore;
class SecureFieldWithToggle;

// "Export": whether pictures go along, whether to write an encrypted backup and with which
// passphrase, what will be exported, and, once written, where the file can be saved or
// found. The sheet stays open after an export, so a second one can follow with other
// options. Starts fresh each time it opens. The written file waits in a private folder of
// its own (ExportJob), which goes once the user has saved a copy, a later export took its
// place, or the sheet closed.
class ExportSheet final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ExportSheet)

public:
    static constexpr int minimumPassphraseLength = 8;

    ExportSheet(LibraryStore &store, FileRevealer &revealer, QWidget *parent = nullptr);
    ~ExportSheet() override;

    SecureFieldWithToggle *passphraseField() const { return m_passphrase; }
    QPushButton *saveButton() const { return m_save; }
    QWidget *doneSection() const { return m_done; }
    QLabel *itemsCount() const { return m_counts->itemsCount(); }
    QLabel *foldersCount() const { return m_counts->foldersCount(); }
    QLabel *tagsCount() const { return m_counts->tagsCount(); }
    // The written file: the private copy until one is saved, then the saved one.
    const std::optional<QString> &exportResult() const { return m_result; }
    bool isExporting() const { return m_job != nullptr; }

    void startExport();
    // Asks where to keep the written file and copies it there.
    void saveExportFile();
    void done(int result) override;

    // Where the private folders for the files are made: the temporary directory unless tests
    // say otherwise.
    void setDirectory(const QString &directory) { m_directory = directory; }
    // Tests answer the save dialog (an empty answer cancels) and the alerts.
    using SaveLocationHook = std::function<QString(const QString &suggestedPath)>;
    void setSaveLocationHook(SaveLocationHook hook) { m_saveLocationHook = std::move(hook); }
    void setSheetHook(SheetRunner::Hook hook) { m_sheets.setHook(std::move(hook)); }

signals:
    // An export ended, written or not.
    void exportEnded();

private:
    FormGroup *buildOptions();
    FormGroup *buildSummary();
    FormGroup *buildDone();
    QWidget *buildProgress();
    void updateSummary();
    void updateControls();
    void exported(const QString &path);
    void showError(const QString &message);
    QString askForSaveLocation(const QString &suggestedPath);

    LibraryStore &m_store;
    FileRevealer &m_revealer;
    QString m_directory;
    QPointer<ExportJob> m_job;
    std::optional<QString> m_result;
    std::shared_ptr<const QTemporaryDir> m_written; // holds m_result until a copy is saved
    SaveLocationHook m_saveLocationHook;
    SheetRunner m_sheets;

    QCheckBox *m_includeImages = nullptr;
    QCheckBox *m_encrypt = nullptr;
    SecureFieldWithToggle *m_passphrase = nullptr;
    LibraryCountsGroup *m_counts = nullptr;
    FormGroup *m_options = nullptr;
    QWidget *m_done = nullptr;
    QLabel *m_doneName = nullptr;
    QPushButton *m_save = nullptr;
    QPushButton *m_reveal = nullptr;
    QWidget *m_progress = nullptr;
    QPushButton *m_export = nullptr;
};

} // namespace quillory

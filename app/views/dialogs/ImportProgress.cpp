#include <views/dialogs/ImportProgress.h>

#include <QLocale>
#include <QProgressDialog>

namespace quillory {

ImportProgress::ImportProgress(QWidget &window, QString title, QString records, int delayMs)
    : m_dialog(new QProgressDialog(&window)), m_records(std::move(records))
{
    m_dialog->setObjectName(QStringLiteral("importProgress"));
    m_dialog->setWindowTitle(title);
    m_dialog->setLabelText(QStringLiteral("Reading the file..."));
    // Wide enough that the label does not make it jump as the counts grow.
    m_dialog->setMinimumWidth(360);
    m_dialog->setCancelButton(nullptr);
    m_dialog->setWindowModality(Qt::WindowModal);
    m_dialog->setMinimumDuration(delayMs);
    m_dialog->setAutoReset(false);
    m_dialog->setAutoClose(false);
    m_dialog->setRange(0, 0);
    // The delay before it appears starts here.
    m_dialog->setValue(0);
}

ImportProgress::~ImportProgress()
{
    if (!m_dialog)
        return;
    m_dialog->hide();
    m_dialog->deleteLater();
}

QProgressDialog *ImportProgress::dialog() const
{
    return m_dialog;
}

void ImportProgress::show(ImportJob::Phase phase, qsizetype done, qsizetype total)
{
    if (!m_dialog)
        return;
    switch (phase) {
    case ImportJob::Phase::Reading:
        m_dialog->setLabelText(QStringLiteral("Reading the file..."));
        m_dialog->setRange(0, 0);
        break;
    case ImportJob::Phase::Adding:
        m_dialog->setLabelText(
            QStringLiteral("Adding %1 of %2 %3...")
                .arg(QLocale().toString(done), QLocale().toString(total), m_records));
        // The dialog counts in int; a fraction keeps any count in range.
        m_dialog->setRange(0, 1000);
        m_dialog->setValue(total > 0 ? int(done * 1000 / total) : 0);
        break;
    case ImportJob::Phase::Saving:
        m_dialog->setLabelText(QStringLiteral("Saving..."));
        m_dialog->setRange(0, 0);
        break;
    }
}

} // namespace quillory

#pragma once

#include <QPointer>
#include <QString>
#include <exchange/ImportJob.h>

class QProgressDialog;
class QWidget;

namespace quillory {

// The progress window of an import over `window`: it appears only once the import has run
// for a moment, counts what is added, and has no Cancel, since an import is one
// transaction and stopping half way would undo it anyway, at the end.
class ImportProgress final
{
public:
    // `title` heads the window; `records` names what is counted ("items", "bookmarks").
    ImportProgress(QWidget &window, QString title, QString records, int delayMs);
    ~ImportProgress();
    ImportProgress(const ImportProgress &) = delete;
    ImportProgress &operator=(const ImportProgress &) = delete;

    void show(ImportJob::Phase phase, qsizetype done, qsizetype total);
    QProgressDialog *dialog() const;

private:
    QPointer<QProgressDialog> m_dialog;
    QString m_records;
};

} // namespace quillory

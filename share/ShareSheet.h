#pragma once

#include <share/SharedItem.h>

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace quillory {

// The small window Dropslip shows: what is being shared, a note to go with it, Cancel and
// Save; or, when nothing usable was handed over, an empty state that only Cancel closes.
class ShareSheet final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ShareSheet)

public:
    explicit ShareSheet(const QList<SharedItem> &items, QWidget *parent = nullptr);

    QPlainTextEdit *noteField() const { return m_note; }
    QPushButton *saveButton() const { return m_save; }
    QPushButton *cancelButton() const { return m_cancel; }
    bool isSaving() const { return m_saving; }

signals:
    void saveRequested(const QString &note);
    void cancelRequested();

protected:
    void reject() override; // Escape and the window's close button cancel
    bool eventFilter(QObject *watched, QEvent *event) override; // Enter in the note saves

private:
    QWidget *buildList(const QList<SharedItem> &items);
    QWidget *buildNote();
    QWidget *buildEmptyState();
    void fitNoteHeight();

    QPlainTextEdit *m_note = nullptr;
    QPushButton *m_save = nullptr;
    QPushButton *m_cancel = nullptr;
    bool m_saving = false;
};

} // namespace quillory

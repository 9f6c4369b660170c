#pragma once

#include <views/widgets/SheetRunner.h>

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace quillory {

class KeepingQueue;

// "Keeping Pages": how far the background keeping (or checking) has come, with Pause or
// Resume and Stop; with nothing waiting, a way to keep the pages that still have no copy.
// Closing it leaves the queue running.
class KeepingProgressWindow final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(KeepingProgressWindow)

public:
    explicit KeepingProgressWindow(KeepingQueue &queue, QWidget *parent = nullptr);

    // Stop asks first, through `sheets`.
    void setSheetHook(SheetRunner::Hook hook) { m_sheets.setHook(std::move(hook)); }

    QString headline() const;
    QString status() const;
    QPushButton *pauseButton() const { return m_pause; }
    QPushButton *stopButton() const { return m_stop; }
    QPushButton *keepMissingButton() const { return m_keepMissing; }

private:
    void update();
    void askToStop();

    KeepingQueue &m_queue;
    SheetRunner m_sheets;
    QLabel *m_headline;
    QLabel *m_status;
    QProgressBar *m_bar;
    QPushButton *m_pause;
    QPushButton *m_stop;
    QPushButton *m_keepMissing;
};

} // namespace quillory

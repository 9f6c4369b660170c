#include <views/dialogs/KeepingProgressWindow.h>

#include <views/widgets/DisplayText.h>
#include <views/widgets/SheetParts.h>

#include <keeping/KeepingQueue.h>
#include <text/CountedNoun.h>

#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillory {

KeepingProgressWindow::KeepingProgressWindow(KeepingQueue &queue, QWidget *parent)
    : QDialog(parent), m_queue(queue)
{
    setObjectName(QStringLiteral("keepingProgress"));
    setWindowTitle(QStringLiteral("Keeping Pages"));
    setWindowFlag(Qt::Window);
    setWindowModality(Qt::NonModal);
    // Wide enough that the counts growing do not make it jump.
    setMinimumWidth(440);
    auto *layout = new QVBoxLayout(this);
    m_headline = SheetParts::headline(QString(), this);
    m_headline->setObjectName(QStringLiteral("keepingHeadline"));
    layout->addWidget(m_headline);
    m_bar = new QProgressBar(this);
    m_bar->setRange(0, 1000);
    m_bar->setTextVisible(false);
    layout->addWidget(m_bar);
    m_status = SheetParts::footnote(QString(), this);
    m_status->setObjectName(QStringLiteral("keepingStatus"));
    // A window does not grow for a wrapped label on its own: room for two lines of it.
    m_status->setMinimumHeight(2 * QFontMetrics(m_status->font()).lineSpacing() + 4);
    layout->addWidget(m_status);
    layout->addSpacing(8);

    auto *buttons = new QDialogButtonBox(this);
    m_keepMissing =
        buttons->addButton(QStringLiteral("Keep Missing Pages"), QDialogButtonBox::ActionRole);
    m_pause = buttons->addButton(QStringLiteral("Pause"), QDialogButtonBox::ActionRole);
    m_stop = buttons->addButton(QStringLiteral("Stop"), QDialogButtonBox::DestructiveRole);
    QPushButton *close = buttons->addButton(QDialogButtonBox::Close);
    close->setDefault(true);
    layout->addWidget(buttons);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    connect(m_pause, &QPushButton::clicked, this, [this] {
        if (m_queue.progress().paused)
            m_queue.resume();
        else
            m_queue.pause();
    });
    connect(m_stop, &QPushButton::clicked, this, &KeepingProgressWindow::askToStop);
    connect(m_keepMissing, &QPushButton::clicked, this, [this] { m_queue.keepMissing(); });
    connect(&m_queue, &KeepingQueue::changed, this, &KeepingProgressWindow::update);
    update();
}

QString KeepingProgressWindow::headline() const
{
    return m_headline->text();
}

QString KeepingProgressWindow::status() const
{
    return m_status->text();
}

void KeepingProgressWindow::update()
{
    const QueueProgress &p = m_queue.progress();
    const QLocale locale;
    const bool waiting = p.waiting > 0;
    const QString what =
        p.checking ? QStringLiteral("Checking links") : QStringLiteral("Keeping pages");
    if (!m_queue.failure().isEmpty()) {
        m_headline->setText(QStringLiteral("Pages cannot be kept"));
        m_status->setText(DisplayText::bounded(m_queue.failure()));
    } else if (waiting) {
        m_headline->setText(QStringLiteral("%1: %2 of %3")
                                .arg(what, locale.toString(p.done), locale.toString(p.total)));
        if (p.paused)
            m_status->setText(QStringLiteral("Paused. The pages wait, also when Quillory is "
                                             "started again, until you resume."));
        else if (m_queue.isOnHold())
            m_status->setText(QStringLiteral("Waiting for the library to be unlocked."));
        else
            m_status->setText(QStringLiteral("A few pages at a time, one per site, while you go "
                                             "on working. You can close this window."));
    } else if (m_queue.isAdding()) {
        m_headline->setText(QStringLiteral("Looking for pages..."));
        m_status->setText(QString());
    } else {
        m_headline->setText(QStringLiteral("No pages are waiting"));
        m_status->setText(QStringLiteral("Pages are kept as you add them. Keep Missing Pages "
                                         "fetches a copy of each page that has none."));
    }
    m_bar->setVisible(waiting);
    // The bar counts in int; a fraction keeps any count in range.
    m_bar->setValue(p.total > 0 ? int(p.done * 1000 / p.total) : 0);
    m_pause->setText(p.paused ? QStringLiteral("Resume") : QStringLiteral("Pause"));
    m_pause->setEnabled(waiting && m_queue.failure().isEmpty());
    m_stop->setEnabled(waiting || m_queue.isAdding());
    m_keepMissing->setVisible(!waiting && !m_queue.isAdding() && m_queue.failure().isEmpty());
}

void KeepingProgressWindow::askToStop()
{
    const qint64 left = m_queue.progress().waiting;
    QMessageBox box(QMessageBox::Question, QStringLiteral("Stop"),
                    QStringLiteral("Stop keeping pages?"), QMessageBox::NoButton, this);
    box.setObjectName(QStringLiteral("stopKeeping"));
    box.setInformativeText(
        QStringLiteral("%1 still waiting will not be fetched. The copies already kept stay.")
            .arg(CountedNoun::of(left, QStringLiteral("page"), QStringLiteral("pages"))));
    DisplayText::makePlain(box);
    QPushButton *stop = box.addButton(QStringLiteral("Stop"), QMessageBox::DestructiveRole);
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Cancel);
    m_sheets.run(box);
    if (box.clickedButton() == stop)
        m_queue.stop();
}

} // namespace quillory

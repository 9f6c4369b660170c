#include <views/dialogs/KeepingFlow.h>

#include <views/dialogs/BrokenLinksWindow.h>
#include <views/dialogs/KeepingProgressWindow.h>
#include <views/widgets/DisplayText.h>

#include <keeping/KeepingQueue.h>
#include <model/Item.h>
#include <model/LibraryStore.h>
#include <text/CountedNoun.h>

#include <QMessageBox>
#include <QPushButton>

namespace quillory {

namespace {

void bringForward(QWidget &window)
{
    window.show();
    window.raise();
    window.activateWindow();
}

} // namespace

KeepingFlow::KeepingFlow(LibraryStore &store, KeptPages &pages, KeepingQueue &queue,
                         ItemAction openItem, ItemAction readKeptCopy, QObject *parent)
    : QObject(parent), m_store(store), m_pages(pages), m_queue(queue),
      m_openItem(std::move(openItem)), m_readKeptCopy(std::move(readKeptCopy))
{
}

KeepingFlow::~KeepingFlow()
{
    closeWindows();
}

void KeepingFlow::closeWindows()
{
    delete m_progress;
    delete m_broken;
}

KeepingProgressWindow *KeepingFlow::progressWindow() const
{
    return m_progress;
}

BrokenLinksWindow *KeepingFlow::brokenLinksWindow() const
{
    return m_broken;
}

void KeepingFlow::setSheetHook(SheetRunner::Hook hook)
{
    m_sheets.setHook(hook);
    if (m_progress)
        m_progress->setSheetHook(std::move(hook));
}

void KeepingFlow::showProgress()
{
    if (m_progress == nullptr) {
        m_progress = new KeepingProgressWindow(m_queue);
        m_progress->setAttribute(Qt::WA_DeleteOnClose);
        m_progress->setSheetHook(m_sheets.hook());
    }
    bringForward(*m_progress);
}

void KeepingFlow::checkLinks(QWidget &window)
{
    qint64 links = 0;
    for (const Item *item : m_store.items()) {
        const std::optional<std::string_view> url = item->urlUtf8();
        if (url && (url->starts_with("http:") || url->starts_with("https:")))
            ++links;
    }
    QMessageBox box(QMessageBox::Question, QStringLiteral("Check Links"),
                    QStringLiteral("Check every link in the library?"), QMessageBox::NoButton,
                    &window);
    box.setObjectName(QStringLiteral("checkLinks"));
    box.setInformativeText(
        QStringLiteral("Quillory asks for each of %1 again, a few at a time and one per site, "
                       "while you go on working. A link counts as broken when its page is gone "
                       "on two checks at least a day apart. Pages without a kept copy are kept "
                       "on the way.")
            .arg(CountedNoun::of(links, QStringLiteral("web page"), QStringLiteral("web pages"))));
    DisplayText::makePlain(box);
    QPushButton *check = box.addButton(QStringLiteral("Check Links"), QMessageBox::AcceptRole);
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(check);
    m_sheets.run(box);
    if (box.clickedButton() != check)
        return;
    m_queue.checkAll();
    showProgress();
}

void KeepingFlow::showBrokenLinks()
{
    if (m_broken == nullptr) {
        m_broken = new BrokenLinksWindow(m_store, m_pages, &m_queue, m_openItem, m_readKeptCopy);
        m_broken->setAttribute(Qt::WA_DeleteOnClose);
    } else {
        m_broken->refresh();
    }
    bringForward(*m_broken);
}

} // namespace quillory

#pragma once

#include <views/widgets/SheetRunner.h>

#include <QObject>
#include <QPointer>
#include <QUuid>
#include <functional>

class QWidget;

namespace quillory {

class BrokenLinksWindow;
class KeepingProgressWindow;
class KeepingQueue;
class KeptPages;
class LibraryStore;

// Keeping and checking the library's pages, from the Library menu: the progress window,
// the question before every link is checked again, and the broken links. Each window is
// one of its own, made when first asked for, brought forward when asked again, and closed
// with the flow.
class KeepingFlow final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(KeepingFlow)

public:
    using ItemAction = std::function<void(const QUuid &itemId)>;

    // `openItem` shows an item in the library; `readKeptCopy`, when set, opens its kept copy.
    KeepingFlow(LibraryStore &store, KeptPages &pages, KeepingQueue &queue, ItemAction openItem,
                ItemAction readKeptCopy = {}, QObject *parent = nullptr);
    ~KeepingFlow() override;

    void showProgress();
    // Asks over `window` first.
    void checkLinks(QWidget &window);
    void showBrokenLinks();
    // While the library is locked, nothing of it shows.
    void closeWindows();

    KeepingProgressWindow *progressWindow() const;
    BrokenLinksWindow *brokenLinksWindow() const;
    // Tests answer the questions instead of a person.
    void setSheetHook(SheetRunner::Hook hook);

private:
    LibraryStore &m_store;
    KeptPages &m_pages;
    KeepingQueue &m_queue;
    ItemAction m_openItem;
    ItemAction m_readKeptCopy;
    SheetRunner m_sheets;
    QPointer<KeepingProgressWindow> m_progress;
    QPointer<BrokenLinksWindow> m_broken;
};

} // namespace quillory

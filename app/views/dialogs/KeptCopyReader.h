#pragma once

#include <QList>
#include <QString>
#include <QUrl>
#include <QUuid>
#include <QWidget>
#include <functional>
#include <optional>

class QLabel;
class QTextBrowser;

namespace quillory {

class KeptPages;
struct KeptReading;

// A window that reads an item's kept copy of its page: the page's readable text as plain,
// safe text, with when it was kept and where from at the top, and the words of the current
// search marked. Nothing in it loads anything; a link is shown, and opened only by a click,
// through `openLink`. Escape and Ctrl+W close it, and it deletes itself when closed.
class KeptCopyReader final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(KeptCopyReader)

public:
    using LinkHandler = std::function<void(const QUrl &)>;

    // Asks `pages` for the item's copy at once, and shows it when it arrives.
    KeptCopyReader(KeptPages &pages, const QUuid &itemId, const QString &itemTitle,
                   const QString &searchText, LinkHandler openLink, QWidget *parent = nullptr);
    ~KeptCopyReader() override;

    QUuid itemId() const { return m_itemId; }
    QTextBrowser *textView() const { return m_text; }
    // "Kept Mar 5, 2026 from https://...", once the copy has arrived.
    QString keptLine() const;

private:
    void present(const std::optional<KeptReading> &reading);
    void followLink(const QUrl &anchor);

    QUuid m_itemId;
    QStringList m_words;
    LinkHandler m_openLink;
    QList<QUrl> m_links;
    QLabel *m_kept = nullptr;
    QTextBrowser *m_text = nullptr;
    QLabel *m_hovered = nullptr;
};

} // namespace quillory

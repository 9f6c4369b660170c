#include "LinkOpener.h"

#include "DisplayText.h"

#include <InboxLayout.h>
#include <Item.h>
#include <ItemType.h>

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

namespace quillory {

namespace {

bool isWebPage(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return scheme == u"http" || scheme == u"https";
}

// A file the share inbox copied in: directly inside its "Imported" folder, wherever a
// link inside it leads.
bool liesInInbox(const QFileInfo &file)
{
    const auto inbox = InboxLayout::inboxPath();
    if (!inbox)
        return false;
    const QString imported =
        QFileInfo(*inbox + QLatin1Char('/') + InboxLayout::importedName).canonicalFilePath();
    return !imported.isEmpty() && QFileInfo(file.canonicalFilePath()).absolutePath() == imported;
}

bool isOwnFile(const Item &item, const QUrl &url)
{
    // A host would make the path another machine's share, and a query or fragment is no
    // part of a file's name.
    if (!url.isLocalFile() || !url.host().isEmpty() || url.hasQuery() || url.hasFragment())
        return false;
    const QFileInfo file(url.toLocalFile());
    if (!file.isFile() || file.isExecutable())
        return false;
    const ItemType type = item.type();
    if (type == ItemType::Document || type == ItemType::Image || type == ItemType::Screenshot) {
        if (liesInInbox(file))
            return true;
    }
    return type != ItemType::WebLink && type == ItemType::detect(url);
}

} // namespace

LinkOpener::LinkOpener(QWidget *parent, SheetRunner runSheet)
    : m_parent(parent), m_runSheet(std::move(runSheet)),
      m_open([](const QUrl &url) { return QDesktopServices::openUrl(url); })
{
}

std::optional<QUrl> LinkOpener::linkOf(const Item &item)
{
    const std::optional<QString> address = item.urlString();
    if (!address)
        return std::nullopt;
    const QUrl url(*address, QUrl::StrictMode);
    return url.isValid() ? std::optional<QUrl>(url) : std::nullopt;
}

LinkOpener::Handling LinkOpener::handlingOf(const Item &item, const QUrl &url)
{
    return isWebPage(url) || isOwnFile(item, url) ? Handling::Open : Handling::AskFirst;
}

bool LinkOpener::open(const Item &item)
{
    const std::optional<QUrl> url = linkOf(item);
    if (!url)
        return false;
    if (handlingOf(item, *url) == Handling::AskFirst && !confirm(*url))
        return false;
    return m_open(*url);
}

bool LinkOpener::confirm(const QUrl &url)
{
    const QString scheme = DisplayText::bounded(url.scheme(), 40);
    QMessageBox box(QMessageBox::Question, QStringLiteral("Open Link"),
                    QStringLiteral("Open this %1: link?").arg(scheme), QMessageBox::NoButton,
                    m_parent);
    box.setObjectName(QStringLiteral("openLinkQuestion"));
    box.setInformativeText(
        QStringLiteral("%1\n\nIt will be handed to another program on this computer. Open it "
                       "only if you trust where it came from.")
            .arg(DisplayText::bounded(url.toDisplayString())));
    DisplayText::makePlain(box);
    QPushButton *open = box.addButton(QStringLiteral("Open"), QMessageBox::AcceptRole);
    QPushButton *cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    m_runSheet(box);
    return box.clickedButton() == open;
}

} // namespace quillory

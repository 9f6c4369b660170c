#include <views/window/LinkOpener.h>

#include <views/widgets/DisplayText.h>
#include <views/widgets/SheetRunner.h>

#include <inbox/InboxLayout.h>
#include <model/Item.h>
#include <model/ItemType.h>

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QSet>

using namespace Qt::StringLiterals;

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

// Documents and pictures whose usual programs only show them. A page, a script or a
// drawing that can carry one (.html, .svg, .sh, .desktop) may act when opened, and the
// item's kind and the file's name are both whatever an imported library or record says.
bool isInertKind(const QFileInfo &file)
{
    static const QSet<QString> inert = {
        u"pdf"_s,  u"txt"_s,  u"md"_s,   u"rtf"_s,  u"odt"_s,  u"ods"_s,  u"odp"_s,  u"doc"_s,
        u"docx"_s, u"xls"_s,  u"xlsx"_s, u"ppt"_s,  u"pptx"_s, u"epub"_s, u"csv"_s,  u"png"_s,
        u"jpg"_s,  u"jpeg"_s, u"gif"_s,  u"webp"_s, u"bmp"_s,  u"tif"_s,  u"tiff"_s, u"heic"_s};
    return inert.contains(file.suffix().toLower());
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
    return type != ItemType::WebLink && type == ItemType::detect(url) && isInertKind(file);
}

} // namespace

LinkOpener::LinkOpener(QWidget *parent, const SheetRunner &sheets)
    : m_parent(parent), m_sheets(sheets),
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

bool LinkOpener::openAddress(const QUrl &url)
{
    if (!url.isValid() || (!isWebPage(url) && !confirm(url)))
        return false;
    return m_open(url);
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
    m_sheets.run(box);
    return box.clickedButton() == open;
}

} // namespace quillory

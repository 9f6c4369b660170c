#pragma once

#include <QUrl>
#include <functional>
#include <optional>

class QWidget;

namespace quillory {

class Item;
class SheetRunner;

// Hands an item's link to the desktop, the one place every window, menu and key opens one
// through. A record, an import or a copied library may carry a link of any scheme, and the
// desktop passes each to whatever program claims it: web pages open at once, and so does
// the file of a file item the library stored; any other link is shown first and opened only
// when the person agrees.
class LinkOpener final
{
public:
    enum class Handling { Open, AskFirst };
    using Opener = std::function<bool(const QUrl &)>;

    // The question is shown over `parent` through `sheets`, which tests answer.
    LinkOpener(QWidget *parent, const SheetRunner &sheets);

    // The item's address, when it parses.
    static std::optional<QUrl> linkOf(const Item &item);
    // http and https open at once. A file link does when it names a regular file that is not
    // a program: one the share inbox keeps (in its "Imported" folder) for a document or
    // picture item, or one whose name makes its item the kind it is, as adding a file from
    // disk does. Anything else asks: another scheme, a file named by a web link, a program.
    static Handling handlingOf(const Item &item, const QUrl &url);

    // Opens the item's link, asking first when handlingOf says so. True when it was handed
    // over.
    bool open(const Item &item);
    // Opens a link found in a page's text: a web page at once, anything else (a mail
    // address) only when the person agrees.
    bool openAddress(const QUrl &url);

    // The desktop's opener unless tests put something in its place, so nothing is launched.
    void setOpener(Opener opener) { m_open = std::move(opener); }

private:
    bool confirm(const QUrl &url);

    QWidget *m_parent;
    const SheetRunner &m_sheets;
    Opener m_open;
};

} // namespace quillory

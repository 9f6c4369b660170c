#pragma once

#include <QString>
#include <optional>

class QMessageBox;

namespace quillory {

class Item;

// How user text (titles, notes, names, addresses) is put on screen. Laying out text costs
// time in step with its length, and a stored value may be megabytes long, so every view
// shows at most a bounded prefix; and user text is never read as markup or as a menu's
// keyboard accelerator.
class DisplayText final
{
public:
    // One line: rows, cards, menus, buttons, window titles, alerts.
    static constexpr qsizetype lineLimit = 400;
    // Wrapped text in the detail column: a title, and a note, almost always in full.
    static constexpr qsizetype titleLimit = 2000;
    static constexpr qsizetype blockLimit = 20000;

    // The text, or its first `limit` characters followed by an ellipsis.
    static QString bounded(const QString &text, qsizetype limit = lineLimit);
    // For menu entries and button labels, where '&' would mark an accelerator.
    static QString forMenu(const QString &text);
    // A tooltip that shows the text as it is (tooltips read anything tag-like as markup).
    static QString toolTip(const QString &text);
    // Where an item comes from, as cards, rows and the detail show it: the site of a link,
    // or the name a shared file had (the stored name carries a prefix that keeps it unique).
    static std::optional<QString> source(const Item &item);
    // Both the text and the informative text of an alert shown as plain text.
    static void makePlain(QMessageBox &box);
};

} // namespace quillory

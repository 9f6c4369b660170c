#include <views/widgets/DisplayText.h>

#include <inbox/InboxLayout.h>
#include <model/BoundedText.h>
#include <model/Item.h>

#include <QLabel>
#include <QMessageBox>
#include <QUrl>

namespace quillory {

QString DisplayText::bounded(const QString &text, qsizetype limit)
{
    return BoundedText::of(text, limit);
}

std::optional<QString> DisplayText::source(const Item &item)
{
    std::optional<QString> domain = item.sourceDomain();
    if (!domain)
        return domain;
    // Painted for every card on screen: the cheap test of the name comes first.
    QString shared = InboxLayout::sharedFileName(*domain);
    if (shared.size() == domain->size())
        return domain;
    const QUrl url(item.urlString().value_or(QString()));
    if (url.isLocalFile() && url.fileName() == *domain)
        return shared;
    return domain;
}

QString DisplayText::forMenu(const QString &text)
{
    QString shown = bounded(text);
    shown.replace(QLatin1Char('&'), QLatin1String("&&"));
    return shown;
}

QString DisplayText::toolTip(const QString &text)
{
    return QStringLiteral("<p style=\"white-space:pre-wrap\">") + bounded(text).toHtmlEscaped() +
           QStringLiteral("</p>");
}

void DisplayText::makePlain(QMessageBox &box)
{
    box.setTextFormat(Qt::PlainText);
    // The informative text has a label of its own that guesses its format.
    for (QLabel *label : box.findChildren<QLabel *>()) {
        if (label->objectName() == QLatin1String("qt_msgbox_informativelabel") ||
            label->objectName() == QLatin1String("qt_msgbox_label"))
            label->setTextFormat(Qt::PlainText);
    }
}

} // namespace quillory

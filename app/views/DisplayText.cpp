#include "DisplayText.h"

#include <BoundedText.h>

#include <QLabel>
#include <QMessageBox>

namespace quillory {

QString DisplayText::bounded(const QString &text, qsizetype limit)
{
    return BoundedText::of(text, limit);
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

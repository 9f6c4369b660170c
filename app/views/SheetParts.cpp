#include "SheetParts.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillory {

QLabel *SheetParts::sectionTitle(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

QVBoxLayout *SheetParts::section(const QString &title, QWidget *content, QWidget *buddy)
{
    auto *layout = new QVBoxLayout;
    layout->setSpacing(8);
    QLabel *label = sectionTitle(title, content->parentWidget());
    if (buddy != nullptr)
        label->setBuddy(buddy);
    layout->addWidget(label);
    layout->addWidget(content);
    return layout;
}

SheetParts::Buttons SheetParts::addButtons(QDialog &sheet, QVBoxLayout &layout,
                                           const QString &confirmText)
{
    auto *box = new QDialogButtonBox(&sheet);
    QPushButton *cancel = box->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancel"));
    cancel->setAutoDefault(false);
    QPushButton *confirm = box->addButton(confirmText, QDialogButtonBox::AcceptRole);
    confirm->setObjectName(QStringLiteral("confirm"));
    confirm->setDefault(true);
    QObject::connect(box, &QDialogButtonBox::rejected, &sheet, &QDialog::reject);
    layout.addWidget(box);
    return {cancel, confirm};
}

} // namespace quillory

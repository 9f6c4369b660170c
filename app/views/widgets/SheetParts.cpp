#include <views/widgets/SheetParts.h>

#include <views/widgets/DisplayText.h>

#include <model/LibraryStore.h>
#include <util/BackgroundWork.h>

#include <QAbstractButton>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillory {

QLabel *SheetParts::headline(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    QFont font = label->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.15);
    label->setFont(font);
    return label;
}

QLabel *SheetParts::footnote(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 0.9);
    label->setFont(font);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

QMessageBox *SheetParts::showErrorAlert(QWidget &parent, const QString &message)
{
    auto *alert = new QMessageBox(QMessageBox::Warning, QStringLiteral("Error"),
                                  DisplayText::bounded(message), QMessageBox::Ok, &parent);
    alert->setObjectName(QStringLiteral("errorAlert"));
    DisplayText::makePlain(*alert);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setWindowModality(Qt::WindowModal);
    alert->open();
    return alert;
}

void SheetParts::runSecurityStep(QDialog &sheet, std::function<std::optional<SecurityError>()> step,
                                 std::function<void(const QString &)> finished)
{
    BackgroundWork::run<std::optional<SecurityError>>(
        &sheet, std::move(step),
        [&sheet, finished = std::move(finished)](std::optional<SecurityError> error) {
            const QString message = error ? error->errorDescription() : QString();
            finished(message);
            if (error)
                showErrorAlert(sheet, message);
            else
                sheet.accept();
        });
}

QLabel *SheetParts::sectionTitle(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    // A title can be the user's text, such as an address: never read as markup.
    label->setTextFormat(Qt::PlainText);
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

void SheetParts::closeWhenRemoved(QDialog &sheet, LibraryStore &store, RecordKind kind,
                                  const QUuid &id)
{
    QObject::connect(&store, &LibraryStore::recordsAboutToBeRemoved, &sheet,
                     [&sheet, kind, id](RecordKind removedKind, const QList<Record *> &records) {
                         if (removedKind != kind)
                             return;
                         for (const Record *r : records) {
                             if (r->id() == id) {
                                 sheet.reject();
                                 return;
                             }
                         }
                     });
}

void SheetParts::paintRowHighlight(QAbstractButton &row)
{
    if (!row.isDown() && !row.underMouse() && !row.hasFocus())
        return;
    QPainter painter(&row);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill = row.palette().color(QPalette::Highlight);
    fill.setAlphaF(row.isDown() ? 0.18f : 0.08f);
    painter.setPen(row.hasFocus() ? QPen(row.palette().color(QPalette::Highlight), 1) : Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(QRectF(row.rect()).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
}

} // namespace quillory

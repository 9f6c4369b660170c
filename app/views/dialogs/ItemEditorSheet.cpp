#include <views/dialogs/ItemEditorSheet.h>

#include <views/widgets/SheetParts.h>

#include <model/Clock.h>
#include <model/Item.h>
#include <model/LibraryStore.h>

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillory {

namespace {

bool parsesAsUrl(const QString &text)
{
    return !text.isEmpty() && QUrl(text, QUrl::StrictMode).isValid();
}

} // namespace

ItemEditorSheet::ItemEditorSheet(LibraryStore &store, Item &item, QWidget *parent)
    : QDialog(parent), m_store(store), m_itemId(item.id()), m_title(new QLineEdit(this)),
      m_note(new QPlainTextEdit(this))
{
    setWindowModality(Qt::WindowModal);
    setWindowTitle(QStringLiteral("Edit Item"));
    setMinimumWidth(460);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 16);
    layout->setSpacing(8);

    layout->addWidget(SheetParts::sectionTitle(QStringLiteral("Title"), this));
    m_title->setPlaceholderText(QStringLiteral("Title"));
    m_title->setObjectName(QStringLiteral("title"));
    m_title->setText(item.title());
    m_shownTitle = m_title->text(); // a field holds at most 32767 characters
    layout->addWidget(m_title);

    const std::optional<QString> address = item.urlString();
    if (address && parsesAsUrl(*address)) {
        layout->addSpacing(10);
        layout->addWidget(SheetParts::sectionTitle(QStringLiteral("URL"), this));
        m_url = new QLineEdit(*address, this);
        m_url->setPlaceholderText(QStringLiteral("URL"));
        m_url->setObjectName(QStringLiteral("url"));
        m_shownUrl = m_url->text();
        layout->addWidget(m_url);
    }

    layout->addSpacing(10);
    layout->addWidget(SheetParts::sectionTitle(QStringLiteral("Note"), this));
    m_note->setObjectName(QStringLiteral("note"));
    m_note->setMinimumHeight(100);
    m_note->setPlainText(item.note().value_or(QString()));
    layout->addWidget(m_note, 1);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *cancel =
        buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancel"));
    cancel->setAutoDefault(false);
    m_save = buttons->addButton(QStringLiteral("Save"), QDialogButtonBox::AcceptRole);
    m_save->setObjectName(QStringLiteral("save"));
    m_save->setDefault(true);
    layout->addSpacing(6);
    layout->addWidget(buttons);

    const auto updateSave = [this] { m_save->setEnabled(!m_title->text().isEmpty()); };
    connect(m_title, &QLineEdit::textChanged, this, updateSave);
    updateSave();
    connect(buttons, &QDialogButtonBox::accepted, this, &ItemEditorSheet::save);
    connect(buttons, &QDialogButtonBox::rejected, this, &ItemEditorSheet::reject);
    SheetParts::closeWhenRemoved(*this, store, RecordKind::Item, m_itemId);
    m_title->setFocus();
}

void ItemEditorSheet::save()
{
    Item *item = m_store.item(m_itemId);
    if (item == nullptr || m_title->text().isEmpty())
        return;
    // An untouched title stays whole even where the field could not hold all of it.
    if (m_title->text() != m_shownTitle)
        item->setTitle(m_title->text());
    const QString note = m_note->toPlainText();
    item->setNote(note.isEmpty() ? std::nullopt : std::optional<QString>(note));
    // An emptied or unreadable link keeps the old one rather than losing it.
    if (m_url != nullptr && m_url->text() != m_shownUrl && parsesAsUrl(m_url->text())) {
        const QUrl url(m_url->text(), QUrl::StrictMode);
        item->setUrlString(url.toString(QUrl::FullyEncoded));
        item->setSourceDomain(url.host().isEmpty() ? std::nullopt
                                                   : std::optional<QString>(url.host()));
    }
    item->setModifiedAt(Clock::now());
    accept();
}

} // namespace quillory

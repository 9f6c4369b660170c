#include <views/dialogs/TagEditorSheet.h>

#include <views/widgets/ClearButton.h>
#include <views/widgets/SheetParts.h>

#include <views/widgets/ColorPickerGrid.h>

#include <model/Clock.h>
#include <model/HexColor.h>
#include <model/LibraryStore.h>
#include <model/Tag.h>
#include <state/AppInfo.h>

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillory {

TagEditorSheet::TagEditorSheet(LibraryStore &store, Tag *tag, QWidget *parent)
    : QDialog(parent), m_store(store), m_creating(tag == nullptr),
      m_tagId(tag != nullptr ? tag->id() : QUuid())
{
    setWindowModality(Qt::WindowModal);
    setWindowTitle(m_creating ? tr("New Tag") : tr("Edit Tag"));
    setMinimumWidth(400);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 16);
    layout->setSpacing(20);
    layout->addWidget(buildForm());
    layout->addStretch(1);

    const SheetParts::Buttons buttons =
        SheetParts::addButtons(*this, *layout, m_creating ? tr("Create") : tr("Save"));
    m_confirm = buttons.confirm;

    // fromHex reads unreadable colour text as the standard blue.
    m_colorPicker->setSelectedColor(tag != nullptr ? HexColor::fromHex(tag->colorHex())
                                                   : AppInfo::colorPalette().first());
    if (tag != nullptr)
        m_name->setText(tag->name());
    m_shownName = m_name->text(); // a field holds at most 32767 characters
    updateConfirm();

    connect(m_name, &QLineEdit::textChanged, this, &TagEditorSheet::updateConfirm);
    connect(m_confirm, &QPushButton::clicked, this, &TagEditorSheet::save);
    if (!m_creating)
        SheetParts::closeWhenRemoved(*this, m_store, RecordKind::Tag, m_tagId);
    m_name->setFocus();
}

TagEditorSheet::~TagEditorSheet() = default;

QString TagEditorSheet::name() const
{
    return m_name->text();
}

QColor TagEditorSheet::color() const
{
    return m_colorPicker->selectedColor();
}

QWidget *TagEditorSheet::buildForm()
{
    auto *form = new QWidget(this);
    m_name = new QLineEdit(form);
    m_name->setObjectName(QStringLiteral("name"));
    m_name->setPlaceholderText(tr("Name"));
    m_name->setAccessibleName(tr("Name"));
    ClearButton::enable(*m_name);
    m_colorPicker = new ColorPickerGrid(AppInfo::colorPalette(), form);
    m_colorPicker->setObjectName(QStringLiteral("colorPicker"));
    m_colorPicker->setAccessibleName(tr("Color"));

    auto *layout = new QVBoxLayout(form);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(20);
    layout->addLayout(SheetParts::section(tr("Tag Name"), m_name, m_name));
    layout->addLayout(SheetParts::section(tr("Color"), m_colorPicker, m_colorPicker));
    return form;
}

void TagEditorSheet::updateConfirm()
{
    // Only an empty name is refused; spaces are a name like any other.
    m_confirm->setEnabled(!m_name->text().isEmpty());
}

void TagEditorSheet::save()
{
    if (m_name->text().isEmpty())
        return;
    if (m_creating) {
        m_saved = m_store.insert(std::make_unique<Tag>(m_name->text(), color()));
    } else {
        Tag *tag = m_store.tag(m_tagId);
        if (tag == nullptr) {
            reject();
            return;
        }
        if (m_name->text() != m_shownName)
            tag->setName(m_name->text());
        tag->setColorHex(HexColor::toHexOrDefault(color()));
        tag->setModifiedAt(Clock::now());
        m_saved = tag;
    }
    accept();
}

} // namespace quillory

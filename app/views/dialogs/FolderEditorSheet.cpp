#include <views/dialogs/FolderEditorSheet.h>

#include <views/widgets/ClearButton.h>
#include <views/widgets/DisplayText.h>
#include <views/widgets/SheetParts.h>

#include <views/widgets/ColorPickerGrid.h>
#include <views/widgets/IconPickerGrid.h>
#include <views/widgets/SymbolIcon.h>

#include <model/Clock.h>
#include <model/Folder.h>
#include <model/HexColor.h>
#include <model/LibraryStore.h>
#include <state/AppInfo.h>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QVBoxLayout>
#include <algorithm>

namespace quillory {

namespace {

constexpr int previewSize = 24;

} // namespace

FolderEditorSheet::FolderEditorSheet(LibraryStore &store, Folder *folder, QWidget *parent)
    : QDialog(parent), m_store(store), m_creating(folder == nullptr),
      m_folderId(folder != nullptr ? folder->id() : QUuid())
{
    setWindowModality(Qt::WindowModal);
    setWindowTitle(m_creating ? tr("New Folder") : tr("Edit Folder"));
    setMinimumWidth(420);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 16);
    layout->setSpacing(20);
    layout->addWidget(buildForm());
    layout->addStretch(1);

    const SheetParts::Buttons buttons =
        SheetParts::addButtons(*this, *layout, m_creating ? tr("Create") : tr("Save"));
    m_confirm = buttons.confirm;

    m_iconPicker->setSelectedIcon(folder != nullptr ? folder->iconName()
                                                    : QStringLiteral("folder"));
    m_colorPicker->setSelectedColor(folder != nullptr ? HexColor::fromHex(folder->colorHex())
                                                      : AppInfo::colorPalette().first());
    if (folder != nullptr)
        m_name->setText(folder->name());
    m_shownName = m_name->text(); // a field holds at most 32767 characters
    fillParents(folder, folder != nullptr ? folder->parent() : nullptr);
    updatePreview();
    updateConfirm();

    connect(m_name, &QLineEdit::textChanged, this, &FolderEditorSheet::updateConfirm);
    connect(m_iconPicker, &IconPickerGrid::selectedIconChanged, this,
            &FolderEditorSheet::updatePreview);
    connect(m_colorPicker, &ColorPickerGrid::selectedColorChanged, this,
            &FolderEditorSheet::updatePreview);
    connect(m_confirm, &QPushButton::clicked, this, &FolderEditorSheet::save);
    connect(&m_store, &LibraryStore::recordsAboutToBeRemoved, this,
            [this](RecordKind kind, const QList<Record *> &records) {
                if (kind != RecordKind::Folder)
                    return;
                QList<QUuid> ids;
                for (const Record *r : records)
                    ids.append(r->id());
                onFoldersAboutToBeRemoved(ids);
            });
    m_name->setFocus();
}

FolderEditorSheet::~FolderEditorSheet() = default;

std::vector<Folder *> FolderEditorSheet::allowedParents(const std::vector<Folder *> &allFolders,
                                                        const Folder *editing)
{
    QSet<QUuid> excluded;
    if (editing != nullptr) {
        excluded.insert(editing->id());
        for (const Folder *descendant : editing->allDescendants())
            excluded.insert(descendant->id());
    }
    std::vector<Folder *> result;
    for (Folder *f : allFolders) {
        if (f->parent() == nullptr && !excluded.contains(f->id()))
            result.push_back(f);
    }
    std::stable_sort(result.begin(), result.end(), [](const Folder *a, const Folder *b) {
        if (a->sortOrder() != b->sortOrder())
            return a->sortOrder() < b->sortOrder();
        return a->sequence() < b->sequence();
    });
    return result;
}

QString FolderEditorSheet::name() const
{
    return m_name->text();
}

QString FolderEditorSheet::iconName() const
{
    return m_iconPicker->selectedIcon();
}

QColor FolderEditorSheet::color() const
{
    return m_colorPicker->selectedColor();
}

Folder *FolderEditorSheet::selectedParent() const
{
    const QVariant id = m_parent->currentData();
    return id.isValid() ? m_store.folder(id.toUuid()) : nullptr;
}

QWidget *FolderEditorSheet::buildForm()
{
    auto *form = new QWidget(this);

    m_name = new QLineEdit(form);
    m_name->setObjectName(QStringLiteral("name"));
    m_name->setPlaceholderText(tr("Name"));
    m_name->setAccessibleName(tr("Name"));
    ClearButton::enable(*m_name);
    m_preview = new QLabel(form);
    m_preview->setFixedSize(previewSize + 8, previewSize + 8);
    m_preview->setAlignment(Qt::AlignCenter);
    auto *nameRow = new QWidget(form);
    auto *nameLayout = new QHBoxLayout(nameRow);
    nameLayout->setContentsMargins(0, 0, 0, 0);
    nameLayout->setSpacing(8);
    nameLayout->addWidget(m_preview);
    nameLayout->addWidget(m_name, 1);

    m_iconPicker = new IconPickerGrid(IconPickerGrid::folderIcons(), form);
    m_iconPicker->setObjectName(QStringLiteral("iconPicker"));
    m_iconPicker->setAccessibleName(tr("Icon"));
    m_colorPicker = new ColorPickerGrid(AppInfo::colorPalette(), form);
    m_colorPicker->setObjectName(QStringLiteral("colorPicker"));
    m_colorPicker->setAccessibleName(tr("Color"));
    m_parent = new QComboBox(form);
    m_parent->setObjectName(QStringLiteral("parent"));
    m_parent->setAccessibleName(tr("Parent"));

    auto *layout = new QVBoxLayout(form);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(20);
    layout->addLayout(SheetParts::section(tr("Folder Name"), nameRow, m_name));
    layout->addLayout(SheetParts::section(tr("Icon"), m_iconPicker, m_iconPicker));
    layout->addLayout(SheetParts::section(tr("Color"), m_colorPicker, m_colorPicker));
    layout->addLayout(SheetParts::section(tr("Parent Folder"), m_parent, m_parent));
    return form;
}

void FolderEditorSheet::fillParents(const Folder *editing, const Folder *currentParent)
{
    m_parent->addItem(tr("None (Root)"));
    for (const Folder *f : allowedParents(m_store.folders(), editing))
        m_parent->addItem(SymbolIcon::icon(f->iconName()), DisplayText::bounded(f->name()),
                          QVariant::fromValue(f->id()));
    if (currentParent == nullptr)
        return;
    int index = m_parent->findData(QVariant::fromValue(currentParent->id()));
    if (index < 0) {
        // A nested parent is not offered as a choice, but saving untouched must keep it.
        index = 1;
        m_parent->insertItem(index, SymbolIcon::icon(currentParent->iconName()),
                             DisplayText::bounded(currentParent->name()),
                             QVariant::fromValue(currentParent->id()));
        m_parent->setItemData(index, tr("Current parent"), Qt::ToolTipRole);
    }
    m_parent->setCurrentIndex(index);
}

void FolderEditorSheet::updatePreview()
{
    const QColor tint = m_colorPicker->selectedColor().isValid()
                            ? m_colorPicker->selectedColor()
                            : HexColor::fromHex(HexColor::defaultHex);
    const QString icon = m_iconPicker->selectedIcon();
    m_preview->setPixmap(
        IconPickerGrid::isTintable(icon)
            ? SymbolIcon::tinted(icon, tint, previewSize, devicePixelRatioF())
            : SymbolIcon::icon(icon).pixmap(QSize(previewSize, previewSize), devicePixelRatioF()));
}

void FolderEditorSheet::updateConfirm()
{
    // Only an empty name is refused; spaces are a name like any other.
    m_confirm->setEnabled(!m_name->text().isEmpty());
}

void FolderEditorSheet::save()
{
    if (m_name->text().isEmpty())
        return;
    Folder *parent = selectedParent();
    if (m_creating) {
        m_saved =
            m_store.insert(std::make_unique<Folder>(m_name->text(), iconName(), color(), parent));
    } else {
        Folder *folder = m_store.folder(m_folderId);
        if (folder == nullptr) {
            reject();
            return;
        }
        if (m_name->text() != m_shownName)
            folder->setName(m_name->text());
        folder->setIconName(iconName());
        folder->setColorHex(HexColor::toHexOrDefault(color()));
        folder->setParent(parent);
        folder->setModifiedAt(Clock::now());
        m_saved = folder;
    }
    accept();
}

void FolderEditorSheet::onFoldersAboutToBeRemoved(const QList<QUuid> &ids)
{
    if (!m_creating && ids.contains(m_folderId)) {
        reject();
        return;
    }
    // Removing the chosen entry would quietly choose the next folder instead; with its
    // parent gone, the folder is offered at the root, where the user can see it.
    const bool chosenGone = ids.contains(m_parent->currentData().toUuid());
    for (int i = m_parent->count() - 1; i > 0; --i) {
        if (ids.contains(m_parent->itemData(i).toUuid()))
            m_parent->removeItem(i);
    }
    if (chosenGone)
        m_parent->setCurrentIndex(0);
}

} // namespace quillory

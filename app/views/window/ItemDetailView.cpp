#include <views/window/ItemDetailView.h>

#include <views/dialogs/TagPickerSheet.h>
#include <views/widgets/DisplayText.h>
#include <views/widgets/FlowLayout.h>
#include <views/widgets/SheetParts.h>
#include <views/widgets/SheetRunner.h>
#include <views/widgets/SymbolIcon.h>
#include <views/widgets/TagChipView.h>
#include <views/window/FolderChoicesModel.h>
#include <views/window/ItemActions.h>
#include <views/window/ItemDelegate.h>
#include <views/window/LinkOpener.h>

#include <model/Clock.h>
#include <model/Folder.h>
#include <model/Item.h>
#include <model/LibraryStore.h>
#include <model/Tag.h>
#include <pages/KeptPages.h>
#include <util/BackgroundWork.h>
#include <util/ImageDecoder.h>

#include <QComboBox>
#include <QDialog>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSet>
#include <QStackedWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace quillory {

namespace {

constexpr qsizetype descriptionLimit = 1000;

// Decodes at most `bound` in size (keeping proportions, EXIF orientation applied); JPEG
// readers scale while decoding, so a large photo stays cheap to show.
QImage decodeWithin(const QByteArray &bytes, QSize bound)
{
    ImageDecoder decoder(bytes);
    const QSize size = decoder.storedSize();
    if (decoder.isTurned())
        bound.transpose();
    if (size.isValid() && (size.width() > bound.width() || size.height() > bound.height()))
        return decoder.read(size.scaled(bound, Qt::KeepAspectRatio));
    return decoder.read();
}

// The item's full image when it decodes, else its thumbnail.
QImage bestPicture(const Item &item, QSize bound)
{
    QImage image;
    if (item.hasImageData())
        image = decodeWithin(item.imageData().value_or(QByteArray()), bound);
    if (image.isNull() && item.hasThumbnailData())
        image = decodeWithin(item.thumbnailData().value_or(QByteArray()), bound);
    return image;
}

} // namespace

ItemDetailView::ItemDetailView(LibraryStore &store, const ItemActions &actions,
                               const SheetRunner &sheets, QWidget *parent)
    : QWidget(parent), m_store(store), m_actions(actions), m_sheets(sheets)
{
    build();
    // Deferred: a change often comes from one of this view's own buttons or chips, which a
    // refresh replaces and must not delete while they are still handling the click.
    m_refresh.setSingleShot(true);
    m_refresh.setInterval(0);
    connect(&m_refresh, &QTimer::timeout, this, &ItemDetailView::refresh);
    connect(&store, &LibraryStore::recordChanged, this, [this](Record *record) {
        if (record->id() == m_itemId || record->kind() != RecordKind::Item)
            m_refresh.start();
    });
    connect(&store, &LibraryStore::recordsInserted, this, [this] { m_refresh.start(); });
    connect(&store, &LibraryStore::recordsRemoved, this, [this] { m_refresh.start(); });
}

Item *ItemDetailView::item() const
{
    return m_store.item(m_itemId);
}

void ItemDetailView::setItem(Item *item)
{
    const QUuid id = item != nullptr ? item->id() : QUuid();
    const bool another = id != m_itemId;
    if (another)
        m_noteStack->setCurrentIndex(0); // each item starts out of note editing
    m_itemId = id;
    if (another) {
        m_linkBroken = false;
        updateKeptRow();
        askLinkHealth();
    }
    refresh();
}

void ItemDetailView::setKeptPages(KeptPages *pages)
{
    if (m_pages != nullptr)
        disconnect(m_pages, nullptr, this, nullptr);
    m_pages = pages;
    // A new copy comes from a new fetch, whose answer may say the page lives again.
    if (pages != nullptr)
        connect(pages, &KeptPages::kept, this, [this](const QUuid &itemId) {
            if (itemId == m_itemId)
                askLinkHealth();
        });
    askLinkHealth();
}

void ItemDetailView::askLinkHealth()
{
    if (m_pages == nullptr || m_itemId.isNull())
        return;
    m_pages->health(m_itemId, this, [this, asked = m_itemId](LinkHealth health) {
        if (asked != m_itemId)
            return;
        m_linkBroken = health.state() == LinkHealth::State::Broken;
        updateKeptRow();
    });
}

// Follows the shared action, which knows whether the item has a copy: the row changes in
// place as a copy arrives or goes.
void ItemDetailView::updateKeptRow()
{
    const QAction *read = m_actions.openKeptCopy();
    const bool readable = read->isVisible() && read->isEnabled();
    m_gone->setVisible(m_linkBroken);
    m_readKept->setVisible(readable);
    m_keptRow->setVisible(m_linkBroken || readable);
}

void ItemDetailView::build()
{
    buildToolbar();

    auto *content = new QWidget;
    auto *column = new QVBoxLayout(content);
    column->setContentsMargins(20, 16, 20, 20);
    column->setSpacing(14);

    m_picture = new QLabel(content);
    m_picture->setAlignment(Qt::AlignCenter);
    m_picture->setMinimumHeight(120);
    column->addWidget(m_picture);

    m_title = new QLabel(content);
    QFont titleFont = m_title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.35);
    titleFont.setWeight(QFont::Bold);
    m_title->setFont(titleFont);
    m_title->setWordWrap(true);
    m_title->setTextFormat(Qt::PlainText);
    m_title->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_title->setObjectName(QStringLiteral("detailTitle"));
    m_favoriteStar = new QLabel(QStringLiteral("\u2605"), content);
    m_favoriteStar->setFont(titleFont);
    m_favoriteStar->setStyleSheet(QStringLiteral("color: #FFCC00"));
    m_favoriteStar->setObjectName(QStringLiteral("favoriteStar"));
    m_favoriteStar->setAccessibleName(QStringLiteral("Favorite"));
    auto *titleRow = new QHBoxLayout;
    titleRow->addWidget(m_title, 1);
    titleRow->addWidget(m_favoriteStar, 0, Qt::AlignTop);
    column->addLayout(titleRow);

    m_link = new QPushButton(content);
    m_link->setFlat(true);
    m_link->setCursor(Qt::PointingHandCursor);
    m_link->setStyleSheet(QStringLiteral("text-align: left; color: palette(link); padding: 0;"));
    m_link->setObjectName(QStringLiteral("linkRow"));
    connect(m_link, &QPushButton::clicked, this, &ItemDetailView::followLink);
    column->addWidget(m_link);

    m_keptRow = new QWidget(content);
    auto *kept = new QHBoxLayout(m_keptRow);
    kept->setContentsMargins(0, 0, 0, 0);
    m_gone = new QLabel(QStringLiteral("This page is gone"), m_keptRow);
    m_gone->setObjectName(QStringLiteral("pageGone"));
    m_gone->setStyleSheet(QStringLiteral("color: #D70015;"));
    m_readKept = new QToolButton(m_keptRow);
    m_readKept->setObjectName(QStringLiteral("readKeptCopy"));
    m_readKept->setDefaultAction(m_actions.openKeptCopy());
    m_readKept->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    kept->addWidget(m_gone);
    kept->addWidget(m_readKept);
    kept->addStretch(1);
    column->addWidget(m_keptRow);
    connect(m_actions.openKeptCopy(), &QAction::changed, this, &ItemDetailView::updateKeptRow);

    auto *info = new QHBoxLayout;
    m_badge = new QLabel(content);
    m_badge->setObjectName(QStringLiteral("kindBadge"));
    m_added = new QLabel(content);
    m_added->setEnabled(false);
    info->addWidget(m_badge);
    info->addSpacing(8);
    info->addWidget(m_added);
    info->addStretch(1);
    column->addLayout(info);

    m_description = new QLabel(content);
    m_description->setObjectName(QStringLiteral("pageDescription"));
    m_description->setWordWrap(true);
    m_description->setTextFormat(Qt::PlainText);
    m_description->setTextInteractionFlags(Qt::TextSelectableByMouse);
    column->addWidget(m_description);
    m_byline = new QLabel(content);
    m_byline->setObjectName(QStringLiteral("pageByline"));
    m_byline->setTextFormat(Qt::PlainText);
    m_byline->setForegroundRole(QPalette::PlaceholderText);
    column->addWidget(m_byline);

    column->addWidget(buildNoteSection());
    column->addWidget(buildTagSection());

    column->addWidget(SheetParts::sectionTitle(QStringLiteral("Folder"), content));
    m_folder = new QComboBox(content);
    m_folder->setObjectName(QStringLiteral("folderPicker"));
    m_folder->setModel(new FolderChoicesModel(m_store, m_folder));
    m_folder->setAccessibleName(QStringLiteral("Folder"));
    m_folder->setEnabled(!m_store.isReadOnly());
    connect(m_folder, &QComboBox::activated, this, [this](int index) {
        Item *i = item();
        if (i == nullptr)
            return;
        const QVariant id = m_folder->itemData(index);
        if (id.isNull() || id.toUuid().isNull())
            i->moveToFolder(nullptr);
        else if (Folder *f = m_store.folder(id.toUuid()))
            i->moveToFolder(f);
    });
    column->addWidget(m_folder);
    column->addStretch(1);

    auto *scroll = new QScrollArea(this);
    scroll->setWidget(content);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_toolbar);
    layout->addWidget(scroll, 1);
}

QWidget *ItemDetailView::buildNoteSection()
{
    auto *section = new QWidget(this);
    auto *layout = new QVBoxLayout(section);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *header = new QHBoxLayout;
    header->addWidget(SheetParts::sectionTitle(QStringLiteral("Note"), section));
    header->addStretch(1);
    auto *pencil = new QToolButton(section);
    pencil->setIcon(SymbolIcon::icon(QStringLiteral("pencil")));
    pencil->setAutoRaise(true);
    pencil->setToolTip(QStringLiteral("Edit Note"));
    pencil->setAccessibleName(QStringLiteral("Edit Note"));
    pencil->setObjectName(QStringLiteral("editNote"));
    connect(pencil, &QToolButton::clicked, this, &ItemDetailView::startEditingNote);
    pencil->setVisible(!m_store.isReadOnly());
    header->addWidget(pencil);
    layout->addLayout(header);

    m_noteStack = new QStackedWidget(section);
    m_noteBody = new QLabel(m_noteStack);
    m_noteBody->setWordWrap(true);
    m_noteBody->setTextFormat(Qt::PlainText);
    m_noteBody->setCursor(Qt::IBeamCursor);
    m_noteBody->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_noteBody->setObjectName(QStringLiteral("noteBody"));
    m_noteBody->installEventFilter(this);
    m_noteStack->addWidget(m_noteBody);

    auto *editor = new QWidget(m_noteStack);
    auto *editorLayout = new QVBoxLayout(editor);
    editorLayout->setContentsMargins(0, 0, 0, 0);
    m_noteEditor = new QPlainTextEdit(editor);
    m_noteEditor->setMinimumHeight(80);
    m_noteEditor->setObjectName(QStringLiteral("noteEditor"));
    editorLayout->addWidget(m_noteEditor);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), editor);
    auto *save = new QPushButton(QStringLiteral("Save"), editor);
    save->setDefault(true);
    connect(cancel, &QPushButton::clicked, this, &ItemDetailView::cancelNote);
    connect(save, &QPushButton::clicked, this, &ItemDetailView::saveNote);
    buttons->addWidget(cancel);
    buttons->addWidget(save);
    editorLayout->addLayout(buttons);
    m_noteStack->addWidget(editor);
    layout->addWidget(m_noteStack);
    // A stack is as tall as its tallest page; let it follow the page on show instead.
    connect(m_noteStack, &QStackedWidget::currentChanged, this, [this](int current) {
        for (int i = 0; i < m_noteStack->count(); ++i)
            m_noteStack->widget(i)->setSizePolicy(QSizePolicy::Preferred,
                                                  i == current ? QSizePolicy::Preferred
                                                               : QSizePolicy::Ignored);
        m_noteStack->adjustSize();
    });
    emit m_noteStack->currentChanged(0);
    return section;
}

QWidget *ItemDetailView::buildTagSection()
{
    auto *section = new QWidget(this);
    auto *layout = new QVBoxLayout(section);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *header = new QHBoxLayout;
    header->addWidget(SheetParts::sectionTitle(QStringLiteral("Tags"), section));
    header->addStretch(1);
    auto *add = new QToolButton(section);
    add->setIcon(SymbolIcon::icon(QStringLiteral("plus.circle.fill")));
    add->setText(QStringLiteral("Add Tag"));
    add->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    add->setAutoRaise(true);
    add->setObjectName(QStringLiteral("addTag"));
    connect(add, &QToolButton::clicked, this, &ItemDetailView::openTagPicker);
    add->setVisible(!m_store.isReadOnly());
    header->addWidget(add);
    layout->addLayout(header);

    m_noTags = new QLabel(QStringLiteral("No tags"), section);
    m_noTags->setEnabled(false);
    layout->addWidget(m_noTags);
    m_chips = new QWidget(section);
    m_chipLayout = new FlowLayout(m_chips, 6);
    layout->addWidget(m_chips);
    return section;
}

bool ItemDetailView::isEditingNote() const
{
    return m_noteStack->currentIndex() == 1;
}

void ItemDetailView::startEditingNote()
{
    const Item *i = item();
    if (i == nullptr || m_store.isReadOnly())
        return;
    m_noteEditor->setPlainText(i->note().value_or(QString()));
    m_noteStack->setCurrentIndex(1);
    m_noteEditor->setFocus();
}

void ItemDetailView::saveNote()
{
    Item *i = item();
    if (i == nullptr || !isEditingNote())
        return;
    const QString text = m_noteEditor->toPlainText();
    i->setNote(text.isEmpty() ? std::nullopt : std::optional<QString>(text));
    i->setModifiedAt(Clock::now());
    m_noteStack->setCurrentIndex(0);
    m_refresh.start();
}

void ItemDetailView::cancelNote()
{
    m_noteStack->setCurrentIndex(0);
}

QString ItemDetailView::noteText() const
{
    return m_noteBody->text();
}

QStringList ItemDetailView::chipNames() const
{
    QStringList names;
    for (const TagChipView *chip : m_chipViews)
        names << chip->name();
    return names;
}

void ItemDetailView::refresh()
{
    const Item *i = item();
    setEnabled(i != nullptr);
    if (i == nullptr)
        return;
    refreshPicture(*i);
    m_title->setText(DisplayText::bounded(i->title(), DisplayText::titleLimit));
    m_favoriteStar->setVisible(i->isFavorite());
    refreshLink(*i);
    const ItemType type = i->type();
    const QColor tint = toColor(type.tint());
    m_badge->setText(type.displayName());
    m_badge->setStyleSheet(
        QStringLiteral("QLabel { color: %1; background: rgba(%2,%3,%4,26); border-radius: 6px; "
                       "padding: 2px 8px; }")
            .arg(tint.name())
            .arg(tint.red())
            .arg(tint.green())
            .arg(tint.blue()));
    m_added->setText(
        QStringLiteral("Added ") +
        QLocale().toString(i->createdAt().toLocalTime().date(), QStringLiteral("MMM d, yyyy")));
    refreshPageFacts(*i);
    refreshNote(*i);
    followTags(*i);
    refreshFolders(*i);
    m_viewFullSize->setVisible(i->hasImageData() || i->hasThumbnailData());
}

// The item's full image when it decodes, else its thumbnail, else a placeholder. The
// thumbnail is small enough to decode here at once; the full image may be a photo of tens of
// megapixels, so it is decoded on the thread pool and replaces the thumbnail when ready.
void ItemDetailView::refreshPicture(const Item &item)
{
    const QSize bound = QSize(320, 200) * devicePixelRatioF();
    const PictureKey key{item.id(), item.modifiedAtMSecs(), item.hasImageData(),
                         item.hasThumbnailData(), bound};
    if (key == m_pictureKey)
        return;
    m_pictureKey = key;
    paintPicture(item, item.hasThumbnailData()
                           ? decodeWithin(item.thumbnailData().value_or(QByteArray()), bound)
                           : QImage());
    if (!item.hasImageData())
        return;
    BackgroundWork::run<QImage>(
        this,
        [bytes = item.imageData().value_or(QByteArray()), bound] {
            return decodeWithin(bytes, bound);
        },
        [this, key](QImage image) {
            Item *shown = this->item();
            if (key == m_pictureKey && shown != nullptr && !image.isNull())
                paintPicture(*shown, image);
        });
}

void ItemDetailView::paintPicture(const Item &item, const QImage &image)
{
    const int width = 320, height = 200;
    QPixmap picture(width, height);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    if (image.isNull()) {
        ItemDelegate::paintPlaceholder(&painter, picture.rect(), item, 12);
    } else {
        const QImage scaled =
            image.scaled(picture.size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
        painter.drawImage((width - scaled.width()) / 2, (height - scaled.height()) / 2, scaled);
    }
    painter.end();
    m_picture->setPixmap(picture);
}

void ItemDetailView::refreshLink(const Item &item)
{
    const auto url = LinkOpener::linkOf(item);
    m_link->setVisible(url.has_value());
    if (!url)
        return;
    if (url->isLocalFile()) {
        m_link->setIcon(SymbolIcon::icon(QStringLiteral("folder")));
        m_link->setText(DisplayText::forMenu(fontMetrics().elidedText(
            DisplayText::bounded(url->toLocalFile()), Qt::ElideMiddle, 320)));
        m_link->setToolTip(QStringLiteral("Show in File Manager"));
    } else {
        m_link->setIcon(SymbolIcon::icon(QStringLiteral("link")));
        m_link->setText(DisplayText::forMenu(fontMetrics().elidedText(
            DisplayText::bounded(DisplayText::source(item).value_or(url->toString())),
            Qt::ElideRight, 320)));
        m_link->setToolTip(DisplayText::toolTip(url->toString()));
    }
}

// What the page said of itself when it was fetched: its description, author and date.
void ItemDetailView::refreshPageFacts(const Item &item)
{
    const std::optional<ItemMetadata> facts = item.metadata();
    const QString description =
        facts ? facts->description.value_or(QString()).trimmed() : QString();
    // A summary, and shown as one: a hostile page's essay must not push the note away.
    m_description->setText(DisplayText::bounded(description, descriptionLimit));
    m_description->setVisible(!description.isEmpty());

    QStringList parts;
    if (facts && facts->author && !facts->author->trimmed().isEmpty())
        parts << QStringLiteral("By ") + DisplayText::bounded(facts->author->simplified());
    if (facts && facts->publishDate && facts->publishDate->isValid())
        parts << QStringLiteral("Published ") +
                     QLocale().toString(facts->publishDate->toLocalTime().date(),
                                        QStringLiteral("MMM d, yyyy"));
    const QString byline = parts.join(QStringLiteral(" \u00B7 "));
    m_byline->setText(fontMetrics().elidedText(byline, Qt::ElideRight, 320));
    m_byline->setToolTip(byline.size() > m_byline->text().size() ? DisplayText::toolTip(byline)
                                                                 : QString());
    m_byline->setVisible(!byline.isEmpty());
}

void ItemDetailView::refreshNote(const Item &item)
{
    const QString note = item.note().value_or(QString());
    if (note.isEmpty()) {
        m_noteBody->setText(QStringLiteral("Click to add a note..."));
        m_noteBody->setEnabled(false);
    } else {
        m_noteBody->setText(DisplayText::bounded(note, DisplayText::blockLimit));
        m_noteBody->setEnabled(true);
    }
}

// Only the chips of tags that came or went are made or deleted: the others keep their focus
// and their place under the pointer.
void ItemDetailView::followTags(const Item &item)
{
    const QList<Tag *> tags = item.tags();
    QSet<QUuid> carried;
    for (const Tag *tag : tags)
        carried.insert(tag->id());
    for (qsizetype i = m_chipViews.size() - 1; i >= 0; --i) {
        TagChipView *chip = m_chipViews[i];
        if (carried.contains(chip->tagId()))
            continue;
        m_chipViews.removeAt(i);
        m_chipLayout->removeWidget(chip);
        // Later: the chip's own remove button may be what took its tag off.
        chip->hide();
        chip->deleteLater();
    }
    for (qsizetype at = 0; at < tags.size(); ++at) {
        const Tag &tag = *tags[at];
        qsizetype found = at;
        while (found < m_chipViews.size() && m_chipViews[found]->tagId() != tag.id())
            ++found;
        TagChipView *chip = nullptr;
        if (found < m_chipViews.size()) {
            chip = m_chipViews.takeAt(found);
            if (found != at)
                m_chipLayout->removeWidget(chip);
            chip->updateFromTag(tag);
        } else {
            chip = new TagChipView(tag, TagChipSize::Medium, m_chips);
            chip->setShowRemove(!m_store.isReadOnly());
            chip->setOnRemove([this, tagId = tag.id()] {
                Item *i = this->item();
                if (const Tag *t = m_store.tag(tagId); i != nullptr && t != nullptr)
                    i->removeTag(*t);
            });
        }
        m_chipViews.insert(at, chip);
        if (found != at || m_chipLayout->indexOf(chip) < 0) {
            m_chipLayout->insertWidget(int(at), chip);
            chip->show();
        }
    }
    m_noTags->setVisible(tags.isEmpty());
    m_chips->setVisible(!tags.isEmpty());
}

// The choices follow the folders themselves; only the choice shown follows the item.
void ItemDetailView::refreshFolders(const Item &item)
{
    // A sub-folder is not offered, so it shows as no choice at all.
    const int current = item.folder() == nullptr ? 0 : m_folder->findData(item.folder()->id());
    m_folder->setCurrentIndex(current);
}

void ItemDetailView::followLink()
{
    const Item *i = item();
    const auto url = i != nullptr ? LinkOpener::linkOf(*i) : std::nullopt;
    if (!url)
        return;
    // A file's path is shown where it lies, a web address is opened.
    (url->isLocalFile() ? m_actions.showInFileManager() : m_actions.open())->trigger();
}

void ItemDetailView::buildToolbar()
{
    m_toolbar = new QToolBar(this);
    m_toolbar->setIconSize(QSize(18, 18));
    m_toolbar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    // A library that can only be read offers what reads: opening, copying, viewing.
    if (!m_store.isReadOnly())
        m_toolbar->addAction(SymbolIcon::icon(QStringLiteral("tag")), QStringLiteral("Add Tag"),
                             this, &ItemDetailView::openTagPicker);
    m_toolbar->addAction(m_actions.open());
    m_toolbar->addAction(m_actions.copyLink());
    m_viewFullSize = m_toolbar->addAction(SymbolIcon::icon(QStringLiteral("photo")),
                                          QStringLiteral("View Full Size"), this,
                                          &ItemDetailView::showFullSizeImage);
    m_toolbar->addAction(m_actions.favorite());
    m_toolbar->addAction(m_actions.archive());
}

void ItemDetailView::openTagPicker()
{
    Item *i = item();
    if (i == nullptr)
        return;
    TagPickerSheet sheet(m_store, *i, this);
    m_sheets.run(sheet);
}

void ItemDetailView::showFullSizeImage()
{
    const Item *i = item();
    if (i == nullptr)
        return;
    const QImage image = bestPicture(*i, window()->size() * 0.9 * devicePixelRatioF());
    if (image.isNull())
        return;
    QDialog sheet(this);
    sheet.setWindowTitle(DisplayText::bounded(i->title()));
    auto *layout = new QVBoxLayout(&sheet);
    auto *close = new QToolButton(&sheet);
    close->setIcon(SymbolIcon::icon(QStringLiteral("xmark.circle.fill")));
    close->setIconSize(QSize(24, 24));
    close->setAutoRaise(true);
    close->setObjectName(QStringLiteral("close"));
    connect(close, &QToolButton::clicked, &sheet, &QDialog::accept);
    layout->addWidget(close, 0, Qt::AlignRight);
    auto *picture = new QLabel(&sheet);
    const QSize room = window()->size() * 0.9;
    picture->setPixmap(
        QPixmap::fromImage(image.width() > room.width() || image.height() > room.height()
                               ? image.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                               : image));
    picture->setAlignment(Qt::AlignCenter);
    layout->addWidget(picture, 1);
    m_sheets.run(sheet);
}

bool ItemDetailView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_noteBody && event->type() == QEvent::MouseButtonRelease) {
        startEditingNote();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace quillory

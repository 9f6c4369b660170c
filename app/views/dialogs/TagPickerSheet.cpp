#include <views/dialogs/TagPickerSheet.h>

#include <views/widgets/DisplayText.h>
#include <views/widgets/ModelRowWidgets.h>
#include <views/widgets/SheetParts.h>
#include <views/widgets/SymbolIcon.h>
#include <views/widgets/TagChipView.h>
#include <views/widgets/TagDragItem.h>

#include <model/Item.h>
#include <model/LibraryStore.h>
#include <model/LiveList.h>
#include <model/Tag.h>
#include <state/AppInfo.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QToolButton>
#include <functional>

namespace quillory {

namespace {

constexpr int checkmarkSize = 16;

QColor blue()
{
    return AppInfo::colorPalette().first();
}

QColor secondaryColor(const QWidget &widget, float alpha = 0.6f)
{
    QColor color = widget.palette().color(QPalette::WindowText);
    color.setAlphaF(alpha);
    return color;
}

QPixmap checkmark(qreal devicePixelRatio)
{
    const QString symbol = QStringLiteral("checkmark");
    if (SymbolIcon::isMonochrome(symbol))
        return SymbolIcon::tinted(symbol, blue(), checkmarkSize, devicePixelRatio);
    // Some themes answer with a full-colour check box, which cannot take the tint.
    QPixmap image(QSize(checkmarkSize, checkmarkSize) * devicePixelRatio);
    image.setDevicePixelRatio(devicePixelRatio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(blue(), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const QPointF stroke[] = {{3.0, 8.5}, {6.5, 12.0}, {13.0, 4.5}};
    painter.drawPolyline(stroke, 3);
    return image;
}

// One tag: its chip and, when the item carries it, a checkmark. Clicking (or Space) toggles
// the tag; dragging carries it.
class TagRow final : public QAbstractButton
{
public:
    TagRow(const Tag &tag, QWidget *parent) : QAbstractButton(parent)
    {
        setObjectName(QStringLiteral("tagRow"));
        // A list row, not a push button: children take the window's text colours.
        setBackgroundRole(QPalette::Window);
        setAttribute(Qt::WA_Hover);
        setCursor(Qt::PointingHandCursor);
        m_chip = new TagChipView(tag, TagChipSize::Medium, this);
        m_chip->setAttribute(Qt::WA_TransparentForMouseEvents);
        m_check = new QLabel(this);
        m_check->setObjectName(QStringLiteral("checkmark"));
        m_check->setPixmap(checkmark(devicePixelRatioF()));
        QSizePolicy keep = m_check->sizePolicy();
        keep.setRetainSizeWhenHidden(true);
        m_check->setSizePolicy(keep);
        auto *layout = new QHBoxLayout(this);
        layout->setContentsMargins(8, 6, 10, 6);
        layout->addWidget(m_chip);
        layout->addStretch(1);
        layout->addWidget(m_check);
    }

    QUuid tagId() const { return m_chip->tagId(); }
    TagChipView &chip() const { return *m_chip; }

    void setState(const Tag &tag, bool checked)
    {
        m_chip->updateFromTag(tag);
        m_check->setVisible(checked);
        setAccessibleName(DisplayText::bounded(tag.name()));
        setAccessibleDescription(checked ? TagPickerSheet::tr("Selected") : QString());
    }

    std::function<void()> onDrag;

protected:
    void mousePressEvent(QMouseEvent *event) override
    {
        m_pressPosition = event->position().toPoint();
        QAbstractButton::mousePressEvent(event);
    }

    void mouseMoveEvent(QMouseEvent *event) override
    {
        if (isDown() && (event->position().toPoint() - m_pressPosition).manhattanLength() >=
                            QApplication::startDragDistance()) {
            setDown(false); // a drag is no click
            if (onDrag)
                onDrag();
            return;
        }
        QAbstractButton::mouseMoveEvent(event);
    }

    void paintEvent(QPaintEvent *) override { SheetParts::paintRowHighlight(*this); }

private:
    TagChipView *m_chip;
    QLabel *m_check;
    QPoint m_pressPosition;
};

// A dashed box that takes tags dropped on it.
class DropZone final : public QWidget
{
public:
    explicit DropZone(QWidget *parent) : QWidget(parent)
    {
        setObjectName(QStringLiteral("dropZone"));
        setAcceptDrops(true);
        auto *icon = new QLabel(this);
        icon->setAlignment(Qt::AlignCenter);
        icon->setPixmap(SymbolIcon::tinted(QStringLiteral("arrow.down.circle.dashed"),
                                           secondaryColor(*this), 22, devicePixelRatioF()));
        auto *text = new QLabel(TagPickerSheet::tr("Drag a tag here to add it"), this);
        text->setObjectName(QStringLiteral("dropHelp"));
        text->setAlignment(Qt::AlignCenter);
        text->setWordWrap(true);
        QPalette palette = text->palette();
        palette.setColor(QPalette::WindowText, secondaryColor(*text));
        text->setPalette(palette);
        QFont font = text->font();
        font.setPointSizeF(font.pointSizeF() * 0.85);
        text->setFont(font);
        auto *layout = new QVBoxLayout(this);
        layout->setContentsMargins(12, 12, 12, 12);
        layout->setSpacing(4);
        layout->addWidget(icon);
        layout->addWidget(text);
    }

    std::function<bool(const QMimeData &)> onDrop;

protected:
    // Accepting the enter event also accepts the moves that follow it.
    void dragEnterEvent(QDragEnterEvent *event) override
    {
        if (!event->mimeData()->hasFormat(TagDragItem::mimeType))
            return event->ignore();
        event->acceptProposedAction();
        setTargeted(true);
    }

    void dragLeaveEvent(QDragLeaveEvent *) override { setTargeted(false); }

    void dropEvent(QDropEvent *event) override
    {
        setTargeted(false);
        event->setDropAction(Qt::CopyAction);
        event->setAccepted(onDrop && onDrop(*event->mimeData()));
    }

    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QColor accent = palette().color(QPalette::Highlight);
        painter.setPen(QPen(m_targeted ? accent : secondaryColor(*this, 0.35f), 1.5, Qt::DashLine));
        accent.setAlphaF(0.12f);
        painter.setBrush(m_targeted ? QBrush(accent) : QBrush(Qt::NoBrush));
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 8, 8);
    }

private:
    void setTargeted(bool targeted)
    {
        m_targeted = targeted;
        update();
    }

    bool m_targeted = false;
};

} // namespace

TagPickerSheet::TagPickerSheet(LibraryStore &store, Item &item, QWidget *parent)
    : QDialog(parent), m_store(store), m_item(&item), m_tags(LiveList::tagsBySortOrder(store))
{
    setWindowModality(Qt::WindowModal);
    setWindowTitle(tr("Tags"));
    setMinimumSize(320, 400);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(12);
    layout->addWidget(buildHeader());
    auto *dropZone = new DropZone(this);
    dropZone->onDrop = [this](const QMimeData &mime) { return dropPayload(mime); };
    m_dropZone = dropZone;
    layout->addWidget(m_dropZone);
    layout->addWidget(buildList(), 1);

    // Rows follow m_tags; what they show beyond the tag is whether the item carries it.
    connect(&m_store, &LibraryStore::recordChanged, this, [this](Record *record) {
        if (record == m_item)
            m_rows->showAll();
    });
    connect(&m_store, &LibraryStore::recordsAboutToBeRemoved, this,
            [this](RecordKind kind, const QList<Record *> &records) {
                if (kind == RecordKind::Item && m_item != nullptr && records.contains(m_item)) {
                    m_item = nullptr;
                    reject();
                }
            });
}

TagPickerSheet::~TagPickerSheet() = default;

QWidget *TagPickerSheet::buildHeader()
{
    auto *header = new QWidget(this);
    auto *title = new QLabel(tr("Tags"), header);
    QFont titleFont = title->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.15);
    title->setFont(titleFont);
    m_newTag = new QToolButton(header);
    m_newTag->setObjectName(QStringLiteral("newTag"));
    m_newTag->setIcon(SymbolIcon::icon(QStringLiteral("plus")));
    m_newTag->setCheckable(true);
    m_newTag->setAutoRaise(true);
    m_newTag->setToolTip(tr("New Tag"));
    m_newTag->setAccessibleName(tr("New Tag"));
    connect(m_newTag, &QToolButton::toggled, this, &TagPickerSheet::setNewTagRowShown);
    auto *done = new QPushButton(tr("Done"), header);
    done->setObjectName(QStringLiteral("done"));
    connect(done, &QPushButton::clicked, this, &TagPickerSheet::accept);

    m_newTagRow = new QWidget(header);
    m_tagName = new QLineEdit(m_newTagRow);
    m_tagName->setObjectName(QStringLiteral("tagName"));
    m_tagName->setPlaceholderText(tr("Tag name"));
    m_tagName->setAccessibleName(tr("Tag name"));
    m_add = new QPushButton(tr("Add"), m_newTagRow);
    m_add->setObjectName(QStringLiteral("add"));
    m_add->setEnabled(false);
    // Neither button is a default: Return in the name field must not add or close.
    for (QPushButton *button : {done, m_add})
        button->setAutoDefault(false);
    connect(m_tagName, &QLineEdit::textChanged, this,
            [this](const QString &text) { m_add->setEnabled(!text.isEmpty()); });
    connect(m_add, &QPushButton::clicked, this, &TagPickerSheet::addNewTag);
    auto *addLayout = new QHBoxLayout(m_newTagRow);
    addLayout->setContentsMargins(0, 0, 0, 0);
    addLayout->addWidget(m_tagName, 1);
    addLayout->addWidget(m_add);
    m_newTagRow->hide();

    auto *layout = new QGridLayout(header);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setHorizontalSpacing(8);
    layout->setVerticalSpacing(12);
    layout->setColumnStretch(1, 1);
    layout->addWidget(title, 0, 0);
    layout->addWidget(m_newTag, 0, 2);
    layout->addWidget(done, 0, 3);
    layout->addWidget(m_newTagRow, 1, 0, 1, 4);
    return header;
}

QWidget *TagPickerSheet::buildList()
{
    auto *scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto *content = new QWidget(scroll);
    auto *rowsLayout = new QVBoxLayout(content);
    rowsLayout->setContentsMargins(0, 0, 0, 0);
    rowsLayout->setSpacing(2);
    rowsLayout->addStretch(1);
    scroll->setWidget(content);
    m_rows = new ModelRowWidgets(
        *m_tags, *rowsLayout,
        [this](const QModelIndex &index, QWidget *parent) { return makeRow(index, parent); },
        [this](QWidget &row, const QModelIndex &index) { showRow(row, index); }, this);
    m_dropZone->setVisible(m_rows->count() > 0);
    connect(m_rows, &ModelRowWidgets::countChanged, m_dropZone,
            [this](int count) { m_dropZone->setVisible(count > 0); });
    return scroll;
}

void TagPickerSheet::setNewTagRowShown(bool shown)
{
    m_newTagRow->setVisible(shown);
    if (m_newTag->isChecked() != shown)
        m_newTag->setChecked(shown);
    if (shown)
        m_tagName->setFocus();
}

QWidget *TagPickerSheet::makeRow(const QModelIndex &index, QWidget *parent)
{
    auto *row = new TagRow(*m_tags->tag(index.row()), parent);
    const QUuid id = row->tagId();
    connect(row, &QAbstractButton::clicked, this, [this, id] { toggle(id); });
    row->onDrag = [this, row, id] { dragTag(*row, id); };
    return row;
}

void TagPickerSheet::showRow(QWidget &row, const QModelIndex &index) const
{
    const Tag &tag = *m_tags->tag(index.row());
    static_cast<TagRow &>(row).setState(tag, m_item != nullptr && m_item->hasTag(tag));
}

void TagPickerSheet::dragTag(QWidget &row, const QUuid &tagId)
{
    auto *drag = new QDrag(&row);
    drag->setMimeData(TagDragItem{tagId}.toMimeData());
    const QPixmap image = static_cast<TagRow &>(row).chip().grab();
    drag->setPixmap(image);
    drag->setHotSpot(QPoint(image.width() / 2, image.height() / 2) / image.devicePixelRatio());
    // The drag runs its own event loop inside this row's mouse handler: the row must outlive it.
    m_rows->hold();
    drag->exec(Qt::CopyAction);
    m_rows->release();
}

void TagPickerSheet::toggle(const QUuid &tagId)
{
    Tag *tag = m_store.tag(tagId);
    if (m_item == nullptr || tag == nullptr)
        return;
    if (m_item->hasTag(*tag))
        m_item->removeTag(*tag);
    else
        m_item->addTag(tag);
    m_store.save();
}

void TagPickerSheet::addNewTag()
{
    const QString name = m_tagName->text().trimmed();
    if (name.isEmpty())
        return;
    Tag *tag = m_store.insert(std::make_unique<Tag>(name, blue()));
    if (tag != nullptr && m_item != nullptr)
        m_item->addTag(tag);
    m_store.save();
    m_tagName->clear();
    setNewTagRowShown(false);
}

bool TagPickerSheet::dropPayload(const QMimeData &mime)
{
    return m_item != nullptr && TagDragItem::addTo(*m_item, m_store, mime);
}

} // namespace quillory

#include <views/dialogs/DuplicatesSheet.h>

#include <views/widgets/DisplayText.h>
#include <views/widgets/FormGroup.h>
#include <views/widgets/RelativeDate.h>
#include <views/widgets/SheetParts.h>

#include <duplicates/DuplicateMerger.h>
#include <model/Clock.h>
#include <model/Item.h>
#include <model/LibraryStore.h>
#include <text/CountedNoun.h>

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace quillory {

DuplicatesSheet::DuplicatesSheet(LibraryStore &store, QWidget *parent)
    : QDialog(parent), m_store(store)
{
    setObjectName(QStringLiteral("duplicatesSheet"));
    setWindowTitle(QStringLiteral("Find Duplicates"));
    resize(560, 620);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(SheetParts::headline(QStringLiteral("Duplicates"), this));
    m_summary = SheetParts::footnote(QString(), this);
    layout->addWidget(m_summary);
    layout->addSpacing(8);

    auto *scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    m_rows = new QWidget(scroll);
    m_rowsLayout = new QVBoxLayout(m_rows);
    m_rowsLayout->setContentsMargins(0, 0, 0, 0);
    m_empty = new QLabel(QStringLiteral("No two items in the library hold the same page."), m_rows);
    m_empty->setObjectName(QStringLiteral("noDuplicates"));
    m_empty->setAlignment(Qt::AlignCenter);
    m_empty->setForegroundRole(QPalette::PlaceholderText);
    m_rowsLayout->addWidget(m_empty);
    m_rowsLayout->addStretch(1);
    scroll->setWidget(m_rows);
    layout->addWidget(scroll, 1);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *done = buttons->addButton(QStringLiteral("Done"), QDialogButtonBox::AcceptRole);
    done->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);

    m_refresh.setSingleShot(true);
    m_refresh.setInterval(0);
    connect(&m_refresh, &QTimer::timeout, this, &DuplicatesSheet::rebuild);
    const auto later = [this] { m_refresh.start(); };
    connect(&store, &LibraryStore::recordsInserted, this, later);
    connect(&store, &LibraryStore::recordChanged, this, later);
    // The groups point at items: they go before the items do.
    connect(&store, &LibraryStore::recordsAboutToBeRemoved, this, [this](RecordKind kind) {
        if (kind == RecordKind::Item) {
            forgetGroups();
            m_refresh.start();
        }
    });
    rebuild();
}

DuplicatesSheet::~DuplicatesSheet() = default;

Item *DuplicatesSheet::keptItem(int group) const
{
    if (group < 0 || group >= groupCount())
        return nullptr;
    const int member = m_choices[size_t(group)]->checkedId();
    return member < 0 ? nullptr : m_groups[size_t(group)][size_t(member)];
}

void DuplicatesSheet::chooseKept(int group, int member)
{
    if (group < 0 || group >= groupCount())
        return;
    if (QAbstractButton *choice = m_choices[size_t(group)]->button(member))
        choice->setChecked(true);
}

QPushButton *DuplicatesSheet::mergeButton(int group) const
{
    return group < 0 || group >= groupCount() ? nullptr : m_mergeButtons[size_t(group)];
}

void DuplicatesSheet::mergeGroup(int group)
{
    Item *keep = keptItem(group);
    if (keep == nullptr)
        return;
    // The merge deletes items, which empties m_groups under it: it works on a copy.
    DuplicateFinder::Group others;
    for (Item *item : m_groups[size_t(group)]) {
        if (item != keep)
            others.push_back(item);
    }
    DuplicateMerger::merge(m_store, *keep, others);
    refreshNow();
}

void DuplicatesSheet::refreshNow()
{
    if (m_refresh.isActive()) {
        m_refresh.stop();
        rebuild();
    }
}

void DuplicatesSheet::forgetGroups()
{
    m_groups.clear();
    m_choices.clear();
    m_mergeButtons.clear();
    // A group's own button may be the one whose click is being handled.
    for (QWidget *row : m_rows->findChildren<FormGroup *>(Qt::FindDirectChildrenOnly)) {
        row->hide();
        row->deleteLater();
    }
}

void DuplicatesSheet::rebuild()
{
    forgetGroups();
    m_groups = DuplicateFinder::groups(m_store.items());
    qsizetype extra = 0;
    for (const auto &group : m_groups)
        extra += qsizetype(group.size()) - 1;
    m_summary->setText(
        m_groups.empty()
            ? QStringLiteral("Items that hold the same page appear here, to be merged into one.")
            : QStringLiteral("%1 saved more than once. Merging a group keeps the chosen item, "
                             "gives it the tags and notes of all and the earliest date, "
                             "and deletes the other %2.")
                  .arg(CountedNoun::of(qint64(m_groups.size()), QStringLiteral("page is"),
                                       QStringLiteral("pages are")))
                  .arg(extra == 1 ? QStringLiteral("item")
                                  : CountedNoun::of(extra, QStringLiteral("item"),
                                                    QStringLiteral("items"))));
    m_empty->setVisible(m_groups.empty());
    for (int i = 0; i < groupCount(); ++i)
        m_rowsLayout->insertWidget(m_rowsLayout->count() - 1, buildGroup(i));
}

QWidget *DuplicatesSheet::buildGroup(int index)
{
    const DuplicateFinder::Group &items = m_groups[size_t(index)];
    const QString address = items.front()->urlString().value_or(QString());
    auto *group = new FormGroup(DisplayText::bounded(address, 120), m_rows);
    auto *choices = new QButtonGroup(group);
    const QDateTime now = Clock::now();
    for (size_t member = 0; member < items.size(); ++member) {
        const Item *item = items[member];
        auto *row = new QWidget;
        auto *rowLayout = new QVBoxLayout(row);
        rowLayout->setContentsMargins(0, 0, 0, 0);
        rowLayout->setSpacing(2);
        auto *choice =
            new QRadioButton(DisplayText::forMenu(DisplayText::bounded(item->title(), 120)), row);
        choices->addButton(choice, int(member));
        rowLayout->addWidget(choice);
        const qsizetype tags = item->tags().size();
        auto *details = SheetParts::footnote(
            QStringLiteral("Added %1 · %2 · %3")
                .arg(RelativeDate::format(item->createdAt(), now),
                     CountedNoun::of(tags, QStringLiteral("tag"), QStringLiteral("tags")),
                     item->note() && !item->note()->isEmpty() ? QStringLiteral("a note")
                                                              : QStringLiteral("no note")),
            row);
        details->setContentsMargins(24, 0, 0, 0);
        rowLayout->addWidget(details);
        // Which of the addresses this one is, when it is written differently.
        const std::optional<QString> url = item->urlString();
        if (url && *url != address) {
            auto *written = SheetParts::footnote(DisplayText::bounded(*url, 120), row);
            written->setContentsMargins(24, 0, 0, 0);
            rowLayout->addWidget(written);
        }
        group->addRow(row);
    }
    // The item chosen stays chosen through the rebuilds that every change to the library,
    // and every merge, brings: snapping back to the first would merge into the wrong one.
    int kept = 0;
    for (size_t member = 0; member < items.size(); ++member) {
        if (m_chosen.contains(items[member]->id())) {
            kept = int(member);
            break;
        }
    }
    choices->button(kept)->setChecked(true);
    connect(choices, &QButtonGroup::idToggled, this, [this, index, choices](int member, bool on) {
        if (size_t(index) >= m_choices.size() || m_choices[size_t(index)] != choices)
            return;
        const QUuid id = m_groups[size_t(index)][size_t(member)]->id();
        if (on)
            m_chosen.insert(id);
        else
            m_chosen.remove(id);
    });
    auto *merge = new QPushButton(QStringLiteral("Merge %1 Items").arg(items.size()));
    merge->setObjectName(QStringLiteral("mergeButton"));
    merge->setEnabled(!m_store.isReadOnly());
    connect(merge, &QPushButton::clicked, this, [this, index] { mergeGroup(index); });
    auto *buttonRow = new QWidget;
    auto *buttonLayout = new QHBoxLayout(buttonRow);
    buttonLayout->setContentsMargins(0, 0, 0, 0);
    buttonLayout->addStretch(1);
    buttonLayout->addWidget(merge);
    group->addRow(buttonRow);
    if (m_store.isReadOnly())
        group->setFooter(QStringLiteral("The library can only be read, so nothing can be merged."));
    m_choices.push_back(choices);
    m_mergeButtons.push_back(merge);
    return group;
}

} // namespace quillory

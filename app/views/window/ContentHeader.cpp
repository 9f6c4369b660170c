#include <views/window/ContentHeader.h>

#include <views/widgets/SymbolIcon.h>

#include <state/AppState.h>
#include <text/CountedNoun.h>

#include <QActionGroup>
#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QToolButton>

namespace quillory {

namespace {

QToolButton *menuButton(QWidget *parent, const QString &symbol, const QString &text,
                        const QString &name)
{
    auto *button = new QToolButton(parent);
    button->setIcon(SymbolIcon::icon(symbol));
    button->setText(text);
    button->setToolButtonStyle(text.isEmpty() ? Qt::ToolButtonIconOnly
                                              : Qt::ToolButtonTextBesideIcon);
    button->setPopupMode(QToolButton::InstantPopup);
    button->setAutoRaise(true);
    button->setObjectName(name);
    return button;
}

} // namespace

ContentHeader::ContentHeader(AppState &state, QWidget *parent)
    : QWidget(parent), m_state(state), m_count(new QLabel(this)), m_addMenu(new QMenu(this)),
      m_favorites(new QToolButton(this)),
      m_kind(menuButton(this, QStringLiteral("line.3.horizontal.decrease"),
                        QStringLiteral("All Types"), QStringLiteral("kindFilter"))),
      m_sort(menuButton(this, QStringLiteral("arrow.up.arrow.down"), QStringLiteral("Sort"),
                        QStringLiteral("sortMenu"))),
      m_viewModes(new QButtonGroup(this))
{
    QFont caption = m_count->font();
    caption.setPointSizeF(caption.pointSizeF() * 0.9);
    m_count->setFont(caption);
    m_count->setObjectName(QStringLiteral("itemCount"));
    m_count->setEnabled(false); // the disabled palette gives the secondary text colour

    m_add =
        menuButton(this, QStringLiteral("plus.circle.fill"), QString(), QStringLiteral("addMenu"));
    m_add->setToolTip(QStringLiteral("Add Item"));
    // A screen reader reads a tooltip as a description: an icon alone has no name to say.
    m_add->setAccessibleName(QStringLiteral("Add Item"));
    m_add->setIconSize(QSize(22, 22));
    m_add->setMenu(m_addMenu);

    m_favorites->setIcon(
        SymbolIcon::tintedIcon(QStringLiteral("star.fill"), QColor(0xFF, 0xCC, 0x00)));
    m_favorites->setText(QStringLiteral("Favorites Only  \u2715"));
    m_favorites->setToolTip(QStringLiteral("Show all items again"));
    m_favorites->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_favorites->setAutoRaise(true);
    m_favorites->setObjectName(QStringLiteral("favoritesChip"));
    connect(m_favorites, &QToolButton::clicked, this,
            [this] { m_state.setShowFavoritesOnly(false); });

    buildKindMenu();
    buildSortMenu();

    for (ViewMode mode : ViewMode::allCases()) {
        auto *button = new QToolButton(this);
        button->setIcon(SymbolIcon::icon(mode == ViewMode::Grid ? QStringLiteral("square.grid.2x2")
                                                                : QStringLiteral("list.bullet")));
        button->setToolTip(mode == ViewMode::Grid ? QStringLiteral("Grid")
                                                  : QStringLiteral("List"));
        button->setAccessibleName(button->toolTip());
        button->setCheckable(true);
        button->setAutoRaise(true);
        button->setObjectName(mode.rawValue() + QStringLiteral("Mode"));
        m_viewModes->addButton(button, int(mode));
    }
    connect(m_viewModes, &QButtonGroup::idClicked, this,
            [this](int id) { m_state.setViewMode(ViewMode(ViewMode::Value(id))); });

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 6, 12, 6);
    layout->addWidget(m_count);
    layout->addStretch(1);
    layout->addWidget(m_favorites);
    layout->addWidget(m_add);
    layout->addWidget(m_kind);
    layout->addWidget(m_sort);
    layout->addSpacing(6);
    for (QAbstractButton *b : m_viewModes->buttons())
        layout->addWidget(b);

    for (auto signal : {&AppState::contentTypeFilterChanged, &AppState::sortOrderChanged,
                        &AppState::viewModeChanged, &AppState::showFavoritesOnlyChanged})
        connect(&m_state, signal, this, &ContentHeader::syncFromState);
    syncFromState();
}

void ContentHeader::buildKindMenu()
{
    auto *menu = new QMenu(m_kind);
    menu->addAction(QStringLiteral("All Types"), this,
                    [this] { m_state.setContentTypeFilter(std::nullopt); });
    menu->addSeparator();
    for (ItemType type : ItemType::allCases())
        menu->addAction(SymbolIcon::icon(type.iconName()), type.displayName(), this,
                        [this, type] { m_state.setContentTypeFilter(type); });
    m_kind->setMenu(menu);
}

void ContentHeader::buildSortMenu()
{
    auto *menu = new QMenu(m_sort);
    auto *group = new QActionGroup(menu);
    for (SortOrder order : SortOrder::allCases()) {
        QAction *action =
            menu->addAction(order.title(), this, [this, order] { m_state.setSortOrder(order); });
        action->setCheckable(true);
        action->setData(int(order));
        group->addAction(action);
    }
    m_sort->setMenu(menu);
}

void ContentHeader::syncFromState()
{
    const auto type = m_state.contentTypeFilter();
    m_kind->setText(type ? type->displayName() : QStringLiteral("All Types"));
    for (QAction *action : m_sort->menu()->actions())
        action->setChecked(action->data().toInt() == int(m_state.sortOrder()));
    m_viewModes->button(int(m_state.viewMode()))->setChecked(true);
    m_favorites->setVisible(m_state.showFavoritesOnly());
}

void ContentHeader::setCount(int count)
{
    m_count->setText(CountedNoun::of(count, QStringLiteral("item"), QStringLiteral("items")));
}

QString ContentHeader::countText() const
{
    return m_count->text();
}

void ContentHeader::setEditable(bool editable)
{
    m_add->setEnabled(editable);
    m_add->setToolTip(editable ? QStringLiteral("Add Item")
                               : QStringLiteral("This library can only be read"));
}

} // namespace quillory

#include <views/settings/SettingsView.h>

#include <views/dialogs/BookmarkFlow.h>
#include <views/dialogs/ExportSheet.h>
#include <views/dialogs/ImportFlow.h>
#include <views/settings/PrivacySettingsView.h>
#include <views/settings/TagManagementView.h>
#include <views/widgets/FormGroup.h>
#include <views/widgets/RowButton.h>
#include <views/widgets/SheetParts.h>
#include <views/widgets/SymbolIcon.h>

#include <model/LibraryStore.h>
#include <pages/KeptPages.h>
#include <security/SecurityService.h>
#include <state/AppInfo.h>
#include <state/AppState.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace quillory {

namespace {
const QColor onGreen(0x34, 0xC7, 0x59);
constexpr int headerSymbolSize = 36;
constexpr int headerSquareSize = 56;
} // namespace

SettingsView::SettingsView(AppState &state, LibraryStore &store, SecurityService &security,
                           FileRevealer &revealer, BookmarkFlow *bookmarks, QWidget *parent)
    : QWidget(parent), m_state(state), m_store(store), m_security(security), m_revealer(revealer),
      m_import(new ImportFlow(state, store, *this)), m_bookmarks(bookmarks)
{
    setObjectName(QStringLiteral("settings"));
    setWindowTitle(QStringLiteral("Settings"));
    resize(520, 800);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_backBar = new QWidget(this);
    auto *bar = new QHBoxLayout(m_backBar);
    bar->setContentsMargins(8, 6, 8, 6);
    auto *back = new QToolButton(m_backBar);
    back->setObjectName(QStringLiteral("back"));
    back->setText(QStringLiteral("\u2039 Settings"));
    back->setToolButtonStyle(Qt::ToolButtonTextOnly);
    back->setAutoRaise(true);
    connect(back, &QToolButton::clicked, this, &SettingsView::showForm);
    bar->addWidget(back);
    m_pageTitle = SheetParts::sectionTitle(QString(), m_backBar);
    bar->addStretch(1);
    bar->addWidget(m_pageTitle);
    bar->addStretch(1);
    bar->addSpacing(back->sizeHint().width());
    m_backBar->hide();
    layout->addWidget(m_backBar);

    m_pages = new QStackedWidget(this);
    m_form = buildForm();
    m_pages->addWidget(m_form);
    layout->addWidget(m_pages, 1);

    // Closed from the keyboard as any window is; Escape first leaves a page for the form.
    auto *close = new QShortcut(this);
    // Once each: a key given twice makes the shortcut ambiguous, and then it does nothing.
    QList<QKeySequence> closeKeys = QKeySequence::keyBindings(QKeySequence::Close);
    if (!closeKeys.contains(QKeySequence(Qt::CTRL | Qt::Key_W)))
        closeKeys.append(QKeySequence(Qt::CTRL | Qt::Key_W));
    close->setKeys(closeKeys);
    connect(close, &QShortcut::activated, this, &QWidget::close);
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, [this] {
        if (m_backBar->isVisible())
            showForm();
        else
            this->close();
    });

    connect(&store, &LibraryStore::recordsInserted, this, &SettingsView::updateCounts);
    connect(&store, &LibraryStore::recordsRemoved, this, &SettingsView::updateCounts);
    // The service may announce from a worker thread; the receiver brings it here.
    connect(&security, &SecurityService::stateChanged, this, &SettingsView::updateEncryptionStatus);
    connect(&state.preferences(), &Preferences::changed, this, &SettingsView::updatePreferences);
    m_keptSizeRefresh.setSingleShot(true);
    m_keptSizeRefresh.setInterval(300);
    connect(&m_keptSizeRefresh, &QTimer::timeout, this, &SettingsView::updateKeptSize);
    updateCounts();
    updateEncryptionStatus();
    updatePreferences();
}

SettingsView::~SettingsView() = default;

QWidget *SettingsView::buildForm()
{
    auto *scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("settingsForm"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto *content = new QWidget(scroll);
    auto *layout = new QVBoxLayout(content);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(18);
    layout->addWidget(buildHeader());
    layout->addWidget(buildLibrary());
    layout->addWidget(buildSecurity());
    layout->addWidget(buildData());
    layout->addWidget(buildKeptPages());
    layout->addWidget(buildAppearance());
    layout->addWidget(buildAbout());
    layout->addStretch(1);
    scroll->setWidget(content);
    return scroll;
}

QWidget *SettingsView::buildHeader()
{
    auto *group = new FormGroup(QString(), this);
    auto *header = new QWidget;
    auto *row = new QHBoxLayout(header);
    row->setSpacing(12);
    auto *symbol = new QLabel(header);
    symbol->setFixedSize(headerSquareSize, headerSquareSize);
    symbol->setAlignment(Qt::AlignCenter);
    symbol->setPixmap(SymbolIcon::tinted(QStringLiteral("square.grid.2x2.fill"),
                                         palette().color(QPalette::Highlight), headerSymbolSize,
                                         devicePixelRatioF()));
    row->addWidget(symbol);
    auto *texts = new QVBoxLayout;
    texts->setSpacing(2);
    auto *name = new QLabel(QStringLiteral("Quillory"), header);
    name->setObjectName(QStringLiteral("appName"));
    QFont title = name->font();
    title.setPointSizeF(title.pointSizeF() * 1.6);
    title.setBold(true);
    name->setFont(title);
    texts->addWidget(name);
    auto *tagline = new QLabel(QStringLiteral("Privacy-First Reference Library"), header);
    tagline->setForegroundRole(QPalette::PlaceholderText);
    texts->addWidget(tagline);
    row->addLayout(texts, 1);
    group->addRow(header);
    return group;
}

QWidget *SettingsView::buildLibrary()
{
    m_counts = new LibraryCountsGroup(QStringLiteral("Library"), this);
    return m_counts;
}

QWidget *SettingsView::buildSecurity()
{
    auto *group = new FormGroup(QStringLiteral("Security"), this);
    m_encryptionRow =
        group->addButtonRow(QStringLiteral("lock.shield.fill"), QStringLiteral("Encryption"));
    m_encryptionRow->setObjectName(QStringLiteral("encryptionRow"));
    m_encryptionRow->setLeadsOn(true);
    connect(m_encryptionRow, &RowButton::clicked, this, &SettingsView::showPrivacy);
    group->setFooter(QStringLiteral(
        "All data stays on your device. Encryption keeps Quillory's window locked until "
        "your passphrase is given; the library file itself is not encrypted yet."));
    return group;
}

QWidget *SettingsView::buildData()
{
    auto *group = new FormGroup(QStringLiteral("Data"), this);
    m_manageTagsRow =
        group->addButtonRow(QStringLiteral("tag.fill"), QStringLiteral("Manage Tags"));
    m_manageTagsRow->setObjectName(QStringLiteral("manageTagsRow"));
    m_manageTagsRow->setLeadsOn(true);
    connect(m_manageTagsRow, &RowButton::clicked, this, &SettingsView::showTagManagement);
    m_exportRow =
        group->addButtonRow(QStringLiteral("square.and.arrow.up"), QStringLiteral("Export Data"));
    m_exportRow->setObjectName(QStringLiteral("exportRow"));
    connect(m_exportRow, &RowButton::clicked, this, &SettingsView::openExportSheet);
    m_importRow =
        group->addButtonRow(QStringLiteral("square.and.arrow.down"), QStringLiteral("Import Data"));
    m_importRow->setObjectName(QStringLiteral("importRow"));
    connect(m_importRow, &RowButton::clicked, m_import, &ImportFlow::chooseAndImport);
    if (m_bookmarks)
        addBookmarkRows(*group);
    m_deleteAllRow =
        group->addButtonRow(QStringLiteral("trash"), QStringLiteral("Delete All Data"));
    m_deleteAllRow->setObjectName(QStringLiteral("deleteAllRow"));
    m_deleteAllRow->setDestructive(true);
    connect(m_deleteAllRow, &RowButton::clicked, this, &SettingsView::confirmDeleteAll);
    if (m_store.isReadOnly()) {
        const QString why = QStringLiteral("The library can only be read.");
        for (RowButton *row : {m_importRow, m_importBookmarksRow, m_deleteAllRow}) {
            if (row == nullptr)
                continue;
            row->setEnabled(false);
            row->setToolTip(why);
        }
    }
    return group;
}

void SettingsView::addBookmarkRows(FormGroup &group)
{
    m_importBookmarksRow =
        group.addButtonRow(QStringLiteral("bookmark"), QStringLiteral("Import Bookmarks..."));
    m_importBookmarksRow->setObjectName(QStringLiteral("importBookmarksRow"));
    connect(m_importBookmarksRow, &RowButton::clicked, this, [this] {
        if (m_bookmarks)
            m_bookmarks->chooseAndImport(*this);
    });
    m_exportBookmarksRow =
        group.addButtonRow(QStringLiteral("bookmark.fill"), QStringLiteral("Export Bookmarks..."));
    m_exportBookmarksRow->setObjectName(QStringLiteral("exportBookmarksRow"));
    connect(m_exportBookmarksRow, &RowButton::clicked, this, [this] {
        if (m_bookmarks)
            m_bookmarks->chooseAndExport(*this);
    });
}

QWidget *SettingsView::buildKeptPages()
{
    m_keptGroup = new FormGroup(QStringLiteral("Kept Pages"), this);
    m_keepCopies = new QCheckBox(QStringLiteral("Keep copies of pages"));
    m_keepCopies->setObjectName(QStringLiteral("keepPageCopies"));
    m_keptGroup->addRow(m_keepCopies);
    connect(m_keepCopies, &QCheckBox::toggled, this,
            [this](bool on) { m_state.preferences().setKeepPageCopies(on); });
    m_keptSize = new QLabel;
    m_keptSize->setObjectName(QStringLiteral("keptPagesSize"));
    m_keptGroup->addRow(m_keptSize);
    m_removeKeptRow =
        m_keptGroup->addButtonRow(QStringLiteral("trash"), QStringLiteral("Remove Kept Copies..."));
    m_removeKeptRow->setObjectName(QStringLiteral("removeKeptCopiesRow"));
    m_removeKeptRow->setDestructive(true);
    connect(m_removeKeptRow, &RowButton::clicked, this, &SettingsView::confirmRemoveKeptCopies);
    if (m_store.isReadOnly()) {
        m_removeKeptRow->setEnabled(false);
        m_removeKeptRow->setToolTip(QStringLiteral("The library can only be read."));
    }
    m_keptGroup->setFooter(QStringLiteral(
        "A readable copy of each page you add is kept in your library, to read and search "
        "after the page has changed or gone."));
    // Until the copies are known, there is no size to show or copy to remove.
    m_keptGroup->setRowVisible(m_keptSize, false);
    m_keptGroup->setRowVisible(m_removeKeptRow, false);
    return m_keptGroup;
}

QWidget *SettingsView::buildAppearance()
{
    auto *group = new FormGroup(QStringLiteral("Appearance"), this);
    auto *picker = new QWidget;
    auto *row = new QHBoxLayout(picker);
    row->setContentsMargins(0, 0, 0, 0);
    auto *label = new QLabel(QStringLiteral("Default View"), picker);
    m_defaultView = new QComboBox(picker);
    m_defaultView->setObjectName(QStringLiteral("defaultView"));
    m_defaultView->addItem(SymbolIcon::icon(QStringLiteral("square.grid.2x2")),
                           QStringLiteral("Grid"), ViewMode(ViewMode::Grid).rawValue());
    m_defaultView->addItem(SymbolIcon::icon(QStringLiteral("list.bullet")), QStringLiteral("List"),
                           ViewMode(ViewMode::List).rawValue());
    label->setBuddy(m_defaultView);
    row->addWidget(label);
    row->addStretch(1);
    row->addWidget(m_defaultView);
    group->addRow(picker);
    connect(m_defaultView, &QComboBox::activated, this, [this](int index) {
        if (auto mode = ViewMode::fromRawValue(m_defaultView->itemData(index).toString()))
            m_state.preferences().setPreferredViewMode(*mode);
    });

    m_showCounts = new QCheckBox(QStringLiteral("Show Item Counts"));
    m_showCounts->setObjectName(QStringLiteral("showItemCounts"));
    group->addRow(m_showCounts);
    connect(m_showCounts, &QCheckBox::toggled, this,
            [this](bool on) { m_state.preferences().setShowItemCounts(on); });
    m_confirmDelete = new QCheckBox(QStringLiteral("Confirm Before Delete"));
    m_confirmDelete->setObjectName(QStringLiteral("confirmBeforeDelete"));
    group->addRow(m_confirmDelete);
    connect(m_confirmDelete, &QCheckBox::toggled, this,
            [this](bool on) { m_state.preferences().setConfirmBeforeDelete(on); });
    return group;
}

QWidget *SettingsView::buildAbout()
{
    auto *group = new FormGroup(QStringLiteral("About"), this);
    m_version = group->addValueRow(QStringLiteral("Version"), AppInfo::versionText());
    m_version->setObjectName(QStringLiteral("version"));
    RowButton *website = group->addButtonRow(QStringLiteral("globe"), QStringLiteral("Website"));
    website->setObjectName(QStringLiteral("websiteRow"));
    website->setToolTip(AppInfo::websiteUrl().toDisplayString());
    connect(website, &RowButton::clicked, this,
            [] { QDesktopServices::openUrl(AppInfo::websiteUrl()); });
    RowButton *support = group->addButtonRow(QStringLiteral("envelope"), QStringLiteral("Support"));
    support->setObjectName(QStringLiteral("supportRow"));
    support->setTrailingText(AppInfo::supportEmail());
    connect(support, &RowButton::clicked, this, [] {
        QUrl mail;
        mail.setScheme(QStringLiteral("mailto"));
        mail.setPath(AppInfo::supportEmail());
        QDesktopServices::openUrl(mail);
    });
    group->setFooter(QStringLiteral(
        "Quillory does not collect analytics or personal data. Your data stays on your device."));
    return group;
}

QWidget *SettingsView::currentPage() const
{
    return m_pages->currentWidget();
}

void SettingsView::showPage(QWidget *page, const QString &title)
{
    if (m_subpage)
        m_subpage->deleteLater();
    m_subpage = page;
    m_pages->addWidget(page);
    m_pages->setCurrentWidget(page);
    m_pageTitle->setText(title);
    m_backBar->show();
}

void SettingsView::showPrivacy()
{
    auto *privacy = new PrivacySettingsView(m_security, m_pages);
    privacy->setSheetHook(m_sheets.hook());
    showPage(privacy, QStringLiteral("Privacy & Security"));
}

void SettingsView::showTagManagement()
{
    auto *tags = new TagManagementView(m_store, m_pages);
    tags->setSheetHook(m_sheets.hook());
    showPage(tags, QStringLiteral("Tags"));
}

void SettingsView::showForm()
{
    m_pages->setCurrentWidget(m_form);
    m_backBar->hide();
    if (m_subpage)
        m_subpage->deleteLater();
    m_subpage = nullptr;
}

void SettingsView::setSheetHook(SheetRunner::Hook hook)
{
    m_sheets.setHook(hook);
    m_import->setSheetHook(std::move(hook));
}

void SettingsView::openExportSheet()
{
    ExportSheet sheet(m_store, m_revealer, this);
    m_sheets.run(sheet);
}

void SettingsView::confirmDeleteAll()
{
    QMessageBox question(QMessageBox::Warning, QStringLiteral("Delete All Data?"),
                         QStringLiteral("Delete All Data?"), QMessageBox::NoButton, this);
    question.setObjectName(QStringLiteral("deleteAllConfirmation"));
    question.setInformativeText(QStringLiteral(
        "This will permanently delete all items, folders, and tags. This cannot be undone."));
    QPushButton *deleteButton =
        question.addButton(QStringLiteral("Delete Everything"), QMessageBox::DestructiveRole);
    QPushButton *cancel = question.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    question.setDefaultButton(cancel);
    question.setEscapeButton(cancel);
    m_sheets.run(question);
    if (question.clickedButton() == deleteButton)
        deleteAll();
}

void SettingsView::deleteAll()
{
    if (m_store.isReadOnly()) {
        m_state.showError(AppError::storageError(
            QStringLiteral("The library can only be read, so nothing was deleted.")));
        return;
    }
    m_store.removeAll(RecordKind::Item);
    m_store.removeAll(RecordKind::Folder);
    m_store.removeAll(RecordKind::Tag);
    // Copies leave with their items; this also takes any whose item was already gone.
    if (m_keptPages != nullptr)
        m_keptPages->removeAll(this, {});
}

void SettingsView::confirmRemoveKeptCopies()
{
    if (m_keptPages == nullptr)
        return;
    QMessageBox question(QMessageBox::Warning, QStringLiteral("Remove Kept Copies?"),
                         QStringLiteral("Remove Kept Copies?"), QMessageBox::NoButton, this);
    question.setObjectName(QStringLiteral("removeKeptCopiesConfirmation"));
    question.setInformativeText(
        QStringLiteral("The kept copy of every page is removed. Your items and their links "
                       "stay; a page that has changed or gone cannot be kept again."));
    QPushButton *remove =
        question.addButton(QStringLiteral("Remove Kept Copies"), QMessageBox::DestructiveRole);
    QPushButton *cancel = question.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    question.setDefaultButton(cancel);
    question.setEscapeButton(cancel);
    m_sheets.run(question);
    if (question.clickedButton() != remove || m_keptPages == nullptr)
        return;
    m_keptPages->removeAll(this, [this](bool removed) {
        if (!removed)
            m_state.showError(
                AppError::storageError(QStringLiteral("The kept copies could not be removed.")));
        updateKeptSize();
    });
}

void SettingsView::updateKeptSize()
{
    if (m_keptPages == nullptr)
        return;
    m_keptPages->totalSize(this, [this](std::optional<qint64> bytes) {
        m_keptSize->setText(
            bytes ? QStringLiteral("Kept pages: ") +
                        QLocale().formattedDataSize(*bytes, 1, QLocale::DataSizeSIFormat)
                  : QStringLiteral("Kept pages: not available"));
    });
}

void SettingsView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    updateKeptSize();
}

void SettingsView::updateCounts()
{
    m_counts->showCounts(m_store);
}

void SettingsView::updateEncryptionStatus()
{
    if (m_security.isEncryptionEnabled())
        m_encryptionRow->setTrailingText(QStringLiteral("On"), onGreen);
    else
        m_encryptionRow->setTrailingText(QStringLiteral("Off"));
}

void SettingsView::setKeptPages(KeptPages *pages)
{
    if (m_keptPages != nullptr)
        disconnect(m_keptPages, nullptr, this, nullptr);
    m_keptPages = pages;
    m_keptGroup->setRowVisible(m_keptSize, pages != nullptr);
    m_keptGroup->setRowVisible(m_removeKeptRow, pages != nullptr);
    if (pages == nullptr)
        return;
    m_keptSize->setText(QStringLiteral("Kept pages: \u2026"));
    const auto refresh = [this] { m_keptSizeRefresh.start(); };
    connect(pages, &KeptPages::kept, this, refresh);
    connect(pages, &KeptPages::removed, this, refresh);
    if (isVisible())
        updateKeptSize();
}

void SettingsView::updatePreferences()
{
    const Preferences &preferences = m_state.preferences();
    m_defaultView->setCurrentIndex(
        m_defaultView->findData(preferences.preferredViewMode().rawValue()));
    const QSignalBlocker countsBlocker(m_showCounts);
    m_showCounts->setChecked(preferences.showItemCounts());
    const QSignalBlocker deleteBlocker(m_confirmDelete);
    m_confirmDelete->setChecked(preferences.confirmBeforeDelete());
    const QSignalBlocker keepBlocker(m_keepCopies);
    m_keepCopies->setChecked(preferences.keepPageCopies());
}

} // namespace quillory

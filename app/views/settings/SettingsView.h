#pragma once

#include <views/widgets/SheetRunner.h>

#include <views/widgets/LibraryCountsGroup.h>

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>

class QCheckBox;
class QComboBox;
class QDialog;
class QLabel;
class QStackedWidget;

namespace quillory {

class AppState;
class FileRevealer;
class BookmarkFlow;
class FormGroup;
class ImportFlow;
class KeptPages;
class LibraryStore;
class RowButton;
class SecurityService;

// "Settings": what the library holds, the way to the privacy and encryption screen and to
// tag management, exporting, importing and deleting everything, the appearance
// preferences, and who made Quillory. The privacy and tag screens open inside the window,
// with a way back.
class SettingsView final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SettingsView)

public:
    SettingsView(AppState &state, LibraryStore &store, SecurityService &security,
                 FileRevealer &revealer, BookmarkFlow *bookmarks = nullptr,
                 QWidget *parent = nullptr);
    ~SettingsView() override;

    QLabel *itemsCount() const { return m_counts->itemsCount(); }
    QLabel *foldersCount() const { return m_counts->foldersCount(); }
    QLabel *tagsCount() const { return m_counts->tagsCount(); }
    RowButton *encryptionRow() const { return m_encryptionRow; }
    RowButton *manageTagsRow() const { return m_manageTagsRow; }
    RowButton *exportRow() const { return m_exportRow; }
    RowButton *importRow() const { return m_importRow; }
    RowButton *importBookmarksRow() const { return m_importBookmarksRow; }
    RowButton *exportBookmarksRow() const { return m_exportBookmarksRow; }
    RowButton *deleteAllRow() const { return m_deleteAllRow; }
    ImportFlow &importFlow() const { return *m_import; }
    // The screen shown now: the form, or the privacy or tag screen opened from it.
    QWidget *currentPage() const;

    void showPrivacy();
    void showTagManagement();
    void showForm();
    void openExportSheet();
    // Asks "Delete All Data?" first.
    void confirmDeleteAll();
    // Asks first, then removes every kept copy of a page.
    void confirmRemoveKeptCopies();
    QCheckBox *keepPageCopies() const { return m_keepCopies; }
    // "Kept pages: 12.3 MB".
    QLabel *keptPagesSize() const { return m_keptSize; }
    RowButton *removeKeptCopiesRow() const { return m_removeKeptRow; }

    // Tests answer the sheets and questions instead of a person.
    void setSheetHook(SheetRunner::Hook hook);
    // The kept copies of pages the settings size and remove; null when the library keeps
    // none. They must outlive the window.
    void setKeptPages(KeptPages *pages);

protected:
    void showEvent(QShowEvent *event) override;

private:
    QWidget *buildForm();
    QWidget *buildHeader();
    QWidget *buildLibrary();
    QWidget *buildSecurity();
    QWidget *buildData();
    void addBookmarkRows(FormGroup &group);
    QWidget *buildKeptPages();
    QWidget *buildAppearance();
    QWidget *buildAbout();
    void showPage(QWidget *page, const QString &title);
    void updateCounts();
    void updateEncryptionStatus();
    void updatePreferences();
    void deleteAll();
    void updateKeptSize();

    AppState &m_state;
    LibraryStore &m_store;
    SecurityService &m_security;
    FileRevealer &m_revealer;
    ImportFlow *m_import;
    QPointer<BookmarkFlow> m_bookmarks;
    KeptPages *m_keptPages = nullptr;
    SheetRunner m_sheets;

    QStackedWidget *m_pages = nullptr;
    QWidget *m_form = nullptr;
    QWidget *m_backBar = nullptr;
    QLabel *m_pageTitle = nullptr;
    QPointer<QWidget> m_subpage;
    LibraryCountsGroup *m_counts = nullptr;
    RowButton *m_encryptionRow = nullptr;
    RowButton *m_manageTagsRow = nullptr;
    RowButton *m_exportRow = nullptr;
    RowButton *m_importRow = nullptr;
    RowButton *m_importBookmarksRow = nullptr;
    RowButton *m_exportBookmarksRow = nullptr;
    RowButton *m_deleteAllRow = nullptr;
    QComboBox *m_defaultView = nullptr;
    QCheckBox *m_showCounts = nullptr;
    QCheckBox *m_confirmDelete = nullptr;
    FormGroup *m_keptGroup = nullptr;
    QCheckBox *m_keepCopies = nullptr;
    QLabel *m_keptSize = nullptr;
    RowButton *m_removeKeptRow = nullptr;
    // Pages are kept in bursts; the size is asked once a burst settles.
    QTimer m_keptSizeRefresh;
    QLabel *m_version = nullptr;
};

} // namespace quillory

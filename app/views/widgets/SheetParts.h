#pragma once

#include <security/SecurityError.h>

#include <QString>
#include <functional>
#include <optional>

class QAbstractButton;
class QDialog;
class QLabel;
class QMessageBox;
class QPushButton;
class QVBoxLayout;
class QWidget;
class QUuid;

namespace quillory {

class LibraryStore;
enum class RecordKind;

// The pieces every sheet and form here is made of, so they all look alike.
class SheetParts final
{
public:
    // The sheet's own title, bold and a little larger, at its top.
    static QLabel *headline(const QString &text, QWidget *parent);
    // Secondary, smaller, wrapped text under a section (what the section means).
    static QLabel *footnote(const QString &text, QWidget *parent);
    // The alert "Error" with `message` and "OK", over `parent`; returns at once.
    static QMessageBox *showErrorAlert(QWidget &parent, const QString &message);
    // Runs `step` off the interface thread (it may wait on the keyring's prompt), then
    // `finished` with the error's description (empty on success); accepts `sheet` when the
    // step worked, and otherwise shows the description in the alert "Error" over the sheet,
    // which stays open.
    static void runSecurityStep(QDialog &sheet, std::function<std::optional<SecurityError>()> step,
                                std::function<void(const QString &errorMessage)> finished);
    // A bold section title.
    static QLabel *sectionTitle(const QString &text, QWidget *parent);
    // A titled section: the title (the buddy of `buddy`, when given) above `content`.
    static QVBoxLayout *section(const QString &title, QWidget *content, QWidget *buddy = nullptr);

    struct Buttons
    {
        QPushButton *cancel;
        QPushButton *confirm;
    };
    // "Cancel" and the confirming button (the default one), wired to reject() and to
    // `accepted` of the box; appended to `layout`.
    static Buttons addButtons(QDialog &sheet, QVBoxLayout &layout, const QString &confirmText);

    // Rejects `sheet` when the record it edits is deleted, so it never saves into a
    // destroyed record.
    static void closeWhenRemoved(QDialog &sheet, LibraryStore &store, RecordKind kind,
                                 const QUuid &id);

    // The rounded highlight of a list row that is a button: shown while it is hovered,
    // pressed or focused; call from the row's paintEvent.
    static void paintRowHighlight(QAbstractButton &row);
};

} // namespace quillory

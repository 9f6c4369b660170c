#pragma once

#include <QString>
#include <optional>

namespace quillory {

class InboxFolder;

// Where the share inbox lives inside the shared container, and the rules for the names in
// it. The inbox is "PendingItems" in the container; shared files and document bytes are kept
// in its "Imported" folder, and records that could not be imported are set aside in its
// "Failed" folder. Every file gets a name of its own: a fresh UUID in upper case, then a
// suffix. Only names of these forms are ever read as records or deleted.
class InboxLayout final
{
public:
    static inline const QString inboxName = QStringLiteral("PendingItems");
    static inline const QString importedName = QStringLiteral("Imported");
    static inline const QString failedName = QStringLiteral("Failed");
    static inline const QString recordSuffix = QStringLiteral(".json");
    // A record while the picture it brought is being decoded.
    static inline const QString importingSuffix = QStringLiteral(".importing");
    // The most bytes a file name may take, on ext4 as on most Linux file systems.
    static constexpr qsizetype nameLimit = 255;

    // The inbox folder, whether or not it exists yet; absent without a container.
    static std::optional<QString> inboxPath();
    // The inbox held open, it and its Imported folder made (private to the user) when
    // missing; not open without a container, or when the container or the inbox is a
    // symbolic link or no folder. Imported is opened on its own, and may not open when the
    // inbox does.
    static InboxFolder openInbox();
    // The path of openInbox(), for watching the folder; absent when it does not open.
    static std::optional<QString> ensureInbox();

    // A fresh UUID followed by `suffix`, e.g. ".json" or "_Report.pdf". A suffix too long for
    // one file name loses the end of its stem and keeps its extension ("_Repo.pdf").
    static QString uniqueName(const QString &suffix);
    // The longest start of `text` whose file name encoding takes at most `bytes` bytes, cut
    // between characters, never inside one.
    static QString leadingPart(const QString &text, qsizetype bytes);
    // A plain file name: not empty, no folder part, not "." or "..", no NUL.
    static bool isBareName(const QString &name);
    // The file name in "Imported/<name>", when the path is exactly that with a bare name.
    static std::optional<QString> importedFileName(const QString &relativePath);
    // The name a shared file had before uniqueName() made it unique: "<UUID>_report.pdf" is
    // "report.pdf". Any other name comes back as it is.
    static QString sharedFileName(const QString &storedName);

    // A UUID and ".json".
    static bool isRecordName(const QString &name);
    // A UUID and ".importing".
    static bool isImportingName(const QString &name);
    // A picture beside a record: a UUID, a dot and an extension of at most 16 letters and
    // digits, other than a record's own.
    static bool isCompanionName(const QString &name);
    // The UUID `name` begins with, then `suffix`: a record's name in another state.
    static QString withSuffix(const QString &name, const QString &suffix);
};

} // namespace quillory

#include <state/StoreProblemReporter.h>

#include <state/AppState.h>

#include <exchange/ImportResult.h>
#include <model/LibraryStore.h>

namespace quillory {

StoreProblemReporter::StoreProblemReporter(LibraryStore &store, AppState &state, QObject *parent)
    : QObject(parent), m_state(state)
{
    connect(&store, &LibraryStore::saveFailed, this, [this](const StoreFailure &failure) {
        if (m_reported == failure.cause)
            return;
        m_reported = failure.cause;
        m_state.showError(errorFor(failure));
    });
    connect(&store, &LibraryStore::saveRecovered, this, [this] { m_reported.reset(); });
    // One alert at most: the state shows the last error reported.
    if (store.foldersMovedUp() > 0)
        m_state.showError(foldersMovedUp(store.foldersMovedUp(), store.isReadOnly()));
    else if (store.isReadOnly())
        m_state.showError(readOnlyLibrary());
}

AppError StoreProblemReporter::errorFor(const StoreFailure &failure)
{
    return AppError::storageError(failure.message, advice(failure.cause));
}

AppError StoreProblemReporter::readOnlyLibrary()
{
    return AppError::storageError(
        QStringLiteral("The library can only be read. You can browse and search it, but "
                       "changes are not possible."),
        QStringLiteral("Quillory may not write to the library's file or folder, or the disk is "
                       "read-only. Give yourself write permission there (or mount the disk for "
                       "writing), then start Quillory again."));
}

AppError StoreProblemReporter::foldersMovedUp(qsizetype count, bool readOnly)
{
    return AppError::storageError(
        QStringLiteral("The library's folders were nested too deep to show. ") +
            ImportResult::foldersMovedUpText(count),
        readOnly ? QStringLiteral("Their items and names are as they were. The library can only "
                                  "be read, so this happens again at every start until Quillory "
                                  "may write to it; until then, changes are not possible.")
                 : QStringLiteral("Their items and names are as they were, and the library is "
                                  "saved this way."));
}

QString StoreProblemReporter::advice(StoreFailure::Cause cause)
{
    if (cause == StoreFailure::Cause::Damaged)
        return remedy(cause);
    return remedy(cause) +
           QStringLiteral(" Your changes are kept and saved as soon as that works.");
}

QString StoreProblemReporter::remedy(StoreFailure::Cause cause)
{
    switch (cause) {
    case StoreFailure::Cause::ReadOnly:
        return QStringLiteral("Quillory may no longer write to the library's file or folder. "
                              "Check their permissions and that the disk is not read-only.");
    case StoreFailure::Cause::DiskFull:
        return QStringLiteral(
            "Check available storage space: the disk holding the library is full.");
    case StoreFailure::Cause::Busy:
        return QStringLiteral("Another program is using the library's file. Close it.");
    case StoreFailure::Cause::Damaged:
        return QStringLiteral("The library's file is damaged. Quit Quillory and restore the file "
                              "from a backup.");
    case StoreFailure::Cause::InputOutput:
        return QStringLiteral(
            "The disk could not be written. Check that it is connected and working.");
    case StoreFailure::Cause::Other:
        break;
    }
    return QStringLiteral("Check available storage space.");
}

} // namespace quillory

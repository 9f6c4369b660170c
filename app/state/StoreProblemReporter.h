#pragma once

#include <state/AppError.h>

#include <model/StoreFailure.h>

#include <QObject>
#include <optional>

namespace quillory {

class AppState;
class LibraryStore;

// Tells the user, through AppState's error report, when the library cannot be saved, and
// once at start-up when it can only be read or held folders nested too deep to show. Saving is
// retried every few seconds, so each cause is reported once: an alert dismissed for a full disk
// does not come back with every retry, a new cause is reported, and a save that succeeds again
// starts afresh.
class StoreProblemReporter final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StoreProblemReporter)

public:
    StoreProblemReporter(LibraryStore &store, AppState &state, QObject *parent = nullptr);

    // The error shown for a failed save, with advice that fits its cause.
    static AppError errorFor(const StoreFailure &failure);
    static AppError readOnlyLibrary();
    // `count` folders lay too deep and were moved up as the library was read.
    static AppError foldersMovedUp(qsizetype count, bool readOnly);
    static QString advice(StoreFailure::Cause cause);
    // What helps, without the promise that the changes are kept meanwhile.
    static QString remedy(StoreFailure::Cause cause);

private:
    AppState &m_state;
    std::optional<StoreFailure::Cause> m_reported;
};

} // namespace quillory

#pragma once

#include <QString>
#include <memory>

class QMessageBox;

namespace quillory {

// Says why Quillory cannot start: one line on standard output, and a dialog where there is
// a display, since someone starting it from the desktop's menu never sees the terminal.
class StartupFailure final
{
public:
    static inline const QString prefix = QStringLiteral("Failed to initialize model container: ");

    // Prints, and shows the dialog when there is a display; the caller then ends the process
    // with a non-zero status. `storePath` is empty when there is no place for a library.
    static void report(const QString &reason, const QString &storePath);

    static QString message(const QString &reason) { return prefix + reason; }
    static std::unique_ptr<QMessageBox> dialog(const QString &reason, const QString &storePath);
    // False on the offscreen and minimal platforms, where nobody could see a window.
    static bool hasDisplay();
};

} // namespace quillory

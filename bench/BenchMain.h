#pragma once

#include <QStringList>
#include <memory>

class QCoreApplication;

namespace quillory::bench {

// A benchmark executable can also run a named command instead of the benchmarks
// ("<executable> <name> <arguments>...", e.g. to write a fixture in a separate process so
// the benchmark process's own memory figures stay clean). Register from a static
// initializer; the command returns the exit code.
using Command = int (*)(const QStringList &arguments);
bool registerCommand(const char *name, Command command);

// The application object main() creates, after HOME and the XDG directories point at the
// throw-away directory. Without a registered factory it is a QCoreApplication; an
// executable that shows widgets registers one (from a static initializer) that makes a
// QApplication. `argc` must stay alive as long as the application.
using ApplicationFactory = std::unique_ptr<QCoreApplication> (*)(int &argc, char **argv);
bool registerApplicationFactory(ApplicationFactory factory);

} // namespace quillory::bench

#pragma once

#include <QStringList>

namespace quillory::bench {

// A benchmark executable can also run a named command instead of the benchmarks
// ("<executable> <name> <arguments>...", e.g. to write a fixture in a separate process so
// the benchmark process's own memory figures stay clean). Register from a static
// initializer; the command returns the exit code.
using Command = int (*)(const QStringList &arguments);
bool registerCommand(const char *name, Command command);

} // namespace quillory::bench

#include "BenchMain.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstring>
#include <map>
#include <string>

namespace quillory::bench {

namespace {

std::map<std::string, Command> &commands()
{
    static std::map<std::string, Command> registered;
    return registered;
}

} // namespace

bool registerCommand(const char *name, Command command)
{
    commands()[name] = command;
    return true;
}

} // namespace quillory::bench

// The store needs an application object for its autosave timer and quit hook, so the
// benchmarks run inside one. HOME and the XDG directories point at a throw-away directory
// so that nothing a benchmark does can reach the user's own settings or library.
int main(int argc, char **argv)
{
    QTemporaryDir home;
    if (!home.isValid())
        return 1;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toUtf8());
    qputenv("XDG_CACHE_HOME", (home.path() + QStringLiteral("/cache")).toUtf8());
    QCoreApplication app(argc, argv);

    if (argc >= 2) {
        const auto &registered = quillory::bench::commands();
        if (const auto it = registered.find(argv[1]); it != registered.end()) {
            QStringList arguments;
            for (int i = 2; i < argc; ++i)
                arguments.append(QString::fromLocal8Bit(argv[i]));
            return it->second(arguments);
        }
    }

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

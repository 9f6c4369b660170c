#include "BenchMain.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstring>
#include <map>
#include <memory>
#include <string>

namespace quillory::bench {

namespace {

std::map<std::string, Command> &commands()
{
    static std::map<std::string, Command> registered;
    return registered;
}

ApplicationFactory &applicationFactory()
{
    static ApplicationFactory factory = nullptr;
    return factory;
}

} // namespace

bool registerCommand(const char *name, Command command)
{
    commands()[name] = command;
    return true;
}

bool registerApplicationFactory(ApplicationFactory factory)
{
    applicationFactory() = factory;
    return true;
}

} // namespace quillory::bench

// The store needs an application object for its autosave timer and quit hook, so the
// benchmarks run inside one (see registerApplicationFactory). HOME and the XDG directories
// point at a throw-away directory so that nothing a benchmark does can reach the user's own
// settings or library.
int main(int argc, char **argv)
{
    QTemporaryDir home;
    if (!home.isValid())
        return 1;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toUtf8());
    qputenv("XDG_CACHE_HOME", (home.path() + QStringLiteral("/cache")).toUtf8());
    // A QApplication looks for a private runtime directory and warns when there is none.
    const QString runtime = home.path() + QStringLiteral("/runtime");
    if (QDir().mkdir(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
        qputenv("XDG_RUNTIME_DIR", runtime.toUtf8());
    const auto factory = quillory::bench::applicationFactory();
    const std::unique_ptr<QCoreApplication> app =
        factory != nullptr ? factory(argc, argv) : std::make_unique<QCoreApplication>(argc, argv);
    if (!app)
        return 1;

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

#include "StoreFixture.h"

#include "BenchMain.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <map>

namespace quillory::bench {

namespace {

constexpr const char *writeStoreCommand = "write-store";

// write-store <path> <count>
int writeStore(const QStringList &arguments)
{
    if (arguments.size() != 2)
        return 2;
    QString error;
    auto store = LibraryStore::open(arguments.at(0), &error);
    if (!store) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    SyntheticLibrary library = SyntheticLibrary::generate(arguments.at(1).toULongLong());
    store->insertItems(StoreFixture::adoptTagsAndFolders(*store, library));
    if (!store->save(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    return 0;
}

const bool commandRegistered = registerCommand(writeStoreCommand, writeStore);

} // namespace

std::vector<std::unique_ptr<Item>> StoreFixture::adoptTagsAndFolders(LibraryStore &store,
                                                                     SyntheticLibrary &library)
{
    for (auto &tag : library.tags)
        store.insert(std::move(tag));
    for (auto &folder : library.folders)
        store.insert(std::move(folder));
    library.tags.clear();
    library.folders.clear();
    return std::move(library.items);
}

const QString &StoreFixture::path(std::size_t itemCount)
{
    static QTemporaryDir dir;
    static std::map<std::size_t, QString> files;
    const auto known = files.find(itemCount);
    if (known != files.end())
        return known->second;
    // One folder per size: a store is known by its file name.
    const QString folder = dir.filePath(QString::number(itemCount));
    QString target;
    if (QDir().mkpath(folder)) {
        target = QDir(folder).filePath(LibraryStore::fileName);
        const int code = QProcess::execute(
            QCoreApplication::applicationFilePath(),
            {QString::fromLatin1(writeStoreCommand), target, QString::number(itemCount)});
        if (code != 0)
            target.clear();
    }
    return files.emplace(itemCount, target).first->second;
}

LibraryStore *StoreFixture::opened(std::size_t itemCount)
{
    static std::map<std::size_t, std::unique_ptr<LibraryStore>> stores;
    auto &store = stores[itemCount];
    if (!store) {
        const QString &file = path(itemCount);
        QString error;
        if (!file.isEmpty())
            store = LibraryStore::open(file, &error);
    }
    return store.get();
}

} // namespace quillory::bench

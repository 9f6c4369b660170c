// Child process for the store's crash and quit tests.
//   store_writer crash PATH  - saves batches of 50 items forever, printing "saved N" after each
//   store_writer quit PATH   - inserts and edits an item, then quits normally without saving
#include <model/Item.h>
#include <model/LibraryStore.h>

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>

using namespace quillory;
using namespace Qt::StringLiterals;

namespace {

int crashLoop(const QString &path)
{
    QString error;
    auto store = LibraryStore::open(path, &error);
    if (!store) {
        std::fprintf(stderr, "open failed: %s\n", qPrintable(error));
        return 2;
    }
    const QByteArray picture(64 * 1024, 'p'); // large rows make a kill mid-write likely
    for (int batch = int(store->items().size() / 50);; ++batch) {
        std::vector<std::unique_ptr<Item>> items;
        for (int i = 0; i < 50; ++i) {
            auto item = std::make_unique<Item>(ItemType::Image, u"batch %1"_s.arg(batch));
            item->setImageData(picture);
            items.push_back(std::move(item));
        }
        store->insertItems(std::move(items));
        if (!store->save(&error)) {
            std::fprintf(stderr, "save failed: %s\n", qPrintable(error));
            return 3;
        }
        std::printf("saved %d\n", batch + 1);
        std::fflush(stdout);
    }
}

int quitNormally(const QString &path)
{
    QString error;
    auto store = LibraryStore::open(path, &error);
    if (!store)
        return 2;
    store->setAutosaveDelay(60 * 60 * 1000); // only the quit may save
    Item *item = store->insert(std::make_unique<Item>(ItemType::WebLink, u"draft"_s));
    item->setTitle(u"edited before quit"_s);
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    const int rc = QCoreApplication::exec();
    // A real application's store outlives exec(); make sure the quit itself saved.
    std::printf("%s\n", store->hasUnsavedChanges() ? "unsaved" : "saved");
    std::fflush(stdout);
    std::_Exit(rc); // skip the destructor's save
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 1;
    const QString mode = QString::fromLocal8Bit(argv[1]);
    const QString path = QString::fromLocal8Bit(argv[2]);
    if (mode == QLatin1String("crash"))
        return crashLoop(path);
    if (mode == QLatin1String("quit"))
        return quitNormally(path);
    return 1;
}

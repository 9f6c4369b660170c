#pragma once

#include <intake/ItemEnricher.h>
#include <intake/ItemIntake.h>
#include <metadata/MetadataService.h>
#include <model/Item.h>
#include <model/LibraryStore.h>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace quillory::test {

// A library of its own in a temporary folder, with the enricher and the intake that add to it.
class IntakeBench
{
public:
    explicit IntakeBench(MetadataService &metadata = MetadataService::shared()) { open(metadata); }

    // Opens the library afresh, as a new start of the program would.
    void open(MetadataService &metadata = MetadataService::shared())
    {
        intake.reset();
        enricher.reset();
        store.reset();
        QString error;
        store = LibraryStore::open(dir.filePath(QStringLiteral("library.store")), &error);
        if (!store) {
            ADD_FAILURE() << error.toStdString();
            return;
        }
        store->setRetryDelay(50);
        enricher = std::make_unique<ItemEnricher>(*store, metadata);
        intake = std::make_unique<ItemIntake>(*store, *enricher);
    }

    // Adds `link` as a person would and waits until its details are fetched.
    Item *addLink(const QUrl &link)
    {
        QSignalSpy finished(enricher.get(), &ItemEnricher::finished);
        Item *item = intake->createItem(link);
        EXPECT_NE(item, nullptr);
        EXPECT_TRUE(finished.wait(20000));
        return item;
    }

    QTemporaryDir dir;
    std::unique_ptr<LibraryStore> store;
    std::unique_ptr<ItemEnricher> enricher;
    std::unique_ptr<ItemIntake> intake;
};

} // namespace quillory::test

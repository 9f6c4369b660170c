#include "DeepTrees.h"
#include "FaultyDisk.h"

#include <model/Item.h>
#include <model/LibraryStore.h>
#include <state/AppState.h>
#include <state/StoreProblemReporter.h>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace quillory;
using namespace Qt::StringLiterals;
using quillory::test::FaultyDisk;

namespace {

class StoreProblemReporterTest : public ::testing::Test
{
protected:
    std::unique_ptr<LibraryStore> openStore()
    {
        QString error;
        auto store = LibraryStore::open(m_dir.filePath(u"default.store"_s), &error);
        EXPECT_TRUE(store) << qPrintable(error);
        store->setAutosaveDelay(60000);
        store->setRetryDelay(20);
        return store;
    }

    // What the window does when the user closes the alert.
    void dismiss() { m_state.setShowErrorAlert(false); }

    QTemporaryDir m_dir;
    AppState m_state;
};

} // namespace

TEST_F(StoreProblemReporterTest, EachCauseIsReportedOnceUntilSavingWorksAgain)
{
    FaultyDisk disk;
    auto store = openStore();
    StoreProblemReporter reporter(*store, m_state);
    QSignalSpy failed(store.get(), &LibraryStore::saveFailed);
    QSignalSpy alerts(&m_state, &AppState::showErrorAlertChanged);

    disk.setFull(true);
    store->insert(std::make_unique<Item>(ItemType::WebLink, u"a"_s));
    EXPECT_FALSE(store->save());
    ASSERT_TRUE(m_state.showErrorAlert());
    const AppError shown = *m_state.currentError();
    EXPECT_TRUE(shown.errorDescription().startsWith(u"Storage Error: "_s));
    EXPECT_EQ(shown.recoverySuggestion(),
              StoreProblemReporter::advice(StoreFailure::Cause::DiskFull));
    EXPECT_TRUE(shown.recoverySuggestion().contains(u"storage space"_s));
    dismiss();

    // The retries go on failing for the same reason: the dismissed alert stays dismissed.
    ASSERT_TRUE(failed.wait(2000));
    ASSERT_TRUE(failed.wait(2000));
    EXPECT_FALSE(m_state.showErrorAlert());
    EXPECT_EQ(alerts.count(), 2); // raised once, dismissed once

    // Saving works again, then fails again: that is news.
    disk.setFull(false);
    QSignalSpy recovered(store.get(), &LibraryStore::saveRecovered);
    ASSERT_TRUE(recovered.wait(2000));
    disk.setFull(true);
    store->items().front()->setTitle(u"b"_s);
    EXPECT_FALSE(store->save());
    EXPECT_TRUE(m_state.showErrorAlert());

    // Each cause gets advice of its own.
    const QString readOnly = StoreProblemReporter::advice(StoreFailure::Cause::ReadOnly);
    const QString busy = StoreProblemReporter::advice(StoreFailure::Cause::Busy);
    EXPECT_TRUE(readOnly.contains(u"permissions"_s));
    EXPECT_FALSE(readOnly.contains(u"storage space"_s));
    EXPECT_TRUE(busy.contains(u"Another program"_s));
    EXPECT_EQ(
        StoreProblemReporter::errorFor({StoreFailure::Cause::Busy, u"locked"_s}).errorDescription(),
        u"Storage Error: locked"_s);
}

TEST_F(StoreProblemReporterTest, ReadOnlyLibraryIsAnnouncedOnceWhenItOpens)
{
    openStore().reset(); // a library to open again
    FaultyDisk disk;
    disk.setReadOnly(true);
    auto store = openStore();
    ASSERT_TRUE(store->isReadOnly());
    StoreProblemReporter reporter(*store, m_state);
    ASSERT_TRUE(m_state.showErrorAlert());
    EXPECT_EQ(m_state.currentError(), StoreProblemReporter::readOnlyLibrary());
    dismiss();
    // Browsing writes nothing, so nothing more is said.
    EXPECT_FALSE(store->insert(std::make_unique<Item>(ItemType::WebLink, u"a"_s)));
    EXPECT_TRUE(store->save());
    EXPECT_FALSE(m_state.showErrorAlert());
}

TEST_F(StoreProblemReporterTest, FoldersMovedUpWhenReadAreAnnouncedOnce)
{
    openStore().reset();
    quillory::test::DeepTrees::addToStore(m_dir.filePath(u"default.store"_s), 100'000);
    auto store = openStore();
    {
        StoreProblemReporter reporter(*store, m_state);
        ASSERT_TRUE(m_state.showErrorAlert());
        EXPECT_EQ(m_state.currentError(), StoreProblemReporter::foldersMovedUp(99'936, false));
        EXPECT_TRUE(m_state.currentError()->errorDescription().contains(
            u"folders lay deeper than 64 levels and were moved up to level 64."_s))
            << m_state.currentError()->errorDescription().toStdString();
        dismiss();
    }
    ASSERT_TRUE(store->save());
    store.reset();

    // Saved where they now lie: the next start has nothing to say.
    store = openStore();
    StoreProblemReporter reporter(*store, m_state);
    EXPECT_FALSE(m_state.showErrorAlert());
}

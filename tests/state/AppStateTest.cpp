#include <model/Folder.h>
#include <model/Item.h>
#include <model/LibraryStore.h>
#include <model/Tag.h>
#include <state/AppState.h>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace quillory;
using namespace Qt::StringLiterals;

TEST(AppState, NotifiesOnlyOnRealChange)
{
    AppState state;
    QSignalSpy sort(&state, &AppState::sortOrderChanged);
    state.setSortOrder(SortOrder::DateAddedDescending);
    EXPECT_EQ(sort.count(), 0);
    state.setSortOrder(SortOrder::TitleAscending);
    state.setSortOrder(SortOrder::TitleAscending);
    EXPECT_EQ(sort.count(), 1);

    QSignalSpy query(&state, &AppState::searchQueryChanged);
    state.setSearchQuery(u"a"_s);
    state.setSearchQuery(u"a"_s);
    EXPECT_EQ(query.count(), 1);

    QSignalSpy type(&state, &AppState::contentTypeFilterChanged);
    state.setContentTypeFilter(ItemType::Image);
    state.setContentTypeFilter(ItemType::Image);
    state.setContentTypeFilter(std::nullopt);
    EXPECT_EQ(type.count(), 2);

    // Filter tags compare as a set of ids.
    Tag a(u"a"_s, QColor());
    Tag b(u"b"_s, QColor());
    Tag copyOfA(u"a again"_s, QColor());
    copyOfA.setId(a.id());
    QSignalSpy changed(&state, &AppState::filterTagsChanged);
    state.setFilterTags({&a, &b});
    state.setFilterTags({&b, &a});
    state.setFilterTags({&b, &copyOfA, &a});
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(state.filterTags().size(), 2);
    state.setFilterTags({&a});
    EXPECT_EQ(changed.count(), 2);

    // A second error replaces the first under the alert already raised.
    QSignalSpy alert(&state, &AppState::showErrorAlertChanged);
    QSignalSpy error(&state, &AppState::currentErrorChanged);
    state.showError(AppError::storageError(u"disk full"_s));
    state.showError(AppError::importError(u"bad file"_s));
    EXPECT_EQ(alert.count(), 1);
    EXPECT_EQ(error.count(), 2);
    EXPECT_EQ(state.currentError()->id(), u"import_bad file"_s);
}

TEST(AppState, ForgetsRecordsTheStoreDeletes)
{
    QTemporaryDir dir;
    QString message;
    auto store = LibraryStore::open(dir.filePath(u"s.store"_s), &message);
    ASSERT_TRUE(store);
    AppState state;
    state.followStore(*store);
    Folder *folder = store->insert(std::make_unique<Folder>(u"f"_s, QString(), QColor()));
    Item *item = store->insert(std::make_unique<Item>(ItemType::WebLink, u"i"_s));
    Tag *keep = store->insert(std::make_unique<Tag>(u"keep"_s, QColor()));
    Tag *drop = store->insert(std::make_unique<Tag>(u"drop"_s, QColor()));
    state.setSelectedFolder(folder);
    state.setEditingItem(item);
    state.setSelectedItem(item);
    state.setFilterTags({keep, drop});

    store->remove(folder);
    store->remove(item);
    store->remove(drop);
    EXPECT_EQ(state.selectedFolder(), nullptr);
    EXPECT_EQ(state.editingItem(), nullptr);
    EXPECT_EQ(state.selectedItem(), nullptr);
    EXPECT_EQ(state.filterTags(), QList<Tag *>{keep});
}

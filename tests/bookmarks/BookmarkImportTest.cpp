#include "DeepTrees.h"
#include "TestFiles.h"

#include <FaultyDisk.h>
#include <bookmarks/BookmarkExportJob.h>
#include <bookmarks/BookmarkImportJob.h>
#include <bookmarks/BookmarkImporter.h>
#include <model/Folder.h>
#include <model/FolderNesting.h>
#include <model/Item.h>
#include <model/LibraryStore.h>
#include <model/Tag.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace quillory;
using namespace Qt::StringLiterals;

namespace {

QString fixturePath(const char *name)
{
    return QStringLiteral(QUILLORY_BOOKMARK_FIXTURES "/") + QLatin1StringView(name);
}

// Folder names from the top down, joined by "/"; empty for no folder.
QString pathOf(const Folder *folder)
{
    QStringList names;
    for (; folder != nullptr; folder = folder->parent())
        names.prepend(folder->name());
    return names.join(u'/');
}

QStringList folderPaths(const LibraryStore &store)
{
    QStringList paths;
    for (const Folder *folder : store.folders())
        paths.append(pathOf(folder));
    paths.sort();
    return paths;
}

QStringList tagNames(const Item &item)
{
    QStringList names;
    for (const Tag *tag : item.tags())
        names.append(tag->name());
    names.sort();
    return names;
}

Item *itemTitled(const LibraryStore &store, const QString &title)
{
    for (Item *item : store.items()) {
        if (item->title() == title)
            return item;
    }
    return nullptr;
}

class BookmarkImportTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        store = open(u"library.store"_s);
        ASSERT_TRUE(store);
    }

    std::unique_ptr<LibraryStore> open(const QString &name)
    {
        QString error;
        auto opened = LibraryStore::open(dir.filePath(name), &error);
        EXPECT_TRUE(opened) << error.toStdString();
        return opened;
    }

    QString writeFile(const QString &name, const QByteArray &bytes)
    {
        return test::writeTestFile(dir, name, bytes);
    }

    // Runs an import or an export to its end; the failure message, or empty on success.
    template <typename Job> static QString run(Job &job)
    {
        QString failure;
        bool over = false;
        QObject::connect(&job, &Job::failed, [&](const QString &m) {
            failure = m;
            over = true;
        });
        QObject::connect(&job, &Job::finished, [&] { over = true; });
        job.start(); // a job already started goes on as it is
        EXPECT_TRUE(QTest::qWaitFor([&] { return over; }, 30000));
        return failure;
    }

    QString import(LibraryStore &s, const QString &path, BookmarkImportResult *result = nullptr)
    {
        BookmarkImportJob job(s, path);
        return runImport(job, result);
    }

    static QString runImport(BookmarkImportJob &job, BookmarkImportResult *result = nullptr)
    {
        if (result != nullptr)
            QObject::connect(&job, &BookmarkImportJob::finished,
                             [result](const BookmarkImportResult &r) { *result = r; });
        return run(job);
    }

    static QString exportTo(LibraryStore &s, const QString &path, int *count = nullptr)
    {
        BookmarkExportJob job(s, path);
        return runExport(job, count);
    }

    static QString runExport(BookmarkExportJob &job, int *count = nullptr)
    {
        if (count != nullptr)
            QObject::connect(&job, &BookmarkExportJob::finished,
                             [count](const QString &, int n) { *count = n; });
        return run(job);
    }

    void reopen()
    {
        store.reset();
        store = open(u"library.store"_s);
    }

    QTemporaryDir dir;
    std::unique_ptr<LibraryStore> store;
};

} // namespace

TEST_F(BookmarkImportTest, ImportsFirefoxBookmarksWithTheirFoldersTagsNotesAndDates)
{
    BookmarkImportResult result;
    ASSERT_EQ(import(*store, fixturePath("firefox.html"), &result), QString());
    EXPECT_EQ(result.bookmarksImported, 6);
    EXPECT_EQ(result.foldersCreated, 4);
    EXPECT_EQ(result.foldersReused, 0);
    EXPECT_EQ(result.tagsCreated, 2);
    EXPECT_EQ(result.skipped, 4);
    EXPECT_EQ(result.pages->size(), 6u);

    // What the file holds is BookmarkFileTest's, how a bookmark's parts land in the library the
    // round trip's; here, the counts and that both bookmarks tagged "weekend" share one tag.
    ASSERT_EQ(store->items().size(), 6u);
    EXPECT_EQ(store->tags().size(), 2u);
    EXPECT_EQ(itemTitled(*store, u"A video"_s)->type(), ItemType::Video);

    // It was saved, not only shown.
    reopen();
    EXPECT_EQ(store->items().size(), 6u);
    EXPECT_EQ(pathOf(itemTitled(*store, u"A long read"_s)->folder()),
              u"Bookmarks Toolbar/Reading"_s);
}

TEST_F(BookmarkImportTest, ReusesTheUsersOwnFolderAndTagByName)
{
    Folder *mine = store->insert(std::make_unique<Folder>(u"Reading"_s, u"book"_s, QColor()));
    Tag *tag = store->insert(std::make_unique<Tag>(u"Weekend"_s, QColor()));
    auto item = std::make_unique<Item>(ItemType::WebLink, u"Already here"_s,
                                       QUrl(u"https://here.example/"_s));
    Item *already = store->insert(std::move(item));
    already->moveToFolder(mine);
    ASSERT_TRUE(store->save());

    const QString path = writeFile(
        u"b.html"_s, "<!DOCTYPE NETSCAPE-Bookmark-file-1><DL><p>"
                     "<DT><H3>Reading</H3><DL><p>"
                     "<DT><A HREF=\"https://a.example/\" TAGS=\"weekend,new\">A</A>"
                     "<DT><H3>Inner</H3><DL><p><DT><A HREF=\"https://b.example/\">B</A></DL><p>"
                     "</DL><p>");
    BookmarkImportResult result;
    ASSERT_EQ(import(*store, path, &result), QString());
    EXPECT_EQ(result.foldersReused, 1);
    EXPECT_EQ(result.foldersCreated, 1);
    EXPECT_EQ(result.tagsCreated, 1);
    EXPECT_EQ(store->folders().size(), 2u);
    EXPECT_EQ(mine->items().size(), 2u);
    EXPECT_EQ(mine->iconName(), u"book"_s);
    ASSERT_EQ(mine->children().size(), 1u);
    EXPECT_EQ(mine->children().first()->name(), u"Inner"_s);
    Item *a = itemTitled(*store, u"A"_s);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->folder(), mine);
    EXPECT_TRUE(a->hasTag(*tag));
    EXPECT_TRUE(tag->items().contains(a));

    reopen();
    EXPECT_EQ(folderPaths(*store), (QStringList{u"Reading"_s, u"Reading/Inner"_s}));
    EXPECT_EQ(tagNames(*itemTitled(*store, u"A"_s)), (QStringList{u"Weekend"_s, u"new"_s}));
    EXPECT_EQ(pathOf(itemTitled(*store, u"Already here"_s)->folder()), u"Reading"_s);
}

// The library changes while the file is read: what the import meant to reuse is gone.
TEST_F(BookmarkImportTest, AFolderOrTagDeletedDuringTheImportLeavesItsBookmarksUnlinked)
{
    store->insert(std::make_unique<Folder>(u"Reading"_s, u"folder"_s, QColor()));
    store->insert(std::make_unique<Tag>(u"weekend"_s, QColor()));
    ASSERT_TRUE(store->save());
    const QString path =
        writeFile(u"b.html"_s, "<!DOCTYPE NETSCAPE-Bookmark-file-1><DL><p>"
                               "<DT><H3>Reading</H3><DL><p>"
                               "<DT><H3>Inner</H3><DL><p></DL><p>"
                               "<DT><A HREF=\"https://a.example/\" TAGS=\"weekend\">A</A>"
                               "</DL><p>");
    BookmarkImportJob job(*store, path);
    job.start();
    store->remove(store->folders().front());
    store->remove(store->tags().front());
    ASSERT_EQ(runImport(job), QString());
    for (const char *when : {"imported", "reopened"}) {
        SCOPED_TRACE(when);
        Item *a = itemTitled(*store, u"A"_s);
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->folder(), nullptr);
        EXPECT_TRUE(a->tags().isEmpty());
        EXPECT_EQ(folderPaths(*store), QStringList{u"Inner"_s});
        ASSERT_TRUE(store->save());
        reopen();
    }
}

TEST_F(BookmarkImportTest, ALinkWithoutATitleIsNamedAfterItsHostAndFetchesOne)
{
    const QString path =
        writeFile(u"b.html"_s,
                  "<!DOCTYPE NETSCAPE-Bookmark-file-1><DL><DT><A HREF=\"https://Host.example/p\">"
                  "</A><DT><A HREF=\"mailto:a@example.com\">Mail</A>"
                  "<DT><A HREF=\"not an address at all\">Broken</A>");
    BookmarkImportResult result;
    ASSERT_EQ(import(*store, path, &result), QString());
    ASSERT_EQ(store->items().size(), 2u);
    EXPECT_NE(itemTitled(*store, u"host.example"_s), nullptr);
    EXPECT_EQ(result.skipped, 1);
    // Only pages are offered for fetching, and only the untitled one may take the page's.
    ASSERT_EQ(result.pages->size(), 1u);
    EXPECT_FALSE(result.pages->at(0).keepTitle);
}

TEST_F(BookmarkImportTest, AHostileFileIsCutToSizeNotStoredWhole)
{
    const QByteArray title(10 * 1024 * 1024, 'x');
    const QString path =
        writeFile(u"b.html"_s, "<!DOCTYPE NETSCAPE-Bookmark-file-1><DL><DT><H3>" + title +
                                   "</H3><DL><DT><A HREF=\"https://a.example/\" TAGS=\"" + title +
                                   "\">" + title + "</A><DD>" + title);
    ASSERT_EQ(import(*store, path), QString());
    ASSERT_EQ(store->items().size(), 1u);
    const Item &item = *store->items().front();
    EXPECT_LE(item.title().size(), BookmarkImporter::nameLimit + 1);
    EXPECT_LE(item.note()->size(), BookmarkImporter::noteLimit + 1);
    EXPECT_LE(item.folder()->name().size(), BookmarkImporter::nameLimit + 1);
    EXPECT_LE(item.tags().front()->name().size(), BookmarkImporter::nameLimit + 1);
}

// Each tag given to an item is checked against those it has, so a list past any real use
// is cut: all 200,000 would not be linked within the test's time.
TEST_F(BookmarkImportTest, ABookmarkListingTooManyTagsKeepsTheFirstOnes)
{
    QByteArray names;
    for (int i = 0; i < 200'000; ++i)
        names += 't' + QByteArray::number(i) + ",T" + QByteArray::number(i) + ',';
    const QString path = writeFile(u"b.html"_s, "<!DOCTYPE NETSCAPE-Bookmark-file-1><DL><DT>"
                                                "<A HREF=\"https://a.example/\" TAGS=\"" +
                                                    names + "\">A</A>");
    BookmarkImportResult result;
    ASSERT_EQ(import(*store, path, &result), QString());
    ASSERT_EQ(store->items().size(), 1u);
    const QList<Tag *> &tags = store->items().front()->tags();
    ASSERT_EQ(tags.size(), BookmarkImporter::tagLimit);
    for (qsizetype i = 0; i < tags.size(); ++i)
        ASSERT_EQ(tags[i]->name(), u"t"_s + QString::number(i));
    EXPECT_EQ(result.tagsCreated, BookmarkImporter::tagLimit);
    EXPECT_EQ(store->tags().size(), size_t(BookmarkImporter::tagLimit));
}

TEST_F(BookmarkImportTest, AFailedImportOrAReadOnlyLibraryChangesNothing)
{
    ASSERT_EQ(import(*store, fixturePath("chromium.html")), QString());
    const size_t items = store->items().size();
    const size_t folders = store->folders().size();

    EXPECT_EQ(import(*store, dir.filePath(u"missing.html"_s)),
              u"The file missing.html could not be read: it does not exist."_s);
    EXPECT_EQ(import(*store, writeFile(u"notes.txt"_s, "just some notes")),
              u"The file is not a bookmark file."_s);
    {
        test::FaultyDisk disk;
        disk.setFull(true);
        EXPECT_FALSE(import(*store, fixturePath("firefox.html")).isEmpty());
    }
    EXPECT_EQ(store->items().size(), items);
    EXPECT_EQ(store->folders().size(), folders);

    reopen();
    EXPECT_EQ(store->items().size(), items);
    EXPECT_EQ(store->folders().size(), folders);

    test::FaultyDisk disk;
    disk.setReadOnly(true);
    reopen();
    ASSERT_TRUE(store->isReadOnly());
    EXPECT_EQ(import(*store, fixturePath("firefox.html")), u"The library can only be read."_s);
    EXPECT_EQ(store->items().size(), items);
    store.reset();
}

TEST_F(BookmarkImportTest, ARoundTripKeepsFoldersItemsTagsAndNotes)
{
    Folder *work = store->insert(std::make_unique<Folder>(u"Work"_s, u"folder"_s, QColor()));
    Folder *deep = store->insert(std::make_unique<Folder>(u"Deep"_s, u"folder"_s, QColor(), work));
    store->insert(std::make_unique<Folder>(u"Empty"_s, u"folder"_s, QColor()));
    Tag *red = store->insert(std::make_unique<Tag>(u"red"_s, QColor()));
    Tag *blue = store->insert(std::make_unique<Tag>(u"blue & green"_s, QColor()));
    struct Source
    {
        QString title;
        QString url;
        Folder *folder;
        QList<Tag *> tags;
        QString note;
    };
    const std::vector<Source> sources{
        {u"One"_s, u"https://one.example/a?b=1&c=2"_s, work, {red}, u"first\nnote"_s},
        {u"Two \"quoted\" <b>"_s, u"https://two.example/"_s, deep, {red, blue}, QString()},
        {u"Three"_s, u"https://three.example/x.pdf"_s, nullptr, {}, u"a note"_s},
    };
    for (const Source &s : sources) {
        Item *item = store->insert(
            std::make_unique<Item>(ItemType::detect(QUrl(s.url)), s.title, QUrl(s.url)));
        item->setCreatedAt(QDateTime::fromMSecsSinceEpoch(1'700'000'000'000, Qt::UTC));
        item->moveToFolder(s.folder);
        for (Tag *t : s.tags)
            item->addTag(t);
        if (!s.note.isEmpty())
            item->setNote(s.note);
    }
    // A picture has no address and no place in a bookmark file.
    store->insert(std::make_unique<Item>(ItemType::Screenshot, u"Picture"_s));

    int exported = 0;
    const QString path = dir.filePath(u"bookmarks.html"_s);
    ASSERT_EQ(exportTo(*store, path, &exported), QString());
    EXPECT_EQ(exported, 3);

    auto fresh = open(u"fresh.store"_s);
    ASSERT_EQ(import(*fresh, path), QString());
    EXPECT_EQ(folderPaths(*fresh), (QStringList{u"Empty"_s, u"Work"_s, u"Work/Deep"_s}));
    ASSERT_EQ(fresh->items().size(), 3u);
    for (const Source &s : sources) {
        SCOPED_TRACE(s.title.toStdString());
        Item *item = itemTitled(*fresh, s.title);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->urlString(), s.url);
        EXPECT_EQ(pathOf(item->folder()), pathOf(s.folder));
        QStringList names;
        for (Tag *t : s.tags)
            names.append(t->name());
        names.sort();
        EXPECT_EQ(tagNames(*item), names);
        EXPECT_EQ(item->note().value_or(QString()), s.note);
        EXPECT_EQ(item->createdAtMSecs(), 1'700'000'000'000);
        EXPECT_EQ(item->type(), ItemType::detect(QUrl(s.url)));
    }
}

// The export copies the library a few milliseconds at a time; what changes meanwhile must
// neither crash it nor reach the file as it was, and a file it cannot write is no file.
TEST_F(BookmarkImportTest, WhatIsDeletedWhileTheExportCopiesIsLeftOut)
{
    Folder *folder = store->insert(std::make_unique<Folder>(u"Soon gone"_s, u"folder"_s, QColor()));
    store->insert(std::make_unique<Item>(ItemType::WebLink, u"Kept"_s,
                                         QUrl(u"https://kept.example/"_s), std::nullopt, folder));
    Item *gone = store->insert(
        std::make_unique<Item>(ItemType::WebLink, u"Gone"_s, QUrl(u"https://gone.example/"_s)));
    const QString path = dir.filePath(u"during.html"_s);
    BookmarkExportJob job(*store, path);
    job.start();
    store->remove(gone);
    store->remove(folder);
    int count = -1;
    ASSERT_EQ(runExport(job, &count), QString());
    EXPECT_EQ(count, 1);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray written = file.readAll();
    EXPECT_TRUE(written.contains("https://kept.example/"));
    EXPECT_FALSE(written.contains("https://gone.example/"));

    // One that cannot be saved says why and leaves no file.
    const QString nowhere = dir.filePath(u"no/such/folder/bookmarks.html"_s);
    const QString failure = exportTo(*store, nowhere);
    EXPECT_TRUE(failure.startsWith(u"The bookmarks could not be saved to bookmarks.html: "_s))
        << failure.toStdString();
    EXPECT_FALSE(QFile::exists(nowhere));
}

// A bookmark file nesting its folders a hundred thousand levels deep, imported twice: the
// tree is cut at the deepest level the library shows, the summary says how many folders
// moved up, and the second import reuses every folder where the first one put it.
TEST_F(BookmarkImportTest, FoldersNestedTooDeepAreMovedUpAndCounted)
{
    constexpr int depth = 100'000;
    const QString file = writeFile(u"deep.html"_s, test::DeepTrees::bookmarkFile(depth));
    BookmarkImportResult result;
    ASSERT_EQ(import(*store, file, &result), QString());
    EXPECT_EQ(result.foldersCreated, depth);
    EXPECT_EQ(result.foldersMovedUp, depth - FolderNesting::maxDepth);
    EXPECT_TRUE(result.summary().endsWith(
        u"folders lay deeper than 64 levels and were moved up to level 64."_s))
        << result.summary().toStdString();
    ASSERT_EQ(store->folders().size(), size_t(depth));
    for (const Folder *f : store->folders()) {
        int levels = 1;
        for (const Folder *up = f->parent(); up != nullptr; up = up->parent())
            ++levels;
        ASSERT_LE(levels, FolderNesting::maxDepth) << f->name().toStdString();
    }
    const Item *deep = itemTitled(*store, u"Deep"_s);
    ASSERT_NE(deep, nullptr);
    ASSERT_NE(deep->folder(), nullptr);
    EXPECT_EQ(deep->folder()->name(), u"Level 99999"_s);
    EXPECT_EQ(deep->folder()->parent()->name(), u"Level 62"_s);

    ASSERT_EQ(import(*store, file, &result), QString());
    EXPECT_EQ(result.foldersCreated, 0);
    EXPECT_EQ(result.foldersReused, depth);
    EXPECT_EQ(store->folders().size(), size_t(depth));
    // The bookmark is added again, as any link added twice is (Find Duplicates merges them),
    // into the folder the first import made.
    ASSERT_EQ(store->items().size(), 2u);
    EXPECT_EQ(store->items().front()->folder(), store->items().back()->folder());
}

// The interface's front to the kept pages: work on its two threads, answers on this one.
#include <model/LibraryStore.h>
#include <pages/KeptPages.h>

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace quillory {
namespace {

ServedCopy servedPage(const QString &words)
{
    ServedCopy served;
    served.fetchedAt = 1'700'000'000'000;
    served.finalUrl = u"https://example.org/a"_s;
    served.httpStatus = 200;
    served.page = "<html><body><article><p>" + words.toUtf8() + "</p></article></body></html>";
    return served;
}

TEST(KeptPages, KeepsSearchesAndRemovesOnItsThreadsAndAnswersOnlyTheLatestSearch)
{
    QTemporaryDir dir;
    QString error;
    const auto library = LibraryStore::open(dir.filePath(u"library.store"_s), &error);
    ASSERT_TRUE(library) << error.toStdString();
    KeptPages pages(library->filePath());
    QSignalSpy kept(&pages, &KeptPages::kept);
    std::vector<QUuid> ids;
    for (int i = 0; i < 40; ++i) {
        ids.push_back(QUuid::createUuid());
        pages.keep(ids.back(), servedPage(u"heron number%1 wading in the shallows"_s.arg(i)));
    }
    // Searches asked while the pages are still being kept, one after another: only the last
    // is answered, and it sees every page kept before it was run.
    int answered = 0;
    std::vector<PageMatch> last;
    QObject context;
    pages.waitForIdle();
    for (const QString &word : {u"heron"_s, u"wading"_s, u"number7"_s}) {
        pages.search(word, 100, &context, [&](std::vector<PageMatch> found) {
            ++answered;
            last = std::move(found);
        });
    }
    pages.waitForIdle();
    ASSERT_TRUE(QTest::qWaitFor([&] { return answered > 0; }, 5000));
    QCoreApplication::processEvents();
    EXPECT_EQ(answered, 1);
    ASSERT_EQ(last.size(), 1u);
    EXPECT_EQ(last.front().itemId, ids[7]);
    EXPECT_EQ(kept.size(), 40);

    // A context destroyed before its answer arrives never hears it.
    bool late = false;
    {
        QObject gone;
        pages.totalSize(&gone, [&](std::optional<qint64>) { late = true; });
        pages.waitForIdle();
    }
    QCoreApplication::processEvents();
    EXPECT_FALSE(late);

    std::optional<bool> removed;
    // Removing and reading run on different threads: the read asked after the removal is
    // done sees it.
    pages.remove({ids[0], ids[1]});
    pages.waitForIdle();
    pages.itemsWithCopies(&context, [&](QSet<QUuid> withCopies) {
        removed = !withCopies.contains(ids[0]) && withCopies.contains(ids[2]);
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return removed.has_value(); }, 5000));
    EXPECT_TRUE(*removed);

    // Work still waiting when the object goes is dropped, not run against a closed store.
    for (int i = 0; i < 200; ++i)
        pages.keep(QUuid::createUuid(), servedPage(u"egret"_s));
}

TEST(KeptPages, ACopyStoreThatCannotOpenSaysSoOnceAndAnswersWithNothing)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"library.store"_s);
    QFile junk(path);
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(8192, '\x5a'));
    junk.close();

    KeptPages pages(path);
    QSignalSpy unavailable(&pages, &KeptPages::unavailable);
    QObject context;
    int answers = 0;
    pages.keep(QUuid::createUuid(), servedPage(u"kingfisher"_s));
    pages.read(QUuid::createUuid(), &context,
               [&](std::optional<KeptReading> reading) { answers += reading ? 100 : 1; });
    pages.search(u"kingfisher"_s, 10, &context,
                 [&](std::vector<PageMatch> found) { answers += found.empty() ? 1 : 100; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return answers >= 2; }, 5000));
    EXPECT_EQ(answers, 2);
    EXPECT_EQ(unavailable.size(), 1);
    EXPECT_EQ(QFile(path).size(), 8192) << "a file that is not ours is left alone";
}

} // namespace
} // namespace quillory

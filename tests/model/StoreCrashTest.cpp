#include <model/Item.h>
#include <model/LibraryStore.h>

#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

using namespace quillory;
using namespace Qt::StringLiterals;

namespace {

int savedBatches(QProcess &writer)
{
    int last = 0;
    while (writer.canReadLine()) {
        const QByteArray line = writer.readLine().trimmed();
        if (line.startsWith("saved "))
            last = line.mid(6).toInt();
    }
    return last;
}

} // namespace

TEST(StoreCrash, KillDuringWritesLeavesTheLastSavedState)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"crash.store"_s);
    auto *random = QRandomGenerator::global();
    int confirmed = 0;
    for (int round = 0; round < 4; ++round) {
        QProcess writer;
        writer.start(QStringLiteral(STORE_WRITER_PATH), {u"crash"_s, path});
        ASSERT_TRUE(writer.waitForStarted());
        // Let it commit a few batches, then kill it at an arbitrary moment.
        int seen = 0;
        while (seen < confirmed + 2 && writer.waitForReadyRead(20000))
            seen = std::max(seen, savedBatches(writer));
        QThread::usleep(random->bounded(20000));
        writer.kill();
        writer.waitForFinished();
        seen = std::max(seen, savedBatches(writer));
        ASSERT_GE(seen, confirmed + 2)
            << qPrintable(QString::fromLocal8Bit(writer.readAllStandardError()));

        QString error;
        auto store = LibraryStore::open(path, &error);
        ASSERT_TRUE(store) << qPrintable(error);
        // Every reported save is there, and no batch is torn.
        QMap<QString, int> perBatch;
        for (const Item *item : store->items())
            ++perBatch[item->title()];
        EXPECT_GE(int(store->items().size()), seen * 50);
        for (auto it = perBatch.cbegin(); it != perBatch.cend(); ++it)
            EXPECT_EQ(it.value(), 50) << qPrintable(it.key());
        const Item *any = store->items().front();
        EXPECT_EQ(any->imageData().value_or(QByteArray()).size(), 64 * 1024);
        confirmed = int(store->items().size() / 50);
    }
}

TEST(StoreCrash, ChangesArePersistedByANormalQuit)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"quit.store"_s);
    QProcess writer;
    writer.start(QStringLiteral(STORE_WRITER_PATH), {u"quit"_s, path});
    ASSERT_TRUE(writer.waitForFinished(30000));
    EXPECT_EQ(writer.exitCode(), 0);
    EXPECT_EQ(writer.readAllStandardOutput().trimmed(), QByteArray("saved"));

    QString error;
    auto store = LibraryStore::open(path, &error);
    ASSERT_TRUE(store) << qPrintable(error);
    ASSERT_EQ(store->items().size(), 1u);
    EXPECT_EQ(store->items().front()->title(), u"edited before quit"_s);
}

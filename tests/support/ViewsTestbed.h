#pragma once

#include "Eventually.h"
#include "TestFiles.h"

#include <model/Folder.h>
#include <model/Item.h>
#include <model/LibraryStore.h>
#include <model/Tag.h>

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

// What the view tests share: a library in a temporary folder, and reaching a sheet's parts by
// name or by the text a person reads on them.
namespace quillory::test {

template <typename T = QWidget> T *child(const QWidget &root, const char *objectName)
{
    return root.findChild<T *>(QString::fromLatin1(objectName));
}

// Clicks the button named `objectName` with the mouse; a missing one fails the test.
inline void press(QWidget &root, const char *objectName)
{
    auto *button = child<QAbstractButton>(root, objectName);
    ASSERT_NE(button, nullptr) << objectName;
    QTest::mouseClick(button, Qt::LeftButton);
}

// The button under `root` whose text is `text`, or null.
inline QAbstractButton *buttonLabelled(const QWidget &root, const QString &text)
{
    for (QAbstractButton *button : root.findChildren<QAbstractButton *>()) {
        if (button->text() == text)
            return button;
    }
    return nullptr;
}

// Clicks the button labelled `text` (a question's answer); a missing one fails the test.
inline void answer(const QWidget &dialog, const QString &text)
{
    QAbstractButton *button = buttonLabelled(dialog, text);
    ASSERT_NE(button, nullptr) << "no button " << text.toStdString();
    button->click();
}

class StoreTestbed
{
protected:
    StoreTestbed() : m_store(openStore(QStringLiteral("library.store"))) {}

    std::unique_ptr<LibraryStore> openStore(const QString &name) const
    {
        QString error;
        auto store = LibraryStore::open(m_dir.filePath(name), &error);
        EXPECT_TRUE(store) << error.toStdString();
        return store;
    }

    Tag *addTag(const QString &name, int sortOrder = 0)
    {
        Tag *tag = m_store->insert(std::make_unique<Tag>(name, QColor(255, 59, 48)));
        tag->setSortOrder(sortOrder);
        return tag;
    }

    QTemporaryDir m_dir;
    std::unique_ptr<LibraryStore> m_store;
};

} // namespace quillory::test

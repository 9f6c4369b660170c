#include <views/widgets/LibraryCountsGroup.h>

#include <model/LibraryStore.h>

#include <QLabel>

namespace quillory {

LibraryCountsGroup::LibraryCountsGroup(const QString &title, QWidget *parent)
    : FormGroup(title, parent), m_items(addValueRow(QStringLiteral("Items"), QString())),
      m_folders(addValueRow(QStringLiteral("Folders"), QString())),
      m_tags(addValueRow(QStringLiteral("Tags"), QString()))
{
    m_items->setObjectName(QStringLiteral("itemsCount"));
    m_folders->setObjectName(QStringLiteral("foldersCount"));
    m_tags->setObjectName(QStringLiteral("tagsCount"));
}

void LibraryCountsGroup::showCounts(const LibraryStore &store)
{
    m_items->setText(QString::number(store.items().size()));
    m_folders->setText(QString::number(store.folders().size()));
    m_tags->setText(QString::number(store.tags().size()));
}

} // namespace quillory

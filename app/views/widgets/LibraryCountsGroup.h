#pragma once

#include <views/widgets/FormGroup.h>

class QLabel;

namespace quillory {

class LibraryStore;

// A form section with how many items, folders and tags a library holds.
class LibraryCountsGroup final : public FormGroup
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LibraryCountsGroup)

public:
    explicit LibraryCountsGroup(const QString &title, QWidget *parent = nullptr);

    void showCounts(const LibraryStore &store);

    QLabel *itemsCount() const { return m_items; }
    QLabel *foldersCount() const { return m_folders; }
    QLabel *tagsCount() const { return m_tags; }

private:
    QLabel *m_items;
    QLabel *m_folders;
    QLabel *m_tags;
};

} // namespace quillory

#pragma once

#include <intake/ItemEnricher.h>
#include <intake/ItemIntake.h>
#include <metadata/MetadataService.h>
#include <model/LibraryStore.h>
#include <platform/NullFileRevealer.h>
#include <search/SearchService.h>
#include <state/AppState.h>
#include <views/window/MainWindow.h>

#include <QSettings>
#include <QTemporaryDir>
#include <functional>
#include <memory>

namespace quillory::test {

// A main window over a library of its own in a temporary folder, with the state, search,
// intake and enricher it works with, wired as the application wires them. `prepare` runs
// before the library opens, with the store file's path (to put a library there first, or
// make its disk fail).
class WindowTestbed
{
protected:
    explicit WindowTestbed(const std::function<void(const QString &)> &prepare = {})
        : m_settings(m_dir.filePath(QStringLiteral("s.ini")), QSettings::IniFormat),
          m_search(&m_settings),
          m_state(std::make_unique<QSettings>(m_dir.filePath(QStringLiteral("preferences.ini")),
                                              QSettings::IniFormat))
    {
        const QString path = m_dir.filePath(QStringLiteral("library.store"));
        if (prepare)
            prepare(path);
        QString error;
        m_store = LibraryStore::open(path, &error);
        m_state.followStore(*m_store);
        m_enricher = std::make_unique<ItemEnricher>(*m_store, MetadataService::shared());
        m_intake = std::make_unique<ItemIntake>(*m_store, *m_enricher);
        m_window = std::make_unique<MainWindow>(m_state, *m_store, m_search, m_revealer, *m_intake);
    }
    ~WindowTestbed()
    {
        m_window.reset();
        m_intake.reset();
        m_enricher.reset();
    }

    QTemporaryDir m_dir;
    QSettings m_settings;
    SearchService m_search;
    AppState m_state;
    NullFileRevealer m_revealer;
    std::unique_ptr<LibraryStore> m_store;
    std::unique_ptr<ItemEnricher> m_enricher;
    std::unique_ptr<ItemIntake> m_intake;
    std::unique_ptr<MainWindow> m_window;
};

} // namespace quillory::test

#pragma once

#include <platform/FileRevealer.h>

#include <QStringList>

namespace quillory {

// Reveals nothing; remembers what it was asked to show, so tests can check it.
class NullFileRevealer final : public FileRevealer
{
public:
    void reveal(const QString &path) override;
    const QStringList &requests() const { return m_requests; }

private:
    QStringList m_requests;
};

} // namespace quillory

#pragma once

#include <QString>
#include <memory>

namespace quillory {

// Shows a file in the desktop's file manager. One implementation per platform.
class FileRevealer
{
public:
    virtual ~FileRevealer() = default;
    virtual void reveal(const QString &path) = 0;

    static std::unique_ptr<FileRevealer> create();
};

} // namespace quillory

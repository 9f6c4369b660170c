#pragma once

#include <QString>
#include <memory>

namespace quillory {

// Shows a file in the desktop's file manager. Returns at once: the file manager may take
// its time, or not answer at all, and the window must not wait for it.
class FileRevealer
{
public:
    virtual ~FileRevealer() = default;
    virtual void reveal(const QString &path) = 0;

    // The implementation for this platform.
    static std::unique_ptr<FileRevealer> create();
};

} // namespace quillory

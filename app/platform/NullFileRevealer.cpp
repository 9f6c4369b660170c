#include <platform/NullFileRevealer.h>

namespace quillory {

void NullFileRevealer::reveal(const QString &path)
{
    m_requests.append(path);
}

} // namespace quillory

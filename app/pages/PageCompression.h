#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <optional>

namespace quillory {

// zstd frames for kept pages. A page's readable text is mostly a copy of the page's own
// words, so the page is compressed against its text (a zstd prefix): what its frame holds is
// little more than the markup.
class PageCompression final
{
public:
    // On generated pages, one at a time, level 9 made copies 2% smaller than level 3 at a
    // third of its speed, level 19 3% at a thirtieth; pages are kept while the user works,
    // and reading costs the same at any level.
    static constexpr int level = 3;

    static QByteArray compress(QByteArrayView data, QByteArrayView prefix = {});
    // The frame's bytes, or nothing when the frame is not one zstd frame declaring a size of
    // at most `limit` bytes that decodes to exactly that size (with the same prefix).
    static std::optional<QByteArray> decompress(QByteArrayView frame, qint64 limit,
                                                QByteArrayView prefix = {});
};

} // namespace quillory

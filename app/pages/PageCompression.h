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
    // Level 3 gave nearly all of what level 9 gave on generated and real pages (under 2% of
    // the compressed size) at a third of the time; decompressing costs the same at any level.
    static constexpr int level = 3;

    static QByteArray compress(QByteArrayView data, QByteArrayView prefix = {});
    // The frame's bytes, or nothing when the frame is not one zstd frame declaring a size of
    // at most `limit` bytes that decodes to exactly that size (with the same prefix).
    static std::optional<QByteArray> decompress(QByteArrayView frame, qint64 limit,
                                                QByteArrayView prefix = {});
};

} // namespace quillory

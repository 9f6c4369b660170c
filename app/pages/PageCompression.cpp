#include <pages/PageCompression.h>

#include <memory>
#include <zstd.h>

namespace quillory {

namespace {

// One context per thread: a worker keeping pages reuses its tables instead of making them
// for every page.
struct Contexts
{
    std::unique_ptr<ZSTD_CCtx, decltype(&ZSTD_freeCCtx)> compress{ZSTD_createCCtx(),
                                                                  &ZSTD_freeCCtx};
    std::unique_ptr<ZSTD_DCtx, decltype(&ZSTD_freeDCtx)> decompress{ZSTD_createDCtx(),
                                                                    &ZSTD_freeDCtx};
};

Contexts &contexts()
{
    thread_local Contexts c;
    return c;
}

} // namespace

QByteArray PageCompression::compress(QByteArrayView data, QByteArrayView prefix)
{
    ZSTD_CCtx *context = contexts().compress.get();
    if (context == nullptr)
        return {};
    ZSTD_CCtx_reset(context, ZSTD_reset_session_and_parameters);
    ZSTD_CCtx_setParameter(context, ZSTD_c_compressionLevel, level);
    ZSTD_CCtx_setParameter(context, ZSTD_c_contentSizeFlag, 1);
    if (!prefix.isEmpty())
        ZSTD_CCtx_refPrefix(context, prefix.data(), size_t(prefix.size()));
    QByteArray frame(qsizetype(ZSTD_compressBound(size_t(data.size()))), Qt::Uninitialized);
    const size_t written = ZSTD_compress2(context, frame.data(), size_t(frame.size()), data.data(),
                                          size_t(data.size()));
    if (ZSTD_isError(written))
        return {};
    frame.truncate(qsizetype(written));
    return frame;
}

std::optional<QByteArray> PageCompression::decompress(QByteArrayView frame, qint64 limit,
                                                      QByteArrayView prefix)
{
    ZSTD_DCtx *context = contexts().decompress.get();
    if (context == nullptr || frame.isEmpty())
        return std::nullopt;
    // The size is the frame's own claim, checked before anything is allocated, and the
    // output buffer is exactly that big: a frame that decodes to more fails instead.
    const unsigned long long size = ZSTD_getFrameContentSize(frame.data(), size_t(frame.size()));
    if (size == ZSTD_CONTENTSIZE_UNKNOWN || size == ZSTD_CONTENTSIZE_ERROR ||
        size > static_cast<unsigned long long>(limit))
        return std::nullopt;
    if (ZSTD_findFrameCompressedSize(frame.data(), size_t(frame.size())) != size_t(frame.size()))
        return std::nullopt; // trailing bytes or a second frame
    ZSTD_DCtx_reset(context, ZSTD_reset_session_and_parameters);
    if (!prefix.isEmpty())
        ZSTD_DCtx_refPrefix(context, prefix.data(), size_t(prefix.size()));
    QByteArray data(qsizetype(size), Qt::Uninitialized);
    const size_t read = ZSTD_decompressDCtx(context, data.data(), size_t(data.size()), frame.data(),
                                            size_t(frame.size()));
    if (ZSTD_isError(read) || read != size)
        return std::nullopt;
    return data;
}

} // namespace quillory

#pragma once

#include <QSize>
#include <QtGlobal>

namespace quillory {

// The largest picture either program decodes. What a decoder allocates follows from the size
// a picture declares in its header, not from the file's: a few hundred bytes may declare
// gigapixels. A picture that declares more than this is refused before it is decoded.
class PictureLimits final
{
public:
    static constexpr int longestSide = 16384;
    static constexpr qint64 mostPixels = qint64(64) * 1024 * 1024;
    // The pixels of the largest picture at four bytes each, for decoders that can only be
    // held to what they allocate.
    static constexpr int allocationLimitMiB = int(mostPixels * 4 / (1024 * 1024));
    // What libjpeg may hold for one picture (JPEGMEM's form: millions of bytes): a
    // progressive JPEG keeps every coefficient at full size, two bytes for each sample, so
    // the largest picture in full colour needs about 400 MB.
    static constexpr const char *jpegMemory = "512M";

    // Whether a picture of `declared` size (a valid one) may be decoded.
    static bool fits(QSize declared);

    // Caps libjpeg's memory for every picture this process reads, unless the user set a cap
    // of their own: should a picture ever reach the decoder without the size check, it still
    // cannot take gigabytes. libjpeg reads JPEGMEM as each decoder is made, so this belongs
    // at the top of main(), before any thread could read a picture.
    static void capJpegMemory();
};

} // namespace quillory

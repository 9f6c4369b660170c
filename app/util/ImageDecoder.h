#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <QRect>
#include <QSize>

namespace quillory {

// One decode of encoded picture bytes, in the orientation the photo was taken (EXIF).
// Sizes and clip rectangles are given before that orientation is applied, as the reader
// takes them; isTurned() says when width and height swap on the way out. QImageReader reads
// its device once, so a decoder serves one read().
//
// Every picture Quillory decodes comes through here, so this is where one is refused whose
// header declares more than PictureLimits allow: nothing of it is decoded. What the format
// cannot tell before decoding is held to the same budget by the reader's allocation limit.
class ImageDecoder final
{
    Q_DISABLE_COPY_MOVE(ImageDecoder)

public:
    explicit ImageDecoder(const QByteArray &data);

    QSize storedSize() { return m_reader.size(); }
    bool isTurned() { return m_reader.transformation() & QImageIOHandler::TransformationRotate90; }
    // JPEG decodes straight to a smaller size through its DCT, an order of magnitude faster
    // than decoding every pixel of a large photo and scaling afterwards.
    bool decodesScaled();
    // False for a picture that declares more pixels than PictureLimits allow: read() gives
    // nothing for it.
    bool fitsLimits();

    void setClipRect(const QRect &clip) { m_reader.setClipRect(clip); }
    QImage read(QSize scaledTo = QSize());

    // "jpeg", "png", "gif" or "webp" when the bytes begin as that format does, the formats
    // pages use; empty for anything else. Bytes that begin so are decoded as that format.
    static QByteArray webFormat(const QByteArray &data);

private:
    QByteArray m_data;
    QBuffer m_buffer;
    QImageReader m_reader;
};

} // namespace quillory

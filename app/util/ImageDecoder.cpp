#include <util/ImageDecoder.h>

#include <inbox/PictureLimits.h>

namespace quillory {

ImageDecoder::ImageDecoder(const QByteArray &data) : m_data(data), m_buffer(&m_data)
{
    m_buffer.open(QIODevice::ReadOnly);
    // Otherwise the reader asks every format in turn whether the bytes are its own, and a
    // lax one may claim a JPEG.
    if (const QByteArray format = webFormat(data); !format.isEmpty())
        m_reader.setFormat(format);
    m_reader.setDevice(&m_buffer);
    m_reader.setAutoTransform(true);
    m_reader.setAllocationLimit(PictureLimits::allocationLimitMiB);
}

bool ImageDecoder::decodesScaled()
{
    return m_reader.format() == "jpeg" && m_reader.supportsOption(QImageIOHandler::ScaledSize);
}

bool ImageDecoder::fitsLimits()
{
    // The reader's allocation limit checks only the image it hands back, the scaled one: a
    // progressive JPEG of 45000 x 45000 pixels read at thumbnail size passed it while libjpeg
    // took 6 GB for the coefficients of the whole picture.
    const QSize declared = m_reader.size();
    return !declared.isValid() || PictureLimits::fits(declared);
}

QImage ImageDecoder::read(QSize scaledTo)
{
    if (!fitsLimits())
        return {};
    if (scaledTo.isValid())
        m_reader.setScaledSize(scaledTo);
    return m_reader.read();
}

QByteArray ImageDecoder::webFormat(const QByteArray &data)
{
    if (data.startsWith("\xFF\xD8\xFF"))
        return QByteArrayLiteral("jpeg");
    if (data.startsWith("\x89PNG\r\n\x1A\n"))
        return QByteArrayLiteral("png");
    if (data.startsWith("GIF87a") || data.startsWith("GIF89a"))
        return QByteArrayLiteral("gif");
    if (data.size() >= 12 && data.startsWith("RIFF") && data.mid(8, 4) == "WEBP")
        return QByteArrayLiteral("webp");
    return {};
}

} // namespace quillory

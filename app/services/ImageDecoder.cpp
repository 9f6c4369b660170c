#include "ImageDecoder.h"

namespace quillory {

ImageDecoder::ImageDecoder(const QByteArray &data) : m_data(data), m_buffer(&m_data)
{
    m_buffer.open(QIODevice::ReadOnly);
    m_reader.setDevice(&m_buffer);
    m_reader.setAutoTransform(true);
}

bool ImageDecoder::decodesScaled()
{
    return m_reader.format() == "jpeg" && m_reader.supportsOption(QImageIOHandler::ScaledSize);
}

QImage ImageDecoder::read(QSize scaledTo)
{
    if (scaledTo.isValid())
        m_reader.setScaledSize(scaledTo);
    return m_reader.read();
}

} // namespace quillory

#include <inbox/PictureLimits.h>

#include <QByteArray>

namespace quillory {

bool PictureLimits::fits(QSize declared)
{
    return declared.width() <= longestSide && declared.height() <= longestSide &&
           qint64(declared.width()) * declared.height() <= mostPixels;
}

void PictureLimits::capJpegMemory()
{
    if (!qEnvironmentVariableIsSet("JPEGMEM"))
        qputenv("JPEGMEM", QByteArray(jpegMemory));
}

} // namespace quillory

#pragma once

#include <QByteArray>

namespace quillory::bench {

// A JPEG that costs what a camera photo costs to decode: smooth gradients under per-pixel
// noise, like sensor grain, at quality 92 (a 4000 x 3000 one is a few megabytes).
class SyntheticPhoto final
{
public:
    static QByteArray jpeg(int width, int height);
};

} // namespace quillory::bench

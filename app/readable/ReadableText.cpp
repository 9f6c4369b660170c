#include <readable/ReadableText.h>

namespace quillory {

QString ReadableText::plainText() const
{
    qsizetype size = 0;
    for (const ReadableBlock &block : blocks)
        size += block.text.size() + 2;
    QString text;
    text.reserve(size);
    for (const ReadableBlock &block : blocks) {
        if (!text.isEmpty())
            text += u"\n\n";
        text += block.text;
    }
    return text;
}

} // namespace quillory

#pragma once

#include <readable/ReadableText.h>

#include <QFile>
#include <QString>
#include <QStringList>
#include <QUrl>

namespace quillory::test {

inline QByteArray readableFixture(const char *name)
{
    QFile file(QStringLiteral(QUILLORY_READABLE_FIXTURES "/") + QString::fromLatin1(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline const QUrl pageAddress{QStringLiteral("https://post.example/2026/04/bees/index.html")};

inline QStringList blockTexts(const ReadableText &text)
{
    QStringList texts;
    for (const ReadableBlock &block : text.blocks)
        texts << block.text;
    return texts;
}

} // namespace quillory::test

#pragma once

// Included ahead of every test file, so that GoogleTest prints Qt's values as text in its
// failure messages instead of their bytes. Declarations only: a test file may still change
// Qt's settings (QT_NO_CAST_FROM_ASCII) before it includes Qt's headers.

#include <iosfwd>

class QByteArray;
class QString;
class QUrl;

void PrintTo(const QString &text, std::ostream *out);
void PrintTo(const QByteArray &bytes, std::ostream *out);
void PrintTo(const QUrl &url, std::ostream *out);

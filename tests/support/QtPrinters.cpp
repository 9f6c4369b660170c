#include "QtPrinters.h"

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <ostream>

void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

void PrintTo(const QByteArray &bytes, std::ostream *out)
{
    *out << '"' << bytes.toStdString() << '"';
}

void PrintTo(const QUrl &url, std::ostream *out)
{
    *out << url.toString().toStdString();
}

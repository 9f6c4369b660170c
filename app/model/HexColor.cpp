#include <model/HexColor.h>

#include <model/NamedColor.h>

#include <QVarLengthArray>
#include <algorithm>
#include <cmath>

namespace quillory {

namespace {

int truncatedComponent(float value)
{
    // Out-of-range components of extended colours are clamped so the text stays six digits.
    const double scaled = std::trunc(double(value) * 255.0 + 1e-9);
    return std::clamp(static_cast<int>(scaled), 0, 255);
}

int truncatedComponent16(quint16 value)
{
    return int(quint32(value) * 255u / 65535u);
}

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

} // namespace

std::optional<QString> HexColor::toHex(const QColor &color)
{
    if (!color.isValid())
        return std::nullopt;
    int r, g, b;
    if (color.spec() == QColor::ExtendedRgb) {
        r = truncatedComponent(color.redF());
        g = truncatedComponent(color.greenF());
        b = truncatedComponent(color.blueF());
    } else {
        // Integer arithmetic on the 16-bit channels keeps 8-bit colours exact.
        const QRgba64 rgb = color.toRgb().rgba64();
        r = truncatedComponent16(rgb.red());
        g = truncatedComponent16(rgb.green());
        b = truncatedComponent16(rgb.blue());
    }
    return QStringLiteral("#%1%2%3")
        .arg(r, 2, 16, QLatin1Char('0'))
        .arg(g, 2, 16, QLatin1Char('0'))
        .arg(b, 2, 16, QLatin1Char('0'))
        .toUpper();
}

QColor HexColor::fromHex(const QString &text)
{
    // Every sidebar refresh reads each tag's and folder's colour: no copy on the heap.
    QVarLengthArray<QChar, 16> s;
    for (const QChar c : QStringView(text).trimmed()) {
        if (c != u'#')
            s.append(c);
    }
    qsizetype i = 0;
    while (i < s.size() && s[i].isSpace()) // the scanner skips leading white space too
        ++i;
    if (s.size() >= i + 2 && s[i] == QLatin1Char('0') &&
        (s[i + 1] == QLatin1Char('x') || s[i + 1] == QLatin1Char('X')))
        i += 2;
    quint64 value = 0;
    bool any = false;
    for (; i < s.size(); ++i) {
        const int d = hexDigit(s[i]);
        if (d < 0)
            break;
        // Like the platform scanner, a number too large for 64 bits saturates.
        value = value > (~quint64(0) >> 4) ? ~quint64(0) : (value << 4) | quint64(d);
        any = true;
    }
    if (!any)
        return toColor(NamedColor::Blue);
    return QColor(int((value >> 16) & 0xFF), int((value >> 8) & 0xFF), int(value & 0xFF));
}

QString HexColor::toHexOrDefault(const QColor &color)
{
    return toHex(color).value_or(defaultHex);
}

} // namespace quillory

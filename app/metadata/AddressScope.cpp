#include <metadata/AddressScope.h>

#include <QHostAddress>
#include <QtEndian>

namespace quillory {

namespace {

bool isPublicIPv4(quint32 a)
{
    const auto in = [a](quint32 network, int bits) {
        return (a >> (32 - bits)) == (network >> (32 - bits));
    };
    return !(in(0x00000000, 8)      // "this network", 0.0.0.0 among it
             || in(0x0A000000, 8)   // 10.0.0.0/8
             || in(0x64400000, 10)  // 100.64.0.0/10, carrier-grade NAT
             || in(0x7F000000, 8)   // loopback
             || in(0xA9FE0000, 16)  // link-local
             || in(0xAC100000, 12)  // 172.16.0.0/12
             || in(0xC0000000, 24)  // 192.0.0.0/24, protocol assignments
             || in(0xC0A80000, 16)  // 192.168.0.0/16
             || in(0xC6120000, 15)  // 198.18.0.0/15, benchmarking
             || in(0xE0000000, 4)   // multicast
             || in(0xF0000000, 4)); // reserved, and the broadcast address
}

quint32 ipv4At(const Q_IPV6ADDR &bytes, int at)
{
    return qFromBigEndian<quint32>(bytes.c + at);
}

bool isPublicIPv6(const Q_IPV6ADDR &b)
{
    const auto zeros = [&b](int from, int to) {
        for (int i = from; i < to; ++i) {
            if (b[i] != 0)
                return false;
        }
        return true;
    };
    // ::a.b.c.d (with :: and ::1 among them) and ::ffff:a.b.c.d reach the IPv4 address.
    if (zeros(0, 10) && ((b[10] == 0 && b[11] == 0) || (b[10] == 0xFF && b[11] == 0xFF)))
        return isPublicIPv4(ipv4At(b, 12));
    // ::ffff:0:a.b.c.d, the translated form.
    if (zeros(0, 8) && b[8] == 0xFF && b[9] == 0xFF && b[10] == 0 && b[11] == 0)
        return isPublicIPv4(ipv4At(b, 12));
    // Teredo carries an IPv4 address (inverted) that decides where the packets go.
    if (b[0] == 0x20 && b[1] == 0x01 && b[2] == 0x00 && b[3] == 0x00)
        return false;
    // NAT64: the well-known prefix carries an IPv4 address, the local-use one a local one.
    if (b[0] == 0x00 && b[1] == 0x64 && b[2] == 0xFF && b[3] == 0x9B) {
        if (zeros(4, 12))
            return isPublicIPv4(ipv4At(b, 12));
        if (b[4] == 0x00 && b[5] == 0x01)
            return false;
    }
    if (b[0] == 0x20 && b[1] == 0x02) // 6to4
        return isPublicIPv4(ipv4At(b, 2));
    if ((b[0] & 0xFE) == 0xFC) // unique local
        return false;
    if (b[0] == 0xFE && (b[1] & 0x80) == 0x80) // link-local and the old site-local
        return false;
    return b[0] != 0xFF; // multicast
}

} // namespace

bool AddressScope::isPublic(const QHostAddress &address)
{
    switch (address.protocol()) {
    case QAbstractSocket::IPv4Protocol:
        return isPublicIPv4(address.toIPv4Address());
    case QAbstractSocket::IPv6Protocol:
        return isPublicIPv6(address.toIPv6Address());
    default:
        return false;
    }
}

} // namespace quillory

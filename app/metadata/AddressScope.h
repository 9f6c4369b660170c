#pragma once

class QHostAddress;

namespace quillory {

// The addresses a fetch may connect to. A link the user gave may be on their own network;
// what a page on the internet names may not.
enum class AddressReach { Anywhere, PublicOnly };

// Tells the internet's addresses from those of the user's own machine and networks, for
// fetches a page on the internet asks for.
class AddressScope final
{
public:
    // False for loopback, link-local, private (RFC 1918, fc00::/7), shared (100.64.0.0/10),
    // unspecified and "this network" (0.0.0.0/8), multicast and reserved addresses, and for
    // any IPv6 address that carries one of those IPv4 addresses (mapped, compatible, NAT64,
    // 6to4). Documentation ranges count as public: nothing routes them to the user's network.
    static bool isPublic(const QHostAddress &address);
};

} // namespace quillory

// Host names looked up for both address families on a thread of their own, so that the transfer
// thread that waits for the answer keeps watching its item for a stop or delete.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>
#include <winsock2.h>
#include <ws2tcpip.h>

// One address of a peer, with its port.
struct PeerAddress {
    sockaddr_storage storage{};
    int length = 0;

    int family() const { return storage.ss_family; }
    const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&storage); }
};

// The most addresses of one name that a try connects to; the rest are never reached in practice.
constexpr size_t kMostPeerAddresses = 16;

// A numeric address (IPv4 dotted or IPv6 without brackets) read at once; false for a name.
bool numericAddress(const char* host, uint16_t port, PeerAddress& address);

// The same address at another port (the data port of an FTP server).
PeerAddress withPort(const PeerAddress& address, uint16_t port);
// An IPv4 address from its four bytes in network order.
PeerAddress ipv4Peer(const uint8_t bytes[4], uint16_t port);

// The peer as the connection log line shows it: "[a,b,c,d:port]" for IPv4, "[addr]:port" for IPv6.
std::string peerText(const PeerAddress& address);

class HostLookup {
public:
    enum class State { Pending, Found, Failed };

    HostLookup() = default;
    HostLookup(const HostLookup&) = delete;
    HostLookup& operator=(const HostLookup&) = delete;
    // A lookup still pending is left to finish alone; its thread frees what the two shared.
    ~HostLookup() = default;

    // Starts looking `host` up for `port`; false when no thread could be started.
    bool start(const char* host, uint16_t port);
    State state() const;
    // The addresses in the order the system gives them, at most kMostPeerAddresses; once Found.
    const std::vector<PeerAddress>& addresses() const;

    struct Shared;

private:
    std::shared_ptr<Shared> shared_;
};

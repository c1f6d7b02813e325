#include "engine/host_lookup.h"
#include <cstdio>
#include <cstring>
#include <string>
#include <windows.h>

struct HostLookup::Shared {
    std::string host;
    std::string port;
    std::vector<PeerAddress> addresses;  // written by the lookup thread before it sets `state`
    int32_t state = static_cast<int32_t>(State::Pending);
};

namespace {

std::vector<PeerAddress> addressesOf(const addrinfo* list) {
    std::vector<PeerAddress> found;
    for (const addrinfo* a = list; a && found.size() < kMostPeerAddresses; a = a->ai_next) {
        if ((a->ai_family != AF_INET && a->ai_family != AF_INET6) || a->ai_addrlen > sizeof(sockaddr_storage))
            continue;
        PeerAddress address;
        std::memcpy(&address.storage, a->ai_addr, a->ai_addrlen);
        address.length = static_cast<int>(a->ai_addrlen);
        found.push_back(address);
    }
    return found;
}

addrinfo streamHints(int flags) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = flags;
    return hints;
}

DWORD WINAPI lookUp(void* parameter) {
    // The thread holds its own reference: the transfer that asked may have given up and gone.
    std::unique_ptr<std::shared_ptr<HostLookup::Shared>> held(static_cast<std::shared_ptr<HostLookup::Shared>*>(parameter));
    HostLookup::Shared& shared = **held;
    // No AI_ADDRCONFIG: it hides IPv6 on hosts whose only IPv6 address is the loopback's.
    addrinfo hints = streamHints(0);
    addrinfo* list = nullptr;
    bool found = getaddrinfo(shared.host.c_str(), shared.port.c_str(), &hints, &list) == 0;
    if (found) shared.addresses = addressesOf(list);
    if (list) freeaddrinfo(list);
    auto state = found && !shared.addresses.empty() ? HostLookup::State::Found : HostLookup::State::Failed;
    __atomic_store_n(&shared.state, static_cast<int32_t>(state), __ATOMIC_RELEASE);
    return 0;
}

}  // namespace

bool numericAddress(const char* host, uint16_t port, PeerAddress& address) {
    addrinfo hints = streamHints(AI_NUMERICHOST);
    addrinfo* list = nullptr;
    if (getaddrinfo(host, std::to_string(port).c_str(), &hints, &list) != 0) return false;
    std::vector<PeerAddress> found = addressesOf(list);
    freeaddrinfo(list);
    if (found.empty()) return false;
    address = found.front();
    return true;
}

PeerAddress withPort(const PeerAddress& address, uint16_t port) {
    PeerAddress moved = address;
    if (moved.family() == AF_INET6)
        reinterpret_cast<sockaddr_in6&>(moved.storage).sin6_port = htons(port);
    else
        reinterpret_cast<sockaddr_in&>(moved.storage).sin_port = htons(port);
    return moved;
}

PeerAddress ipv4Peer(const uint8_t bytes[4], uint16_t port) {
    PeerAddress address;
    sockaddr_in& v4 = reinterpret_cast<sockaddr_in&>(address.storage);
    v4.sin_family = AF_INET;
    v4.sin_port = htons(port);
    std::memcpy(&v4.sin_addr, bytes, 4);
    address.length = sizeof v4;
    return address;
}

std::string peerText(const PeerAddress& address) {
    char text[INET6_ADDRSTRLEN + 16];
    if (address.family() == AF_INET) {
        const sockaddr_in& v4 = reinterpret_cast<const sockaddr_in&>(address.storage);
        const unsigned char* b = reinterpret_cast<const unsigned char*>(&v4.sin_addr.s_addr);
        std::snprintf(text, sizeof text, "[%d,%d,%d,%d:%d]", b[0], b[1], b[2], b[3], ntohs(v4.sin_port));
        return text;
    }
    const sockaddr_in6& v6 = reinterpret_cast<const sockaddr_in6&>(address.storage);
    char host[INET6_ADDRSTRLEN] = "?";
    inet_ntop(AF_INET6, &v6.sin6_addr, host, sizeof host);
    std::snprintf(text, sizeof text, "[%s]:%d", host, ntohs(v6.sin6_port));
    return text;
}

bool HostLookup::start(const char* host, uint16_t port) {
    shared_ = std::make_shared<Shared>();
    shared_->host = host;
    shared_->port = std::to_string(port);
    auto* held = new std::shared_ptr<Shared>(shared_);
    HANDLE thread = CreateThread(nullptr, 0, lookUp, held, 0, nullptr);
    if (!thread) {
        delete held;
        shared_->state = static_cast<int32_t>(State::Failed);
        return false;
    }
    CloseHandle(thread);
    return true;
}

HostLookup::State HostLookup::state() const {
    return static_cast<State>(__atomic_load_n(&shared_->state, __ATOMIC_ACQUIRE));
}

const std::vector<PeerAddress>& HostLookup::addresses() const { return shared_->addresses; }

#include "ui/dial_up.h"
#include <ras.h>
#include <raserror.h>
#include <cstddef>
#include <memory>
#include <new>

namespace {

constexpr DWORD kMaxConnections = 256;

// The connection and status records in their first, smallest layout, which every version of the
// system takes. The system packs them to 4 bytes (which <ras.h> undoes at its end): on x86_64 the
// handle then sits at offset 4 and the connection record is 416 bytes, not the 424 of the
// compiler's own alignment, which the system would refuse.
#pragma pack(push, 4)
struct Connection {
    DWORD dwSize;
    HRASCONN hrasconn;
    CHAR szEntryName[RAS_MaxEntryName + 1];
    CHAR szDeviceType[RAS_MaxDeviceType + 1];
    CHAR szDeviceName[RAS_MaxDeviceName + 1];
};

struct ConnectionStatus {
    DWORD dwSize;
    RASCONNSTATE rasconnstate;
    DWORD dwError;
    CHAR szDeviceType[RAS_MaxDeviceType + 1];
    CHAR szDeviceName[RAS_MaxDeviceName + 1];
};
#pragma pack(pop)

// The same fields at the same places as in the system's records, which only add fields after them.
using SystemConnection = RASCONNA;
using SystemStatus = RASCONNSTATUSA;
#define SAME_FIELD(ours, theirs, field)                    \
    static_assert(offsetof(ours, field) == offsetof(theirs, field) && \
                  sizeof(ours::field) == sizeof(theirs::field))
SAME_FIELD(Connection, SystemConnection, dwSize);
SAME_FIELD(Connection, SystemConnection, hrasconn);
SAME_FIELD(Connection, SystemConnection, szEntryName);
SAME_FIELD(Connection, SystemConnection, szDeviceType);
SAME_FIELD(Connection, SystemConnection, szDeviceName);
SAME_FIELD(ConnectionStatus, SystemStatus, dwSize);
SAME_FIELD(ConnectionStatus, SystemStatus, rasconnstate);
SAME_FIELD(ConnectionStatus, SystemStatus, dwError);
SAME_FIELD(ConnectionStatus, SystemStatus, szDeviceType);
SAME_FIELD(ConnectionStatus, SystemStatus, szDeviceName);
#undef SAME_FIELD
// The sizes the system knows its first layouts by: 412 and 160 bytes on i686, 416 and 160 on x86_64.
static_assert(sizeof(Connection) == (sizeof(void*) == 8 ? 416 : 412));
static_assert(sizeof(Connection) == (offsetof(SystemConnection, szPhonebook) + 3) / 4 * 4);
static_assert(sizeof(ConnectionStatus) == 160);
static_assert(sizeof(ConnectionStatus) == (offsetof(SystemStatus, szPhoneNumber) + 3) / 4 * 4);

struct Connections {
    std::unique_ptr<Connection[]> entries;
    DWORD count = 0;
};

bool enumerate(Connections& found) {
    found.entries.reset(new (std::nothrow) Connection[kMaxConnections]);
    if (!found.entries) return false;
    found.entries[0].dwSize = sizeof(Connection);
    DWORD bytes = sizeof(Connection) * kMaxConnections;
    found.count = 0;
    return RasEnumConnectionsA(reinterpret_cast<RASCONNA*>(found.entries.get()), &bytes, &found.count) == 0;
}

// Waits until the hung-up connection is gone: its status can no longer be had. A connection that
// never goes is left after a while, so that the exit goes on.
void waitUntilGone(const Connection& connection) {
    constexpr DWORD kLongestWait = 10000;
    for (DWORD start = GetTickCount(); GetTickCount() - start < kLongestWait;) {
        ConnectionStatus status{};
        status.dwSize = sizeof status;
        status.rasconnstate = RASCS_Disconnected;
        lstrcpynA(status.szDeviceType, connection.szDeviceType, sizeof status.szDeviceType);
        lstrcpynA(status.szDeviceName, connection.szDeviceName, sizeof status.szDeviceName);
        if (RasGetConnectStatusA(connection.hrasconn, reinterpret_cast<RASCONNSTATUSA*>(&status)) != 0 ||
            status.dwError == ERROR_INVALID_HANDLE)
            return;
        Sleep(0);
    }
}

}  // namespace

bool countConnections(int& count) {
    Connections found;
    if (!enumerate(found)) return false;
    count = static_cast<int>(found.count);
    return true;
}

bool hangUpAllConnections() {
    Connections found;
    if (!enumerate(found)) return false;
    for (DWORD i = 0; i < found.count && i < kMaxConnections; ++i)
        if (RasHangUpA(found.entries[i].hrasconn) == 0) waitUntilGone(found.entries[i]);
    return true;
}

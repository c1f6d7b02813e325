// The contract between the scheduler thread and the transfer threads: thread messages, scheduler
// commands and the failure stages with their texts.
#pragma once
#include <cstdint>

// Thread messages of the scheduler thread (posted, never sent).
enum SchedMessage : uint32_t {
    SCHED_READY = 1026,             // the first of them
    SCHED_ITEM_COMMAND = 1027,      // wParam command (+ SELECTED_ONLY), lParam item or 0 = broadcast
    SCHED_SET_LOG_ITEM = 1028,
    SCHED_DELETE = 1029,
    SCHED_EXIT = 1030,
    SCHED_PROGRESS = 1031,          // lParam item
    SCHED_LOG_LINE = 1032,          // wParam heap copy of one line (the receiver frees it), lParam item
    SCHED_SAVE_ALL = 1033,
    SCHED_EDIT_ITEM = 1034,
    SCHED_SWITCH_LIST = 1035,
    SCHED_SETTINGS_CHANGED = 1036,
    SCHED_SORT = 1037,
};

enum SchedCommand : uint32_t {
    CMD_STOPPED = 0,
    CMD_START = 1,
    CMD_RUNNING = 2,
    CMD_SUCCEEDED = 3,
    CMD_FAILED = 4,
    CMD_STOP = 5,
    CMD_START_NOW = 7,
    CMD_START_AT_ONCE = 8,
    CMD_DELETE = 9,
    CMD_REDIRECT_FTP = 10,
};
constexpr uint32_t SELECTED_ONLY = 0x10000;

enum FailStage : uint8_t {
    STAGE_SOCKET_INIT = 1,
    STAGE_HOST_LOOKUP = 2,
    STAGE_CONNECT = 3,
    STAGE_REQUEST = 4,
    STAGE_RECOVERY_HEADER = 5,
    STAGE_DATA = 6,
    STAGE_FILE_SIZE = 7,
    STAGE_FILE_SEEK = 8,
    STAGE_FILE_WRITE = 9,
    STAGE_FOLDER_CREATE = 10,
    STAGE_FILE_OPEN = 11,
    STAGE_THREAD_CREATE = 12,
    STAGE_BUFFER_OVERFLOW = 13,
    STAGE_UNEXPECTED_REPLY = 14,
    STAGE_GREETING = 15,
    STAGE_LOGIN = 16,
    STAGE_CHANGE_DIR = 17,
    STAGE_TRANSFER_TYPE = 18,
    STAGE_PASSIVE = 19,
    STAGE_END_REPLY = 20,
    STAGE_LOGOUT = 21,
    STAGE_DATA_PORT = 22,
    STAGE_BAD_URL = 23,
    STAGE_CERTIFICATE = 24,    // the server's certificate is not trusted for the host
    STAGE_TLS_HANDSHAKE = 25,  // no TLS session could be set up
    STAGE_REDIRECTS = 26,      // more redirects in one try than we follow
    STAGE_PROXY = 27,          // the proxy refused the request, its login, or its tunnel
};

// The text that closes the scheduler's line "info>失敗 (": selected by the low 6 bits of the stage;
// empty for 0 and for values past the table.
const char* stageText(uint8_t stage);

#include "engine/range_transfer.h"
#include "common/text.h"
#include "common/win_handles.h"
#include "engine/part_state.h"
#include "engine/server_name.h"
#include "engine/validator.h"
#include "lists/item_list_format.h"
#include "lists/item_lock.h"
#include "lists/replace_file.h"
#include <mmsystem.h>
#include <process.h>
#include <algorithm>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace {

// A range connection that ends before its range does is asked again for the rest this many times
// before it gives up its range to the item's next try.
constexpr int kRangeReconnects = 2;
constexpr uint32_t kStateWriteMs = 1000;
constexpr DWORD kPollMs = 100;
// At the free pace the first response's own body is read for kProbeSlices of kSliceMs to learn one
// connection's pace, and the connections together are judged over as long once they all bring
// bytes (polled every kJudgePollMs), unless not all of them do within kJudgeWaitMs.
constexpr uint32_t kSliceMs = 10;
constexpr uint32_t kProbeSlices = 5;
constexpr uint32_t kProbeMs = kSliceMs * kProbeSlices;
constexpr DWORD kJudgePollMs = 10;
constexpr uint32_t kJudgeWaitMs = 2000;
constexpr size_t kCopyBlock = 1 << 20;
// Range connections to one host from all items together: more are seldom faster, and many servers
// count them against a client.
constexpr int kMaxHostConnections = 16;

std::mutex hostLock;
std::unordered_map<std::string, int> hostConnections;  // by lower-case host name; under hostLock

// Up to `wanted` range connections to `host`, as many as the host has room for.
int reserveConnections(const std::string& host, int wanted) {
    std::lock_guard<std::mutex> hold(hostLock);
    int& used = hostConnections[host];
    int granted = std::min(wanted, kMaxHostConnections - used);
    used += granted;
    return granted;
}

void releaseConnections(const std::string& host, int granted) {
    std::lock_guard<std::mutex> hold(hostLock);
    if ((hostConnections[host] -= granted) <= 0) hostConnections.erase(host);
}

// Holds the host's reserved connections for the span of one item's ranges.
class HostConnections {
  public:
    HostConnections(std::string host, int wanted) : host_(std::move(host)), granted_(reserveConnections(host_, wanted)) {}
    ~HostConnections() { releaseConnections(host_, granted_); }
    HostConnections(const HostConnections&) = delete;
    HostConnections& operator=(const HostConnections&) = delete;
    int granted() const { return granted_; }

  private:
    std::string host_;
    int granted_;
};

// What all range connections of an item share. Fields under `lock` are written by the connections
// and read by the item's transfer thread.
struct RangeJob {
    DownloadItem& item;
    std::string url;
    UrlTarget origin;
    DownloadList list;       // the try's settings
    SharedPace pace;         // the list's limit, for the connections together
    std::string validator;   // of the first response
    uint64_t total = 0;
    HANDLE part = INVALID_HANDLE_VALUE;  // written at each connection's own offsets

    std::mutex lock;
    std::vector<ByteRange> slots;  // per connection: the next byte it fetches up to its range's end
    std::vector<ByteRange> done;
    std::vector<ByteRange> waiting;  // missing stretches no connection has begun, in order
    size_t alone = SIZE_MAX;         // the one connection that takes up more work, when not all may
    size_t flowing = 0;              // connections whose bytes have begun to come
    bool fallBack = false;         // the server stopped giving ranges: every connection ends
    RangeAnswer refusal = RangeAnswer::Asked;
    int splits = 0;

    explicit RangeJob(DownloadItem& owner) : item(owner) {}
    bool stopping() {
        std::lock_guard<std::mutex> hold(lock);
        return fallBack;
    }
};

struct RangeConnection {
    RangeJob& job;
    size_t slot;
    HttpRun run;
    bool flowed = false;
    uint32_t askTick = 0;   // of the range under way: when it was asked for
    uint32_t flowTick = 0;  // and when its first byte came
    uint64_t least = kMinRangeSize;  // the least half this connection takes over (leastTakeOver)
    RangeConnection(RangeJob& owner, size_t index, DownloadList& list)
        : job(owner), slot(index), run(owner.item, list) {}
};

bool writeAt(HANDLE file, uint64_t offset, const char* bytes, size_t size) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD written = 0;
    return WriteFile(file, bytes, static_cast<DWORD>(size), &written, &at) && written == size;
}

void giveUpRanges(RangeJob& job, RangeAnswer answer) {
    std::lock_guard<std::mutex> hold(job.lock);
    if (!job.fallBack) job.refusal = answer;
    job.fallBack = true;
}

// The next missing stretch that no connection has begun, or else a range taken over from the
// running connection with the most left, when that is worth it.
bool takeOver(RangeConnection& c) {
    RangeJob& job = c.job;
    std::lock_guard<std::mutex> hold(job.lock);
    if (job.fallBack || (job.alone != SIZE_MAX && c.slot != job.alone)) return false;
    if (!job.waiting.empty()) {
        job.slots[c.slot] = job.waiting.front();
        job.waiting.erase(job.waiting.begin());
        return true;
    }
    ByteRange taken;
    if (takeOverHalf(job.slots, taken, c.least) < 0) return false;
    job.slots[c.slot] = taken;
    ++job.splits;
    postLogLine(job.item, "info>残りの範囲を分割");
    return true;
}

// One connection for the rest of the connection's range. False when the range connection is to
// end: the server refused the range, the item is stopped, or a file error.
bool fetchRange(RangeConnection& c, int& reconnects) {
    RangeJob& job = c.job;
    Transfer& t = c.run.t;
    DownloadItem& item = job.item;
    ByteRange range;
    {
        std::lock_guard<std::mutex> hold(job.lock);
        range = job.slots[c.slot];
    }
    UrlTarget parts = urlTarget(job.url);
    c.run.url = job.url;
    postLogLine(item, "info>範囲 " + std::to_string(range.begin) + "-" + std::to_string(range.end - 1));
    c.askTick = timeGetTime();
    Attempt a = openConnection(c.run, parts);
    if (a == Attempt::Continue) a = sendRequest(c.run, parts, range.begin, range.end);
    HeaderScan scan;
    if (a == Attempt::Continue) a = readHeader(c.run, scan);
    if (a == Attempt::Again) {  // a redirect of a range: not the file the others fetch
        giveUpRanges(job, RangeAnswer::Unusable);
        return false;
    }
    if (a != Attempt::Continue) {
        closeSocket(t);
        return !t.ended && ++reconnects <= kRangeReconnects;
    }
    RangeAnswer answer = rangeAnswer(scan, range, job.validator, job.total);
    if (answer != RangeAnswer::Asked) {
        giveUpRanges(job, answer);
        return false;
    }
    c.flowTick = timeGetTime();
    if (!c.flowed) {
        c.flowed = true;
        std::lock_guard<std::mutex> hold(job.lock);
        ++job.flowing;
    }
    size_t chunk = 0;
    char* buffer = beginDataPhase(t, chunk);
    if (!buffer) return false;
    uint64_t position = range.begin;
    for (;;) {
        int count = 0;
        NetResult received = receiveChunk(t, buffer, chunk, count);
        if (received == NET_ABORTED || job.stopping()) return false;
        if (received != NET_OK || count <= 0) break;
        // A connection that took over half of this range moves its end; the bytes past it that
        // were already under way are the same bytes the other connection fetches.
        uint64_t end = 0;
        {
            std::lock_guard<std::mutex> hold(job.lock);
            end = job.slots[c.slot].end;
        }
        uint64_t kept = std::min<uint64_t>(static_cast<uint64_t>(count), end - position);
        if (kept > 0 && !writeAt(job.part, position, buffer, static_cast<size_t>(kept))) {
            fail(t, STAGE_FILE_WRITE);
            return false;
        }
        {
            std::lock_guard<std::mutex> hold(job.lock);
            end = job.slots[c.slot].end;
            kept = std::min(kept, end - position);
            addDone(job.done, {position, position + kept});
            position += kept;
            job.slots[c.slot].begin = position;
        }
        if (position >= end) {
            c.least = leastTakeOver(position - range.begin, c.flowTick - c.askTick, timeGetTime() - c.flowTick);
            closeSocket(t);
            return true;
        }
        pauseAfterChunk(t, static_cast<size_t>(count));
    }
    closeSocket(t);
    postLogLine(item, "info>範囲の接続が途中で切れました");
    return ++reconnects <= kRangeReconnects;
}

unsigned __stdcall runRangeConnection(void* param) {
    RangeConnection& c = *static_cast<RangeConnection*>(param);
    int reconnects = 0;
    if (allocateBuffer(c.run.t)) {
        for (;;) {
            bool finished;
            {
                std::lock_guard<std::mutex> hold(c.job.lock);
                finished = c.job.slots[c.slot].size() == 0;
            }
            if (finished && !takeOver(c)) break;
            if (isAbortState(sharedRead(c.job.item.state)) || !fetchRange(c, reconnects)) break;
        }
    }
    closeSocket(c.run.t);
    return 0;
}

// How fast one connection brought the item's first bytes: all of them, and those of each slice.
struct Probe {
    uint64_t bytes = 0;
    std::vector<uint64_t> slices;
};

// Reads the first response's body, as far as it comes within kProbeMs, into the part file from byte 0
// (up to `end`). False on a write error (the run has failed).
bool probeFirstBody(Transfer& t, RangeJob& job, uint64_t end, Probe& probe) {
    size_t chunk = 0;
    char* buffer = beginDataPhase(t, chunk);
    if (!buffer) return true;
    probe.slices.assign(kProbeSlices, 0);
    uint32_t start = timeGetTime();
    for (uint32_t at = 0; probe.bytes < end && at < kProbeMs && !isAbortState(sharedRead(t.item.state));
         at = timeGetTime() - start) {
        size_t got = receiveReady(t, buffer, static_cast<size_t>(std::min<uint64_t>(chunk, end - probe.bytes)));
        if (got == 0) {
            Sleep(1);
            continue;
        }
        if (!writeAt(job.part, probe.bytes, buffer, got)) {
            fail(t, STAGE_FILE_WRITE);
            return false;
        }
        probe.bytes += got;
        probe.slices[at / kSliceMs] += got;
    }
    // A body that ended sooner, or a stop, tells no pace.
    if (probe.bytes == end || timeGetTime() - start < kProbeMs) probe.slices.clear();
    if (probe.bytes > 0) addDone(job.done, {0, probe.bytes});
    return true;
}

// Every connection but the one with the most left of its range gives the rest of its range back;
// that one fetches them after its own, one stretch at a time.
void keepOne(RangeJob& job) {
    std::lock_guard<std::mutex> hold(job.lock);
    job.alone = 0;
    for (size_t i = 1; i < job.slots.size(); ++i)
        if (job.slots[i].size() > job.slots[job.alone].size()) job.alone = i;
    for (size_t i = 0; i < job.slots.size(); ++i) {
        if (i == job.alone) continue;
        if (job.slots[i].size() > 0) job.waiting.push_back(job.slots[i]);
        job.slots[i].end = job.slots[i].begin;
    }
    std::sort(job.waiting.begin(), job.waiting.end(), [](ByteRange a, ByteRange b) { return a.begin < b.begin; });
}

// Whether the connections stay several, judged once: over kProbeMs from the moment all of them
// bring bytes, against the first response's probe.
class Judge {
  public:
    Judge(const Probe& probe, size_t connections, uint32_t start)
        : probe_(probe), connections_(connections), start_(start), judging_(!probe.slices.empty() && connections > 1) {}
    DWORD poll() const { return judging_ ? kJudgePollMs : kPollMs; }

    void look(RangeJob& job, size_t flowing, uint64_t bytes, uint32_t now) {
        if (!judging_) return;
        if (from_ == 0 && flowing == connections_) {
            from_ = now;
            bytes_ = bytes;
        } else if (from_ == 0 && now - start_ >= kJudgeWaitMs) {
            judging_ = false;
        } else if (from_ != 0 && now - from_ >= kProbeMs) {
            judging_ = false;
            if (connectionsHelp(probe_.slices, kSliceMs, bytes - bytes_, now - from_)) return;
            keepOne(job);
            postLogLine(job.item, "info>接続を増やしても速くならないため、1本の接続で続けます");
        }
    }

  private:
    Probe probe_;
    size_t connections_;
    uint32_t start_;
    bool judging_;
    uint32_t from_ = 0;  // when every connection brought bytes, and the bytes done then
    uint64_t bytes_ = 0;
};

std::string statePathOf(const DownloadList& list, const DownloadItem& item) {
    std::string_view items = textOf(list.itemListFilePath);
    if (items.size() < 4) return {};
    return partStatePath(items, textOf(item.savePath));
}

bool readStateFile(const std::string& path, uint64_t partSize, PartState& state) {
    if (path.empty()) return false;
    FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file.valid() || !GetFileSizeEx(file.get(), &size) || size.QuadPart > 1 << 20) return false;
    std::string text(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!text.empty() && (!ReadFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &read, nullptr) ||
                          read != text.size()))
        return false;
    return readPartState(text, partSize, state);
}

// The part file's bytes must be on the disk before a state that counts them.
void writeState(RangeJob& job, const std::string& path, const std::vector<ByteRange>& done) {
    if (path.empty()) return;
    FlushFileBuffers(job.part);
    replaceFileContents(path.c_str(), partStateText({job.total, job.validator, done}));
}

// Gives the ranges up for one connection: the done bytes from byte 0 go into the save file, where
// the single connection resumes them; the part file and its state go.
Attempt fallBackToOne(HttpRun& run, RangeJob& job, FileHandle& part, const std::string& partPath,
                      const std::string& statePath, const char* why) {
    Transfer& t = run.t;
    uint64_t prefix = donePrefix(job.done);
    postLogLine(t.item, std::string("info>") + why + "、1本の接続で続けます");
    HANDLE save = static_cast<HANDLE>(t.item.fileHandle);
    std::unique_ptr<char[]> block(new (std::nothrow) char[kCopyBlock]);
    if (!block || !SetFilePointerEx(save, LARGE_INTEGER{}, nullptr, FILE_BEGIN)) {
        fail(t, STAGE_FILE_SEEK);
        return Attempt::Ended;
    }
    for (uint64_t at = 0; at < prefix;) {
        DWORD size = static_cast<DWORD>(std::min<uint64_t>(kCopyBlock, prefix - at)), moved = 0;
        OVERLAPPED from{};
        from.Offset = static_cast<DWORD>(at);
        from.OffsetHigh = static_cast<DWORD>(at >> 32);
        if (!ReadFile(part.get(), block.get(), size, &moved, &from) || moved != size ||
            !WriteFile(save, block.get(), size, &moved, nullptr) || moved != size) {
            fail(t, STAGE_FILE_WRITE);
            return Attempt::Ended;
        }
        at += size;
    }
    if (!SetEndOfFile(save)) {
        fail(t, STAGE_FILE_WRITE);
        return Attempt::Ended;
    }
    noteValidator(t, job.validator);
    sharedWrite(t.item.fetchedSize, prefix);
    part.reset();
    DeleteFileA(partPath.c_str());
    if (!statePath.empty()) DeleteFileA(statePath.c_str());
    run.singleConnection = true;
    return Attempt::Again;
}

// Every byte is in the part file: it takes the save file's place.
Attempt completeRanges(HttpRun& run, RangeJob& job, FileHandle& part, const std::string& partPath,
                       const std::string& statePath) {
    Transfer& t = run.t;
    DownloadItem& item = t.item;
    part.reset();
    {
        ItemLockGuard lock;
        CloseHandle(static_cast<HANDLE>(item.fileHandle));
        // The empty save file goes first, so that the part file is renamed rather than put over
        // it: some file systems write a file out at once when it replaces another, or when it was
        // cut to nothing before it was written (hence no cut of a new, empty part file either).
        DeleteFileA(item.savePath);
        bool moved = MoveFileExA(partPath.c_str(), item.savePath, MOVEFILE_REPLACE_EXISTING) != FALSE;
        HANDLE file = openSaveFile(item.savePath, t.list.hidden == 1);
        item.fileHandle = file == INVALID_HANDLE_VALUE ? nullptr : file;
        if (!moved || !item.fileHandle) {
            fail(t, moved ? STAGE_FILE_OPEN : STAGE_FILE_WRITE);
            return Attempt::Ended;
        }
    }
    if (!statePath.empty()) DeleteFileA(statePath.c_str());
    noteValidator(t, job.validator);
    sharedWrite(item.fetchedSize, job.total);
    postProgress(item, true);
    finish(t, CMD_SUCCEEDED);
    return Attempt::Ended;
}

}  // namespace

void discardRangeFiles(const DownloadList& list, const DownloadItem& item) {
    DeleteFileA((std::string(textOf(item.savePath)) + ".qvpart").c_str());
    std::string statePath = statePathOf(list, item);
    if (!statePath.empty()) DeleteFileA(statePath.c_str());
}

bool rangesRecorded(const DownloadList& list, const DownloadItem& item) {
    std::string statePath;
    {
        ItemLockGuard lock;
        statePath = statePathOf(list, item);
    }
    return !statePath.empty() && GetFileAttributesA(statePath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

Attempt fetchRanges(HttpRun& run, const std::string& validator, uint64_t bodyEnd) {
    Transfer& t = run.t;
    DownloadItem& item = t.item;
    RangeJob job(item);
    job.url = run.url;
    job.origin = run.itemOrigin;
    copyTabSettings(job.list, t.list);
    job.validator = validator;
    job.total = sharedRead(item.totalSize);
    std::string partPath = std::string(textOf(item.savePath)) + ".qvpart";
    std::string statePath;
    {
        ItemLockGuard lock;
        statePath = statePathOf(t.source, item);
    }
    DWORD flags = t.list.hidden == 1 ? FILE_ATTRIBUTE_HIDDEN : FILE_ATTRIBUTE_NORMAL;
    FileHandle part(CreateFileA(partPath.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                flags, nullptr));
    LARGE_INTEGER partSize{};
    if (!part.valid() || !GetFileSizeEx(part.get(), &partSize)) {
        fail(t, STAGE_FILE_OPEN);
        return Attempt::Ended;
    }
    job.part = part.get();
    // Only a state of this very file counts; a part file without one is never trusted by its size.
    PartState known;
    if (readStateFile(statePath, static_cast<uint64_t>(partSize.QuadPart), known) && known.total == job.total &&
        known.validator == validator)
        job.done = known.done;
    else if (partSize.QuadPart != 0 && !SetEndOfFile(part.get())) {  // at 0: the file pointer of a handle just opened
        fail(t, STAGE_FILE_WRITE);
        return Attempt::Ended;
    }
    // The save file stays empty while the part file fills: a single connection's resume trusts its size.
    HANDLE save = static_cast<HANDLE>(item.fileHandle);
    if (!SetFilePointerEx(save, LARGE_INTEGER{}, nullptr, FILE_BEGIN) || !SetEndOfFile(save)) {
        fail(t, STAGE_FILE_WRITE);
        return Attempt::Ended;
    }

    std::string host = urlTarget(job.url).host;
    for (char& c : host) c = lowerAscii(c);
    HostConnections reserved(host, t.list.connectionsPerItem);
    // At the free pace nothing but the line holds one connection back: its pace judges the others'.
    // (A limit or the stepped pace holds each connection back, so more of them always help.)
    Probe probe;
    if (t.list.speedLimit == kPaceFree && reserved.granted() > 1 && job.done.empty() &&
        !probeFirstBody(t, job, std::min(bodyEnd, job.total), probe))
        return Attempt::Ended;
    closeSocket(t);
    job.slots = planRanges(missingRanges(job.done, job.total), reserved.granted());
    if (job.slots.empty()) return completeRanges(run, job, part, partPath, statePath);
    if (reserved.granted() == 0) {
        return fallBackToOne(run, job, part, partPath, statePath, "このサーバーへの接続が上限のため");
    }
    std::vector<ByteRange> begun = job.done;
    for (const ByteRange& range : job.slots) addDone(begun, range);
    job.waiting = missingRanges(begun, job.total);
    job.pace.pace = Pace{job.list.speedLimit};  // the list's limit is the item's
    postLogLine(item, "info>" + std::to_string(job.slots.size()) + "本の接続で取得 (取得済み " +
                          std::to_string(doneBytes(job.done)) + "バイト)");

    std::vector<std::unique_ptr<RangeConnection>> connections;
    std::vector<KernelHandle> threads;
    for (size_t i = 0; i < job.slots.size(); ++i) {
        auto c = std::make_unique<RangeConnection>(job, i, t.source);
        copyTabSettings(c->run.t.list, job.list);
        c->run.t.buffSize = t.buffSize;
        c->run.t.validator = validator;
        c->run.t.logTraffic = false;
        c->run.t.stepPauses = false;
        if (job.list.speedLimit > 0) c->run.t.sharedPace = &job.pace;
        c->run.itemOrigin = job.origin;
        c->run.login = run.login;  // a proxy that asked the item's connection for its login gets it at once
        unsigned id = 0;
        KernelHandle thread(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, runRangeConnection, c.get(), 0, &id)));
        if (!thread.valid()) break;
        connections.push_back(std::move(c));
        threads.push_back(std::move(thread));
    }
    std::vector<HANDLE> waits;
    for (const KernelHandle& thread : threads) waits.push_back(thread.get());

    uint64_t startBytes = doneBytes(job.done);
    item.startTick = timeGetTime();
    sharedWrite(item.startSize, uint64_t{0});
    uint32_t lastWrite = item.startTick;
    std::vector<ByteRange> written = job.done;
    Judge judge(probe, waits.size(), item.startTick);
    for (bool running = !waits.empty(); running;) {
        // The connections use the job on this stack: it lives until every one of them has ended.
        DWORD poll = judge.poll();
        DWORD waited = WaitForMultipleObjects(static_cast<DWORD>(waits.size()), waits.data(), TRUE, poll);
        running = waited != WAIT_OBJECT_0;
        if (waited == WAIT_FAILED) Sleep(poll);
        std::vector<ByteRange> done;
        size_t flowing = 0;
        {
            std::lock_guard<std::mutex> hold(job.lock);
            done = job.done;
            flowing = job.flowing;
        }
        uint64_t bytes = doneBytes(done);
        sharedWrite(item.fetchedSize, bytes);
        uint32_t now = timeGetTime();
        judge.look(job, flowing, bytes, now);
        if (now != item.startTick) item.speed = speedOf(bytes, startBytes, now - item.startTick);
        postProgress(item);
        // A state of every byte is never needed: the part file takes the save file's place at once.
        // (Writing it would first flush the whole part file to the disk.)
        if ((!running || now - lastWrite >= kStateWriteMs) && done != written && bytes != job.total) {
            writeState(job, statePath, done);
            written = done;
            lastWrite = now;
        }
    }
    if (job.splits > 0) postLogLine(item, "info>範囲の分割 " + std::to_string(job.splits) + "回");
    if (threads.size() < job.slots.size()) postLogLine(item, "info>接続のスレッドを作れませんでした");
    if (job.fallBack)
        return fallBackToOne(run, job, part, partPath, statePath,
                             job.refusal == RangeAnswer::WholeFile ? "サーバーが範囲の取得に応じないため" : "範囲ごとの応答が合わないため");
    if (missingRanges(job.done, job.total).empty()) return completeRanges(run, job, part, partPath, statePath);
    if (isAbortState(sharedRead(item.state))) {
        finishAborted(t);
        return Attempt::Ended;
    }
    return retry(run, STAGE_DATA);
}

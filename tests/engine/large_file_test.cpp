// Resuming files past 4 and 8 GiB without moving gigabytes: the server's file and the partial local
// file are sparse, with real bytes only in their last few MiB, so a position taken modulo 2^32 or
// a size cut to 32 bits shows up in the tail or the file's length.
#include "common/win_handles.h"
#include "engine/ftp_transfer.h"
#include "engine/http_transfer.h"
#include "engine/transfer_events.h"
#include "tests/engine/scheduler_stand_in.h"
#include <gtest/gtest.h>

namespace {

constexpr uint64_t kMiB = uint64_t{1} << 20;
constexpr uint64_t kGiB = uint64_t{1} << 30;

// The byte at `offset` of every large test file: depends on the high half of the offset too.
unsigned char largeByte(uint64_t offset) {
    return static_cast<unsigned char>(contentByte(static_cast<uint32_t>(offset)) ^ (offset >> 32) * 77);
}

std::string largeBytes(uint64_t from, uint64_t to) {
    std::string bytes(static_cast<size_t>(to - from), '\0');
    for (uint64_t i = from; i < to; ++i) bytes[static_cast<size_t>(i - from)] = static_cast<char>(largeByte(i));
    return bytes;
}

// A file of `size` bytes that holds zeros (a hole) up to `dataFrom` and the large pattern from there
// up to `dataTo`. False when the file system had to allocate the hole: then the machine cannot
// hold these files without using gigabytes of disk.
bool makeSparse(const std::string& path, uint64_t size, uint64_t dataFrom, uint64_t dataTo) {
    {
        FileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                    nullptr));
        if (!file.valid()) return false;
        LARGE_INTEGER at;
        at.QuadPart = static_cast<LONGLONG>(size);
        if (!SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN) || !SetEndOfFile(file.get())) return false;
        at.QuadPart = static_cast<LONGLONG>(dataFrom);
        std::string data = largeBytes(dataFrom, dataTo);
        DWORD written = 0;
        if (!SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN) ||
            !WriteFile(file.get(), data.data(), static_cast<DWORD>(data.size()), &written, nullptr) ||
            written != data.size())
            return false;
        // The space the file takes on the disk, not its length.
        FILE_STANDARD_INFO info{};
        return GetFileInformationByHandleEx(file.get(), FileStandardInfo, &info, sizeof info) &&
               static_cast<uint64_t>(info.AllocationSize.QuadPart) < 256 * kMiB;
    }
}

// The last `count` bytes of the file and its whole length.
std::string tailOf(const std::string& path, uint64_t count, uint64_t& length) {
    FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file.valid() || !GetFileSizeEx(file.get(), &size)) return {};
    length = static_cast<uint64_t>(size.QuadPart);
    uint64_t from = length > count ? length - count : 0;
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(from);
    std::string bytes(static_cast<size_t>(length - from), '\0');
    DWORD read = 0;
    if (!SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN) ||
        !ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr))
        return {};
    bytes.resize(read);
    return bytes;
}

TEST(LargeFile, ResumesAcrossFourAndEightGiBOverHttpAndFtp) {
    struct Case {
        const char* what;
        bool ftp;
        uint64_t serverSize;  // the resource: a hole, then real bytes in its last MiBs
        uint64_t present;     // the partial local file: the same hole and bytes up to here
    } cases[] = {
        {"http, 4 GiB", false, 4 * kGiB + 3 * kMiB, 4 * kGiB - 4 * kMiB},
        {"http, 8 GiB", false, 8 * kGiB + 3 * kMiB, 8 * kGiB - 4 * kMiB},
        {"ftp, 4 GiB", true, 4 * kGiB + 3 * kMiB, 4 * kGiB - 4 * kMiB},
        {"ftp, 8 GiB", true, 8 * kGiB + 3 * kMiB, 8 * kGiB - 4 * kMiB},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SchedulerStandIn scheduler;
        DownloadList& list = scheduler.list();
        list.buffSize = 32767;  // 3 MB a second at the transfer's pace
        list.timeOutTime = 10;
        list.maxTryNum = 1;
        list.HTTP.port = testServers().nginx;
        list.FTP.port = testServers().realFtp;
        std::string served = (c.ftp ? testServers().ftpRoot : testServers().root) + "\\large.bin";
        uint64_t dataFrom = c.present - 4 * kMiB;
        if (!makeSparse(served, c.serverSize, dataFrom, c.serverSize)) {
            DeleteFileA(served.c_str());
            GTEST_SKIP() << "this file system cannot hold sparse files of " << c.serverSize << " bytes";
        }
        CreateDirectoryA((scheduler.temp.path() + "download").c_str(), nullptr);
        DownloadItem& item = scheduler.createItem(c.ftp ? "ftp://127.0.0.1/large.bin" : "http://127.0.0.1/large.bin");
        ASSERT_TRUE(makeSparse(item.savePath, c.present, dataFrom, c.present));
        item.fetchedSize = item.startSize = c.present;

        TransferRecord r = scheduler.run(item, c.ftp ? ftpTransfer : httpTransfer);
        EXPECT_EQ(r.outcomes, std::vector<uint32_t>{CMD_SUCCEEDED});
        std::string position = std::to_string(c.present);
        EXPECT_TRUE(r.logged(c.ftp ? "send>REST " + position : "send>Range: bytes=" + position + "-"));
        if (!c.ftp) {
            EXPECT_TRUE(r.logged("recv>Content-Range: bytes " + position + "-" + std::to_string(c.serverSize - 1) +
                                 "/" + std::to_string(c.serverSize)));
            EXPECT_EQ(item.totalSize, c.serverSize);  // the real FTP server names no size
        }
        EXPECT_EQ(item.startSize, c.present);
        EXPECT_EQ(item.fetchedSize, c.serverSize);
        uint64_t length = 0;
        std::string tail = tailOf(item.savePath, 8 * kMiB, length);
        EXPECT_EQ(length, c.serverSize);
        EXPECT_TRUE(tail == largeBytes(c.serverSize - 8 * kMiB, c.serverSize)) << "the last 8 MiB differ";
        DeleteFileA(item.savePath);
        DeleteFileA(served.c_str());
    }
}

}  // namespace

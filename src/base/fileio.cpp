// fileio.cpp - whole-file reads into memory, and durable whole-file writes.
#include "base/fileio.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace umb::base {

ReadResult ReadWholeFile(FILE* file, std::string& out, size_t limit) {
    out.clear();
    // The room left to the end of the file sizes the first allocation, so that a file of known
    // size is read in one go; it is only a hint, as the file may change while it is read.
    size_t capacity = size_t{64} << 10;
    const long start = std::ftell(file);
    if (start >= 0 && std::fseek(file, 0, SEEK_END) == 0) {
        const long end = std::ftell(file);
        if (std::fseek(file, start, SEEK_SET) != 0) return ReadResult::NotFormat;
        if (end >= start) capacity = static_cast<size_t>(end - start) + 1;  // + 1 meets the end
    }
    // One byte beyond the limit is room enough to tell a file that exceeds it.
    const size_t most = std::min(limit, SIZE_MAX - 1) + 1;
    out.resize(std::min(capacity, most));
    size_t used = 0;
    for (;;) {
        if (used == out.size()) {
            if (used > limit) {
                out.resize(used);
                return ReadResult::BadContent;
            }
            out.resize(out.size() < most / 2 ? out.size() * 2 : most);
        }
        const size_t wanted = out.size() - used;
        const size_t got = std::fread(out.data() + used, 1, wanted, file);
        used += got;
        if (got < wanted) break;  // the end of the file, or a failed read
    }
    out.resize(used);
    return std::ferror(file) ? ReadResult::NotFormat : ReadResult::Ok;
}

namespace {

// Writes all bytes, going on after short writes and interruptions.
WriteResult WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return WriteResult::Failed;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return WriteResult::Ok;
}

#ifndef __EMSCRIPTEN__
// The folder that holds path, as open() takes it.
std::string FolderOf(const std::string& path) {
    const size_t cut = path.rfind('/');
    if (cut == std::string::npos) return ".";
    if (cut == 0) return "/";
    return path.substr(0, cut);
}

// Flushes a folder's entries, so that a rename in it survives a crash. File systems that cannot
// flush a folder say so with EINVAL; their renames are as durable as they can be made.
WriteResult SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return WriteResult::Failed;
    WriteResult res = ::fsync(fd) == 0 || errno == EINVAL ? WriteResult::Ok : WriteResult::Failed;
    if (::close(fd) != 0) res = WriteResult::Failed;
    return res;
}

#endif

}  // namespace

std::string TempPathFor(const std::string& path) {
    // A file system takes names of at most 255 bytes: a target whose name is near that still
    // gets a temporary name that fits, made unique to it by a hash of the whole name.
    constexpr size_t MaxName = 255;
    const size_t slash = path.rfind('/');
    const size_t start = slash == std::string::npos ? 0 : slash + 1;
    if (path.size() - start + 4 <= MaxName) return path + ".tmp";
    uint64_t hash = 1469598103934665603ull;  // FNV-1a
    for (const char c : path) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    static const char Hex[] = "0123456789abcdef";
    std::string tail = "~";
    for (int shift = 60; shift >= 0; shift -= 4) tail += Hex[(hash >> shift) & 15u];
    tail += ".tmp";
    return path.substr(0, start + MaxName - tail.size()) + tail;
}

#ifdef __EMSCRIPTEN__
// In the browser the files live in the page's memory, which no crash leaves half written: what
// outlives the page is the copy the page keeps in the browser's storage, made in one transaction
// and only of a file written whole. A temporary file and a rename there only cost: each call into
// the page's file system is some ten times the price of the write itself, and the autosave comes
// after every turn. A failed write removes what it began, and the page is not told of it.
WriteResult WriteFileAtomically(const std::string& path, const void* data, size_t size) {
    if (path.empty() || (data == nullptr && size > 0)) return WriteResult::Failed;
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return WriteResult::Failed;
    WriteResult res = WriteAll(fd, static_cast<const char*>(data), size);
    if (::close(fd) != 0) res = WriteResult::Failed;
    if (res != WriteResult::Ok) ::unlink(path.c_str());
    return res;
}
#else
WriteResult WriteFileAtomically(const std::string& path, const void* data, size_t size) {
    if (path.empty() || (data == nullptr && size > 0)) return WriteResult::Failed;
    const std::string tmp = TempPathFor(path);
    // A file left by a run that was killed while writing goes first. The new one is created
    // afresh and never followed through a link, so nothing outside the folder is written; what
    // cannot be removed (a folder under that name) makes the creation fail below.
    ::unlink(tmp.c_str());
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return WriteResult::Failed;
    WriteResult res = WriteAll(fd, static_cast<const char*>(data), size);
    if (res == WriteResult::Ok && ::fsync(fd) != 0) res = WriteResult::Failed;
    if (::close(fd) != 0) res = WriteResult::Failed;
    if (res == WriteResult::Ok && ::rename(tmp.c_str(), path.c_str()) != 0)
        res = WriteResult::Failed;
    if (res != WriteResult::Ok) {
        ::unlink(tmp.c_str());
        return WriteResult::Failed;
    }
    // The new file is in place; the folder is flushed so that the rename is on the disk too.
    return SyncFolder(FolderOf(path));
}
#endif

}  // namespace umb::base

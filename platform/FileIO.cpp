#include "platform/FileIO.h"

#include <cerrno>
#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include "platform/Errors.h"

namespace varlen {

namespace {

[[noreturn]] void fail(const std::string& fileName, int error) {
    throw EInOutError(fileName + ": " + std::strerror(error));
}

// Writes every piece or returns the errno of the failure (0 on success).
int writeAll(int fd, const std::vector<ByteSpan>& parts) {
    std::vector<iovec> pending;
    for (const ByteSpan& p : parts)
        if (p.size) pending.push_back(iovec{const_cast<void*>(p.data), p.size});
    std::size_t first = 0;
    while (first < pending.size()) {
        const int count = int(std::min<std::size_t>(pending.size() - first, IOV_MAX));
        const ssize_t n = ::writev(fd, pending.data() + first, count);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return EIO;
        // Skip what was written, possibly ending inside a piece.
        std::size_t done = std::size_t(n);
        while (first < pending.size() && done >= pending[first].iov_len) done -= pending[first++].iov_len;
        if (done) {
            pending[first].iov_base = static_cast<std::uint8_t*>(pending[first].iov_base) + done;
            pending[first].iov_len -= done;
        }
    }
    return 0;
}

mode_t currentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

}  // namespace

void WriteFileAtomic(const std::string& fileName, const void* data, std::size_t size) {
    WriteFileAtomic(fileName, std::vector<ByteSpan>{ByteSpan{data, size}});
}

namespace {

// The folder a file name lies in, for opening it.
std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A new file written as an unnamed file in the target's folder (O_TMPFILE) and given its name only
// when complete: no temporary name ever appears, and a failure leaves nothing behind, because an
// unnamed file vanishes when it is closed. linkat never replaces a name, so a file that appeared
// meanwhile is left to the caller. Returns 0 on success, the errno of a write failure (reported
// as it is), or -1 when this way is not available here (the caller then writes beside and renames).
int writeUnnamedThenLink(const std::string& target, const std::vector<ByteSpan>& parts) {
#ifdef O_TMPFILE
    const int fd = ::open(folderOf(target).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);  // umask applies
    if (fd < 0) return -1;  // no O_TMPFILE on this file system, or the folder fails: the other way tells why
    int error = writeAll(fd, parts);
    if (error == 0) {
        char self[32];
        std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
        if (::linkat(AT_FDCWD, self, AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) != 0) error = -1;
    }
    if (::close(fd) != 0 && error == 0) {
        // The name is ours (linkat made it), but the content may not be whole: take it back.
        error = errno;
        ::unlink(target.c_str());
    }
    return error;
#else
    (void)target;
    (void)parts;
    return -1;
#endif
}

}  // namespace

void WriteFileAtomic(const std::string& fileName, const std::vector<ByteSpan>& parts) {
    std::string target = fileName;
    struct stat st {};
    bool exists = ::lstat(target.c_str(), &st) == 0;
    if (exists && S_ISLNK(st.st_mode)) {
        // Replace the file the link points to, not the link.
        if (char* resolved = ::realpath(target.c_str(), nullptr)) {
            target = resolved;
            std::free(resolved);
        } else {
            // A link to a file not yet there: the file is made where the link points.
            char linked[PATH_MAX];
            const ssize_t n = ::readlink(target.c_str(), linked, sizeof linked - 1);
            if (n > 0) {
                const std::string to(linked, std::size_t(n));
                target = to[0] == '/' ? to : folderOf(target) + "/" + to;
            }
        }
        exists = ::stat(target.c_str(), &st) == 0;
    }
    if (exists && S_ISDIR(st.st_mode)) fail(fileName, EISDIR);
    if (exists && !S_ISREG(st.st_mode)) {
        // A device or pipe cannot be replaced; it takes the bytes directly.
        const int fd = ::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (fd < 0) fail(fileName, errno);
        int error = writeAll(fd, parts);
        if (::close(fd) != 0 && error == 0) error = errno;
        if (error) fail(fileName, error);
        return;
    }

    if (!exists) {
        const int error = writeUnnamedThenLink(target, parts);
        if (error == 0) return;
        if (error > 0) fail(fileName, error);
        // Not available, or the name was taken meanwhile: write beside it and rename.
    }

    std::string temp = target + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) fail(fileName, errno);
    int error = writeAll(fd, parts);
    if (error == 0) {
        const mode_t mode = exists ? (st.st_mode & 07777) : (0666 & ~currentUmask());
        ::fchmod(fd, mode);
    }
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && ::rename(temp.c_str(), target.c_str()) != 0) error = errno;
    if (error) {
        ::unlink(temp.c_str());
        fail(fileName, error);
    }
}

std::vector<std::uint8_t> ReadWholeFile(const std::string& fileName) {
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) fail(fileName, errno);
    std::vector<std::uint8_t> bytes;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        fail(fileName, EISDIR);
    }
    if (S_ISREG(st.st_mode) && st.st_size > 0) bytes.reserve(std::size_t(st.st_size));
    std::uint8_t buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int error = errno;
            ::close(fd);
            fail(fileName, error);
        }
        if (n == 0) break;
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    ::close(fd);
    return bytes;
}

}  // namespace varlen

// SPDX-License-Identifier: MIT
#include "platform/FileIO.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <utility>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include "platform/Errors.h"

namespace varlen {

namespace {

[[noreturn]] void fail(const std::string& fileName, int error) {
    throw EInOutError(fileName + ": " + std::strerror(error));
}

// A file descriptor closed when it goes out of scope (close() of a written file is checked by
// hand before that).
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    // Closes now; returns close()'s errno, 0 when it succeeded.
    int close() {
        const int fd = std::exchange(fd_, -1);
        return fd >= 0 && ::close(fd) != 0 ? errno : 0;
    }
    void reset() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

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

// Copies everything the file `from` holds, from its start, to `fd`, or returns the errno of the
// failure (0 on success).
int copyAll(int from, int fd) {
    char buffer[65536];
    for (off_t at = 0;;) {
        const ssize_t n = ::pread(from, buffer, sizeof buffer, at);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return 0;
        at += n;
        if (const int error = writeAll(fd, {ByteSpan{buffer, std::size_t(n)}})) return error;
    }
}

// What a file is to hold: pieces in memory, or the whole of a file written already (a document
// streamed as it was made).
struct Content {
    const std::vector<ByteSpan>* parts = nullptr;
    int copyFrom = -1;
};

int writeContent(int fd, const Content& content) {
    return content.parts ? writeAll(fd, *content.parts) : copyAll(content.copyFrom, fd);
}

// "a/b/c.png" -> "a/b"; "c.png" -> "."; "/c.png" -> "/".
std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

Fd openFolder(const std::string& folder) { return Fd(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC)); }

bool sameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Where a name lives: its folder, open, and the name in it. Everything after the lookup works on
// the folder's descriptor, so a folder renamed meanwhile cannot send the file elsewhere.
struct Place {
    Fd folder;
    std::string name;
};

// The folder and name of an open file as the kernel itself resolved its path (the descriptor's
// entry in /proc), checked to be that very file still. False when it is not a named file in a
// folder, or it was moved meanwhile.
bool placeOf(int fd, Place& place) {
    char self[32];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
    std::string path(PATH_MAX, '\0');
    const ssize_t n = ::readlink(self, path.data(), path.size());
    if (n <= 0 || std::size_t(n) >= path.size()) return false;
    path.resize(std::size_t(n));
    if (path[0] != '/') return false;
    place.folder = openFolder(folderOf(path));
    place.name = nameOf(path);
    struct stat opened {}, named {};
    return place.folder && ::fstat(fd, &opened) == 0 &&
           ::fstatat(place.folder.get(), place.name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 && sameFile(opened, named);
}

// A hidden name for a temporary file that nobody else can have: 48 random bits.
std::string temporaryName() {
    static std::atomic<unsigned> counter{0};
    unsigned char bits[6] = {};
    if (::getrandom(bits, sizeof bits, GRND_NONBLOCK) != ssize_t(sizeof bits)) {
        const unsigned mix = unsigned(::getpid()) * 2654435761u + counter.fetch_add(1) * 40503u;
        std::memcpy(bits, &mix, sizeof mix);
    }
    char name[32];
    std::snprintf(name, sizeof name, ".varlen-%02x%02x%02x%02x%02x%02x.tmp", bits[0], bits[1], bits[2], bits[3], bits[4],
                  bits[5]);
    return name;
}

// A new temporary file in the folder, created exclusively (never an existing name). Returns the
// descriptor, or -1 with errno.
int createTemporary(int folder, std::string& name, mode_t mode) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = temporaryName();
        const int fd = ::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, mode);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

// The replaced file's owner, group and mode on the new one. Root keeps the owner or fails; anyone
// else keeps the group when they belong to it and becomes the owner. Returns an errno, 0 if done.
int keepOwnerAndMode(int fd, const struct stat& old) {
    struct stat now {};
    if (::fstat(fd, &now) != 0) return errno;
    if (now.st_uid != old.st_uid || now.st_gid != old.st_gid) {
        if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
            const int error = errno;
            if (::geteuid() == 0) return error;
            if (now.st_gid != old.st_gid) (void)::fchown(fd, uid_t(-1), old.st_gid);
        }
    }
    // After the owner: a change of owner clears the set-ID bits.
    return ::fchmod(fd, old.st_mode & 07777) != 0 ? errno : 0;
}

// The bytes into a target that is not a regular file (a device, a pipe), in place.
void writeInPlace(const std::string& fileName, const Content& content) {
    Fd fd(::open(fileName.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY));
    if (!fd) fail(fileName, errno);
    int error = writeContent(fd.get(), content);
    const int closed = fd.close();
    if (!error) error = closed;
    if (error) fail(fileName, error);
}

enum class Result { done, raced };

#ifdef O_TMPFILE
// Gives the unnamed file `fd` the name `name` in `folder` (AT_FDCWD: `name` is a path), never
// replacing anything: straight from its descriptor where the process may (a privileged one), else
// through its entry in /proc, whose lookup costs a batch of labels as much as writing them.
// Returns linkat's result, errno set.
int linkUnnamed(int fd, int folder, const char* name) {
    static std::atomic<bool> byDescriptor{true};
    if (byDescriptor.load(std::memory_order_relaxed)) {
        if (::linkat(fd, "", folder, name, AT_EMPTY_PATH) == 0) return 0;
        if (errno != ENOENT && errno != EPERM && errno != EINVAL) return -1;
        byDescriptor = false;
    }
    char self[32];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
    return ::linkat(AT_FDCWD, self, folder, name, AT_SYMLINK_FOLLOW);
}
#endif

// A file that does not exist yet. Written unnamed and linked only when complete, so no temporary
// name ever appears and a failure leaves nothing (an unnamed file vanishes when closed). Where the
// file system has no unnamed files, a hidden temporary file is renamed to the name without
// replacing anything. Raced: the name appeared meanwhile, and the caller looks again.
Result writeNew(const std::string& fileName, const Place& place, const Content& content) {
    const int folder = place.folder.get();
#ifdef O_TMPFILE
    Fd fd(::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));  // the umask applies
    if (fd) {
        if (const int error = writeContent(fd.get(), content)) fail(fileName, error);
        if (linkUnnamed(fd.get(), folder, place.name.c_str()) != 0) {
            if (errno == EEXIST) return Result::raced;
            fail(fileName, errno);
        }
        if (const int error = fd.close()) {
            // The name is ours (the link made it), but the content may not be whole: take it back.
            ::unlinkat(folder, place.name.c_str(), 0);
            fail(fileName, error);
        }
        return Result::done;
    }
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) fail(fileName, errno);
#endif
    std::string temp;
    Fd fd2(createTemporary(folder, temp, 0666));
    if (!fd2) fail(fileName, errno);
    int error = writeContent(fd2.get(), content);
    const int closed = fd2.close();
    if (!error) error = closed;
    if (!error && ::renameat2(folder, temp.c_str(), folder, place.name.c_str(), RENAME_NOREPLACE) != 0) {
        error = errno;
        // A file system without the no-replace rename: the plain one.
        if (error == EINVAL && ::renameat(folder, temp.c_str(), folder, place.name.c_str()) == 0) error = 0;
    }
    if (error) {
        ::unlinkat(folder, temp.c_str(), 0);
        if (error == EEXIST) return Result::raced;
        fail(fileName, error);
    }
    return Result::done;
}

// A hidden name in the folder for the unnamed file, which holds the bytes and already has the
// replaced file's owner and mode. False when it cannot be named there (another file system).
bool nameUnnamed(int fd, int folder, std::string& name) {
#ifdef O_TMPFILE
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = temporaryName();
        if (linkUnnamed(fd, folder, name.c_str()) == 0) return true;
        if (errno != EEXIST) return false;
    }
#else
    (void)fd, (void)folder, (void)name;
#endif
    return false;
}

// `unnamed`, when open, is an unnamed file that holds the bytes already (the name existed when the
// quick way below tried to link it); a replacement takes it rather than writing them once more.
Result writeOnce(const std::string& fileName, const Content& content, Fd& unnamed) {
    Place place{openFolder(folderOf(fileName)), nameOf(fileName)};
    if (!place.folder) fail(fileName, errno);
    if (place.name.empty()) fail(fileName, EISDIR);  // "name/" names a folder
    struct stat st {};
    if (::fstatat(place.folder.get(), place.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno != ENOENT) fail(fileName, errno);
        return writeNew(fileName, place, content);
    }

    // Through a link: the file it leads to, as the kernel finds it. A link to a file not yet
    // there makes that file (empty, removed again if the write fails).
    Fd target;
    bool made = false;
    if (S_ISLNK(st.st_mode)) {
        target = Fd(::open(fileName.c_str(), O_PATH | O_CLOEXEC));
        if (!target && errno == ENOENT) {
            target = Fd(::open(fileName.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666));
            made = bool(target);
        }
        if (!target) fail(fileName, errno);
        if (::fstat(target.get(), &st) != 0) fail(fileName, errno);
        if (S_ISDIR(st.st_mode)) fail(fileName, EISDIR);
        if (!S_ISREG(st.st_mode)) {
            writeInPlace(fileName, content);
            return Result::done;
        }
        if (!placeOf(target.get(), place)) return Result::raced;
    } else if (S_ISDIR(st.st_mode)) {
        fail(fileName, EISDIR);
    } else if (!S_ISREG(st.st_mode)) {
        writeInPlace(fileName, content);
        return Result::done;
    }
    const int folder = place.folder.get();
    auto removeMade = [&] {
        struct stat m {}, now {};
        if (made && ::fstat(target.get(), &m) == 0 && m.st_size == 0 &&
            ::fstatat(folder, place.name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 && sameFile(m, now))
            ::unlinkat(folder, place.name.c_str(), 0);
    };

    // Refused as writing into it would be refused.
    if (::faccessat(folder, place.name.c_str(), W_OK, AT_EACCESS | AT_SYMLINK_NOFOLLOW) != 0) {
        const int error = errno;
        removeMade();
        fail(fileName, error);
    }
    std::string temp;
    Fd fd;
    int error = 0;
    // The owner and mode go on before the file has a name, so that nobody the replaced file kept
    // out can open the new one meanwhile.
    if (unnamed && keepOwnerAndMode(unnamed.get(), st) == 0 && nameUnnamed(unnamed.get(), folder, temp)) {
        fd = std::move(unnamed);
    } else {
        unnamed.reset();
        fd = Fd(createTemporary(folder, temp, 0600));
        if (!fd) {
            error = errno;
            removeMade();
            fail(fileName, error);
        }
        error = writeContent(fd.get(), content);
        if (!error) error = keepOwnerAndMode(fd.get(), st);
    }
    const int closed = fd.close();
    if (!error) error = closed;
    if (!error && ::renameat(folder, temp.c_str(), folder, place.name.c_str()) != 0) error = errno;
    if (error) {
        ::unlinkat(folder, temp.c_str(), 0);
        removeMade();
        fail(fileName, error);
    }
    return Result::done;
}

}  // namespace

void WriteFileAtomic(const std::string& fileName, const void* data, std::size_t size) {
    WriteFileAtomic(fileName, std::vector<ByteSpan>{ByteSpan{data, size}});
}

namespace {

// The common case in three calls: an unnamed file in the name's folder, the bytes, a link under
// the name, which fails if anything has that name. Done, or anything else (the name exists, the
// file system has no unnamed files, a failure) is left to writeOnce, which looks at the name
// first and reports the failure; `unnamed` keeps the written file when only the name was in the
// way.
bool writeNewQuickly(const std::string& fileName, const std::vector<ByteSpan>& parts, Fd& unnamed) {
#ifdef O_TMPFILE
    const std::string folder = folderOf(fileName);
    if (nameOf(fileName).empty()) return false;
    Fd fd(::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));  // the umask applies
    if (!fd || writeAll(fd.get(), parts) != 0) return false;
    if (linkUnnamed(fd.get(), AT_FDCWD, fileName.c_str()) != 0) {
        if (errno == EEXIST) unnamed = std::move(fd);
        return false;
    }
    if (const int error = fd.close()) {
        // The name is ours (the link made it), but the content may not be whole: take it back.
        ::unlink(fileName.c_str());
        fail(fileName, error);
    }
    return true;
#else
    (void)fileName, (void)parts, (void)unnamed;
    return false;
#endif
}

}  // namespace

void WriteFileAtomic(const std::string& fileName, const std::vector<ByteSpan>& parts) {
    if (fileName.empty()) fail(fileName, ENOENT);
    Fd unnamed;
    if (writeNewQuickly(fileName, parts, unnamed)) return;
    // Another program that makes or removes the name while we look gets a few more looks.
    for (int attempt = 0; attempt < 16; ++attempt)
        if (writeOnce(fileName, Content{&parts}, unnamed) == Result::done) return;
    fail(fileName, EAGAIN);
}

TFileStream::TFileStream(std::string fileName) : fileName_(std::move(fileName)) {
    if (fileName_.empty()) fail(fileName_, ENOENT);
    if (nameOf(fileName_).empty()) fail(fileName_, EISDIR);
    // Refused now what Commit would refuse, before a long document is made for nothing.
    struct stat st {};
    if (::stat(fileName_.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) fail(fileName_, EISDIR);
        if (::faccessat(AT_FDCWD, fileName_.c_str(), W_OK, AT_EACCESS) != 0) fail(fileName_, errno);
        if (!S_ISREG(st.st_mode)) {
            fd_ = ::open(fileName_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
            if (fd_ < 0) fail(fileName_, errno);
            inPlace_ = true;
            return;
        }
    }
    const std::string folder = folderOf(fileName_);
#ifdef O_TMPFILE
    // Read back too: a replaced file that cannot take this one over (another file system behind a
    // link) gets a copy of it.
    fd_ = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    if (fd_ >= 0) return;
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) fail(fileName_, errno);
#endif
    folder_ = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folder_ < 0) fail(fileName_, errno);
    fd_ = createTemporary(folder_, temporary_, 0600);
    if (fd_ < 0) {
        const int error = errno;
        discard();
        fail(fileName_, error);
    }
}

TFileStream::~TFileStream() { discard(); }

void TFileStream::discard() noexcept {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temporary_.empty()) ::unlinkat(folder_, temporary_.c_str(), 0);
    temporary_.clear();
    if (folder_ >= 0) ::close(folder_);
    folder_ = -1;
}

void TFileStream::Write(const void* data, std::size_t size) {
    if (fd_ < 0) fail(fileName_, EBADF);
    if (const int error = writeAll(fd_, {ByteSpan{data, size}})) {
        discard();
        fail(fileName_, error);
    }
    size_ += size;
}

void TFileStream::Commit() {
    if (fd_ < 0) fail(fileName_, EBADF);
    // Whatever happens below, the stream is done: a failure leaves nothing of it.
    struct Done {
        TFileStream& stream;
        ~Done() { stream.discard(); }
    } done{*this};
    if (inPlace_) {
        const int error = ::close(std::exchange(fd_, -1)) != 0 ? errno : 0;
        if (error) fail(fileName_, error);
        return;
    }
    Fd unnamed;
#ifdef O_TMPFILE
    if (temporary_.empty()) {
        if (linkUnnamed(fd_, AT_FDCWD, fileName_.c_str()) == 0) {
            if (::close(std::exchange(fd_, -1)) != 0) {
                const int error = errno;
                ::unlink(fileName_.c_str());
                fail(fileName_, error);
            }
            return;
        }
        // The name is taken: the written file itself replaces it where it can (a copy of the
        // descriptor, so that the bytes can still be copied where it cannot).
        if (errno == EEXIST) unnamed = Fd(::dup(fd_));
    }
#endif
    for (int attempt = 0; attempt < 16; ++attempt)
        if (writeOnce(fileName_, Content{nullptr, fd_}, unnamed) == Result::done) return;
    fail(fileName_, EAGAIN);
}

void WriteStandardOutput(const void* data, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = ::write(STDOUT_FILENO, p, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                // A non-blocking descriptor handed down to us: wait until it takes more.
                pollfd out{STDOUT_FILENO, POLLOUT, 0};
                ::poll(&out, 1, -1);
                continue;
            }
            fail("standard output", errno);
        }
        p += n;
        size -= std::size_t(n);
    }
}

void WriteStandardError(const std::string& text) {
    const char* p = text.data();
    std::size_t size = text.size();
    while (size > 0) {
        const ssize_t n = ::write(STDERR_FILENO, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        p += n;
        size -= std::size_t(n);
    }
}

void MakeFolders(const std::string& fileName) {
    const std::string folder = folderOf(fileName);
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return;
    // Each prefix up to a "/" in turn; one that exists must be a folder (or a link to one).
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string prefix = folder.substr(0, slash);
        if (!prefix.empty() && prefix.back() != '/' && ::mkdir(prefix.c_str(), 0777) != 0) {
            const int error = errno;
            if (error != EEXIST) fail(prefix, error);
            if (::stat(prefix.c_str(), &st) != 0) fail(prefix, errno);
            if (!S_ISDIR(st.st_mode)) fail(prefix, ENOTDIR);
        }
        if (slash == std::string::npos) return;
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

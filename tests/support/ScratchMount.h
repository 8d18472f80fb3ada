// SPDX-License-Identifier: MIT
#pragma once
// Places where writing fails for real, for the failure suites: a small tmpfs that the test mounts
// itself (only root may), which can be filled up to the last block or the last file, or turned
// read-only. Root ignores permission bits, so a read-only mount is the only honest read-only
// folder for a test that runs as root. Unmounted and removed again when the object goes.
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace varlen::testing {

class ScratchMount {
public:
    // A tmpfs of `kib` KiB holding at most `files` files and folders (its root included). With
    // `devices`, device nodes made in it can be opened.
    explicit ScratchMount(int kib = 256, int files = 64, bool devices = false) : flags_(MS_NOSUID | (devices ? 0 : MS_NODEV)) {
        if (::geteuid() != 0) {
            skipReason_ = "mounting a scratch tmpfs needs root";
            return;
        }
        std::string pattern = (std::filesystem::temp_directory_path() / "varlen-mount-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) {
            skipReason_ = std::string("no scratch folder: ") + std::strerror(errno);
            return;
        }
        path_ = pattern;
        options_ = "size=" + std::to_string(kib) + "k,nr_inodes=" + std::to_string(files) + ",mode=0755";
        if (::mount("tmpfs", path_.c_str(), "tmpfs", flags_, options_.c_str()) != 0) {
            skipReason_ = std::string("cannot mount a tmpfs here: ") + std::strerror(errno);
            ::rmdir(path_.c_str());
            path_.clear();
            return;
        }
        mounted_ = true;
    }
    ~ScratchMount() {
        if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
        if (!path_.empty()) ::rmdir(path_.c_str());
    }
    ScratchMount(const ScratchMount&) = delete;
    ScratchMount& operator=(const ScratchMount&) = delete;

    bool mounted() const { return mounted_; }
    const std::string& skipReason() const { return skipReason_; }
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

    // Turns the whole mount read-only: every create, write and rename in it fails with EROFS.
    bool makeReadOnly() {
        return ::mount(nullptr, path_.c_str(), nullptr, MS_REMOUNT | MS_RDONLY | flags_,
                       options_.c_str()) == 0;
    }

    // Takes every free block with one filler file: the next write of any data fails with ENOSPC,
    // while a new empty file can still be created.
    bool fillBlocks() {
        const std::string filler = file(".filler-blocks");
        FILE* f = std::fopen(filler.c_str(), "wb");
        if (!f) return false;
        std::vector<char> chunk(4096, 'x');
        while (std::fwrite(chunk.data(), 1, chunk.size(), f) == chunk.size()) {
        }
        std::fclose(f);
        // A few bytes may still fit into the last partial block: take them one by one.
        int fd = ::open(filler.c_str(), O_WRONLY | O_APPEND);
        if (fd < 0) return false;
        while (::write(fd, "x", 1) == 1) {
        }
        ::close(fd);
        return true;
    }

    // Takes every free file slot with empty files: the next file created fails with ENOSPC, while
    // existing files can still grow.
    bool fillFiles() {
        for (int i = 0;; ++i) {
            const std::string name = file(".filler-" + std::to_string(i));
            const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
            if (fd < 0) return errno == ENOSPC;
            ::close(fd);
        }
    }

    // A character device like /dev/full (every write fails with ENOSPC) named `name` in the mount,
    // for a writer that must write into a device in place rather than replace it.
    bool makeFullDevice(const std::string& name) {
        return ::mknod(file(name).c_str(), S_IFCHR | 0666, makedev(1, 7)) == 0;
    }

    // The names in the mount that a test did not put there itself (fillers excluded).
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(path_)) {
            const std::string n = e.path().filename().string();
            if (n.rfind(".filler-", 0) != 0) out.push_back(n);
        }
        std::sort(out.begin(), out.end());
        return out;
    }

private:
    unsigned long flags_;
    std::string path_;
    std::string options_;
    std::string skipReason_;
    bool mounted_ = false;
};

// Skips the calling test, with the reason, when the scratch mount could not be made.
#define VARLEN_REQUIRE_MOUNT(mount)                                   \
    do {                                                              \
        if (!(mount).mounted()) GTEST_SKIP() << (mount).skipReason(); \
    } while (0)

// The ways the failure suites make writing fail on a scratch mount.
enum class Place {
    readOnly,     // EROFS on create and rename
    noFreeBlock,  // ENOSPC on the first data written
    noFreeFile,   // ENOSPC when the temporary file is made
    fullDevice,   // a full character device as the target: written in place, never replaced
};

// Every way of failing, named for the test's trace.
struct FailureCase {
    const char* name;
    Place place;
};
inline constexpr FailureCase kEveryFailure[] = {
    {"read-only file system", Place::readOnly},
    {"no free block", Place::noFreeBlock},
    {"no free file slot", Place::noFreeFile},
    {"a full device as the target", Place::fullDevice},
};

// Puts the mount in the state `place` names; a full device needs nothing more than a mount made
// with one.
inline bool makeWritingFail(ScratchMount& mount, Place place) {
    switch (place) {
    case Place::readOnly: return mount.makeReadOnly();
    case Place::noFreeBlock: return mount.fillBlocks();
    case Place::noFreeFile: return mount.fillFiles();
    case Place::fullDevice: return true;
    }
    return false;
}

// An ordinary user and group for the cases where permissions must count: root passes over them.
inline constexpr uid_t kUser = 65534;  // nobody / nogroup

// For its scope, the process acts as kUser (effective user and group), so that the kernel checks
// permissions as for any user; root again afterwards. With `on` false it changes nothing. Only
// root can switch; ok() is false otherwise.
class AsUser {
public:
    explicit AsUser(bool on = true) : on_(on) {
        if (on_) ok_ = ::setresgid(gid_t(-1), kUser, gid_t(-1)) == 0 && ::setresuid(uid_t(-1), kUser, uid_t(-1)) == 0;
    }
    ~AsUser() {
        if (!on_) return;
        (void)::setresuid(uid_t(-1), 0, uid_t(-1));
        (void)::setresgid(gid_t(-1), 0, gid_t(-1));
    }
    AsUser(const AsUser&) = delete;
    AsUser& operator=(const AsUser&) = delete;
    bool ok() const { return ok_; }

private:
    bool on_;
    bool ok_ = true;
};

// Writes a file with the given bytes; false when it cannot.
inline bool writeAll(const std::string& name, const std::string& content) {
    FILE* f = std::fopen(name.c_str(), "wb");
    if (!f) return false;
    const bool written = std::fwrite(content.data(), 1, content.size(), f) == content.size();
    return std::fclose(f) == 0 && written;
}

// A file's bytes, or nothing when it cannot be read.
inline std::string readAll(const std::string& name) {
    std::string out;
    if (FILE* f = std::fopen(name.c_str(), "rb")) {
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
        std::fclose(f);
    }
    return out;
}

}  // namespace varlen::testing

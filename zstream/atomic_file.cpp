// atomic_file.cpp -- unnamed or short-named temporary file, fsync, link or rename into place; a
// fixed table of pending names for signals.
#include "zstream/atomic_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <random>
#include <utility>

#include "engine/errors.h"

namespace quorvane {
namespace {

// Pending temporary names, kept where a signal handler can read them without allocating.
constexpr int kSlots = 16;
constexpr size_t kPathMax = 4096;
char g_paths[kSlots][kPathMax];
std::atomic<bool> g_used[kSlots];

int claim_slot(const std::string& path) {
    if (path.size() >= kPathMax) return -1;
    for (int i = 0; i < kSlots; ++i) {
        bool expected = false;
        if (g_used[i].compare_exchange_strong(expected, true)) {
            std::memcpy(g_paths[i], path.c_str(), path.size() + 1);
            return i;
        }
    }
    return -1;
}

void release_slot(int& slot) {
    if (slot >= 0) g_used[slot].store(false);
    slot = -1;
}

// A temporary name of fixed length, whatever the target's: a target name of up to the file
// system's limit must still have room for its temporary file.
constexpr const char* kTempPattern = ".quorvane-XXXXXX";

std::string with_reason(std::string message, int error) {
    message.append(": ").append(std::strerror(error));
    return message;
}

std::string cannot_create(const std::filesystem::path& target) {
    return "Cannot create file " + target.string();
}

// The permissions a new file gets when nothing else is asked for.
int default_permissions() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return static_cast<int>(0666 & ~mask);
}

// Refuses a target that is neither a regular file nor absent (devices and FIFOs are dealt with
// before); true when a regular file is there, with its permission bits.
bool existing_regular_file(const std::filesystem::path& target, int& permissions) {
    struct stat st {};
    if (::stat(target.c_str(), &st) != 0) return false;
    if (S_ISDIR(st.st_mode)) throw EInOutError(with_reason(cannot_create(target), EISDIR));
    if (!S_ISREG(st.st_mode)) {
        throw EInOutError(cannot_create(target) + ": not a regular file, device or FIFO");
    }
    permissions = static_cast<int>(st.st_mode & 0777);
    return true;
}

// Links the unnamed file open as fd under name; false with errno set on failure.
bool link_unnamed(int fd, const std::string& name) {
    char proc_path[40];
    std::snprintf(proc_path, sizeof proc_path, "/proc/self/fd/%d", fd);
    return ::linkat(AT_FDCWD, proc_path, AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

// Moves from to a target that must not exist; false with errno set on failure (EEXIST when it
// does).
bool rename_no_replace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) return false;
    // The file system cannot rename without replacing: a hard link fails on an existing name.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return true;
    }
    if (errno != EPERM && errno != EOPNOTSUPP) return false;
    // Neither: the best left is to look just before renaming.
    if (::access(to.c_str(), F_OK) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace

AtomicFile::AtomicFile(std::filesystem::path target, const OutputOptions& options)
    : target_(std::move(target)), replace_(options.replace) {
    if (options.descriptor >= 0) {
        kind_ = Kind::Descriptor;
        fd_ = options.descriptor;
        return;
    }
    // "dir/" names a folder, not a file to create in it.
    if (!target_.has_filename()) throw EInOutError(with_reason(cannot_create(target_), EISDIR));
    struct stat st {};
    if (::stat(target_.c_str(), &st) == 0 && (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode))) {
        // Renaming over a device or FIFO would replace it with a plain file.
        fd_ = ::open(target_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (fd_ < 0) throw EInOutError(with_reason(cannot_create(target_), errno));
        kind_ = Kind::InPlace;
        return;
    }
    int ignored = 0;
    existing_regular_file(target_, ignored);
    permissions_ = options.permissions >= 0 ? (options.permissions & 0777) : default_permissions();
    const std::filesystem::path folder = target_.has_parent_path() ? target_.parent_path() : ".";
#ifdef O_TMPFILE
    // Naming an unnamed file goes through /proc; without it the file could never be put in place.
    static const bool proc_fd = ::access("/proc/self/fd", X_OK) == 0;
    if (options.unnamed && proc_fd) {
        fd_ = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
        if (fd_ >= 0) return;
        // File systems and kernels without unnamed files say so in one of these ways.
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            throw EInOutError(with_reason(cannot_create(target_), errno));
        }
    }
#endif
    std::string name = (folder / kTempPattern).string();
    fd_ = ::mkostemp(name.data(), O_CLOEXEC);  // private: 0600
    if (fd_ < 0) throw EInOutError(with_reason(cannot_create(target_), errno));
    kind_ = Kind::Named;
    temp_ = name;
    slot_ = claim_slot(name);
}

AtomicFile::~AtomicFile() {
    discard();
}

std::string AtomicFile::cannot_write() const {
    return (kind_ == Kind::Descriptor ? "Cannot write to " : "Cannot write file ") +
           target_.string();
}

std::string AtomicFile::write_error() const {
    return std::strerror(write_errno_ != 0 ? write_errno_ : ENOSPC);
}

size_t AtomicFile::write(const void* data, size_t count) {
    const auto* p = static_cast<const char*>(data);
    size_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(fd_, p + done, count - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != ENOSPC && errno != EDQUOT) {
            throw EInOutError(with_reason(cannot_write(), errno));
        }
        write_errno_ = n < 0 ? errno : ENOSPC;
        break;  // the device is full: a short write
    }
    return done;
}

int64_t AtomicFile::seek(int64_t offset, int whence) {
    const off_t at = ::lseek(fd_, static_cast<off_t>(offset), whence);
    if (at < 0) throw EInOutError(with_reason(cannot_write(), errno));
    return static_cast<int64_t>(at);
}

void AtomicFile::commit() {
    if (fd_ < 0) throw EInOutError(cannot_write());
    if (kind_ == Kind::Descriptor) {
        fd_ = -1;
        return;
    }
    if (kind_ == Kind::InPlace) {
        if (::close(std::exchange(fd_, -1)) != 0) {
            throw EInOutError(with_reason(cannot_write(), errno));
        }
        return;
    }
    int permissions = permissions_;
    int existing = 0;
    try {
        // A file that is replaced never becomes more public than it was.
        if (existing_regular_file(target_, existing) && replace_) permissions &= existing;
    } catch (...) {
        discard();
        throw;
    }
    if (::fchmod(fd_, static_cast<mode_t>(permissions)) != 0 ||
        (::fsync(fd_) != 0 && errno != EINVAL)) {
        const int error = errno;
        discard();
        throw EInOutError(with_reason(cannot_write(), error));
    }
    if (kind_ == Kind::Unnamed) {
        place_unnamed();
    } else {
        place_named();
    }
}

void AtomicFile::place_unnamed() {
    if (!replace_) {
        if (!link_unnamed(fd_, target_.string())) {
            const int error = errno;
            discard();
            throw EInOutError(with_reason(cannot_create(target_), error));
        }
        ::close(std::exchange(fd_, -1));
        return;
    }
    // Replacing takes a name of its own first, then one rename over the target.
    static thread_local std::mt19937 rng{std::random_device{}()};
    const std::filesystem::path folder = target_.has_parent_path() ? target_.parent_path() : ".";
    std::string name;
    for (int attempt = 0;; ++attempt) {
        std::string base = kTempPattern;
        for (char& c : base) {
            if (c == 'X') c = "abcdefghijklmnopqrstuvwxyz0123456789"[rng() % 36];
        }
        name = (folder / base).string();
        if (link_unnamed(fd_, name)) break;
        if (errno != EEXIST || attempt == 100) {
            const int error = errno;
            discard();
            throw EInOutError(with_reason(cannot_create(target_), error));
        }
    }
    temp_ = name;
    slot_ = claim_slot(name);
    place_named();
}

void AtomicFile::place_named() {
    if (fd_ >= 0 && ::close(std::exchange(fd_, -1)) != 0) {
        const int error = errno;
        discard();
        throw EInOutError(with_reason(cannot_write(), error));
    }
    const bool placed = replace_ ? ::rename(temp_.c_str(), target_.c_str()) == 0
                                 : rename_no_replace(temp_.string(), target_.string());
    if (!placed) {
        const int error = errno;
        discard();
        throw EInOutError(with_reason(cannot_create(target_), error));
    }
    release_slot(slot_);
    temp_.clear();
}

void AtomicFile::discard() noexcept {
    if (fd_ >= 0 && kind_ != Kind::Descriptor) ::close(fd_);
    fd_ = -1;
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
    release_slot(slot_);
}

bool write_file_atomically(const std::filesystem::path& target, const void* data, size_t count,
                           const OutputOptions& options) {
    AtomicFile file(target, options);
    if (file.write(data, count) != count) return false;
    file.commit();
    return true;
}

void remove_pending_temp_files() noexcept {
    for (int i = 0; i < kSlots; ++i) {
        if (g_used[i].load()) ::unlink(g_paths[i]);
    }
}

}  // namespace quorvane

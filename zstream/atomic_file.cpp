// atomic_file.cpp -- temporary file, fsync, rename; a fixed table of pending names for signals.
#include "zstream/atomic_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <random>

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

void release_slot(int slot) {
    if (slot >= 0) g_used[slot].store(false);
}

std::string errno_text() {
    return std::strerror(errno);
}

}  // namespace

AtomicFile::AtomicFile(std::filesystem::path target) : target_(std::move(target)) {
    static thread_local std::mt19937_64 rng{std::random_device{}()};
    const std::filesystem::path folder = target_.has_parent_path() ? target_.parent_path() : ".";
    std::string base = target_.filename().string();
    base.insert(0, 1, '.');
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp_ = folder / (base + "." + std::to_string(rng() % 1000000000) + ".tmp");
        fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0 || errno != EEXIST) break;
    }
    if (fd_ < 0) throw EInOutError("Cannot create file " + target_.string());
    slot_ = claim_slot(temp_.string());
}

AtomicFile::~AtomicFile() {
    discard();
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
            throw EInOutError("Stream write error: " + errno_text());
        }
        break;  // the device is full: a short write
    }
    return done;
}

int64_t AtomicFile::seek(int64_t offset, int whence) {
    const off_t at = ::lseek(fd_, static_cast<off_t>(offset), whence);
    if (at < 0) throw EInOutError("Stream write error: " + errno_text());
    return static_cast<int64_t>(at);
}

void AtomicFile::commit() {
    if (fd_ < 0) throw EInOutError("Stream write error");
    if (::fsync(fd_) != 0 && errno != EINVAL) {
        throw EInOutError("Stream write error: " + errno_text());
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
        const std::string reason = errno_text();
        discard();
        throw EInOutError("Stream write error: " + reason);
    }
    if (::rename(temp_.c_str(), target_.c_str()) != 0) {
        const std::string reason = errno_text();
        discard();
        throw EInOutError("Cannot create file " + target_.string() + ": " + reason);
    }
    release_slot(slot_);
    slot_ = -1;
    temp_.clear();
}

void AtomicFile::discard() noexcept {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
    release_slot(slot_);
    slot_ = -1;
}

bool write_file_atomically(const std::filesystem::path& target, const void* data, size_t count) {
    AtomicFile file(target);
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

#include "platform/posix/host_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/posix/emulated_machine.h"

namespace zarn {
namespace posix {

namespace {

// Lock bytes, far beyond any size a file of the program reaches.
constexpr off_t kLockBase = static_cast<off_t>(0x7FFFFFFF00000000LL);
enum : off_t { kOpen = 0, kReads = 1, kWrites = 2, kDeniesRead = 3, kDeniesWrite = 4 };

bool LockHeld(int fd, off_t which) {
  struct flock fl {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = kLockBase + which;
  fl.l_len = 1;
  if (fcntl(fd, F_OFD_GETLK, &fl) != 0) return false;
  return fl.l_type != F_UNLCK;
}

// Whether any opener holds a lock on one of the bytes `from` to `to`.
bool AnyLockHeld(int fd, off_t from, off_t to) {
  struct flock fl {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = kLockBase + from;
  fl.l_len = to - from + 1;
  if (fcntl(fd, F_OFD_GETLK, &fl) != 0) return true;  // then each byte is asked about
  return fl.l_type != F_UNLCK;
}

// Takes the lock bytes marked in `wanted`, each run of neighbouring bytes in one call.
bool TakeLocks(int fd, const bool (&wanted)[5]) {
  for (off_t from = 0; from < 5;) {
    if (!wanted[from]) {
      ++from;
      continue;
    }
    off_t to = from;
    while (to + 1 < 5 && wanted[to + 1]) ++to;
    struct flock fl {};
    fl.l_type = F_RDLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = kLockBase + from;
    fl.l_len = to - from + 1;
    if (fcntl(fd, F_OFD_SETLK, &fl) != 0) return false;
    from = to + 1;
  }
  return true;
}

// Checks the sharing of all present openers against the new one and takes its locks.
bool AcquireSharing(int lockFd, FileAccess access, FileShare share) {
  bool reads = access != FileAccess::Write, writes = access != FileAccess::Read;
  bool deniesRead = share == FileShare::None || share == FileShare::Write;
  bool deniesWrite = share == FileShare::None || share == FileShare::Read;
  while (flock(lockFd, LOCK_EX) != 0)
    if (errno != EINTR) return false;
  // A file nobody else has open (the usual case) needs one question, not one per byte.
  bool conflict = AnyLockHeld(lockFd, kOpen, kDeniesWrite) &&
                  ((reads && LockHeld(lockFd, kDeniesRead)) || (writes && LockHeld(lockFd, kDeniesWrite)) ||
                   (deniesRead && LockHeld(lockFd, kReads)) || (deniesWrite && LockHeld(lockFd, kWrites)));
  const bool wanted[5] = {true, reads, writes, deniesRead, deniesWrite};
  bool ok = !conflict && TakeLocks(lockFd, wanted);
  flock(lockFd, LOCK_UN);
  return ok;
}

class HostFile : public FileHandle {
 public:
  HostFile(int fd, bool reads, std::shared_ptr<MachineFaults> faults)
      : fd_(fd), reads_(reads), faults_(std::move(faults)) {}
  ~HostFile() override { close(fd_); }

  int64_t Read(void* buffer, int64_t count) override {
    if (count < 0 || !reads_) return -1;  // a handle opened for writing only
    char* p = static_cast<char*>(buffer);
    int64_t done = 0;
    while (done < count) {
      ssize_t n = ::read(fd_, p + done, static_cast<size_t>(std::min<int64_t>(count - done, 1 << 30)));
      if (n < 0) {
        if (errno == EINTR) continue;
        error_ = errno;
        return done > 0 ? done : -1;
      }
      if (n == 0) break;
      done += n;
    }
    return done;
  }

  int64_t Write(const void* buffer, int64_t count) override {
    if (count < 0) return -1;
    int64_t allowed = count;
    if (faults_) {
      int64_t failAfter = faults_->writesBeforeFailure.load();
      if (failAfter == 0) {
        error_ = errno = EIO;
        return -1;
      }
      if (failAfter > 0) faults_->writesBeforeFailure.store(failAfter - 1);
      int64_t room = faults_->diskFreeBytes.load();
      if (room >= 0) allowed = std::min(count, room);
    }
    const char* p = static_cast<const char*>(buffer);
    int64_t done = 0;
    while (done < allowed) {
      ssize_t n = ::write(fd_, p + done, static_cast<size_t>(std::min<int64_t>(allowed - done, 1 << 30)));
      if (n < 0) {
        if (errno == EINTR) continue;
        error_ = errno;
        break;
      }
      done += n;
    }
    if (done < count && done == allowed) error_ = ENOSPC;  // the emulated disk is full
    if (faults_ && faults_->diskFreeBytes.load() >= 0) faults_->diskFreeBytes.fetch_sub(done);
    if (done == 0 && count > 0) return -1;
    return done;
  }

  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    int whence = origin == soBeginning ? SEEK_SET : origin == soCurrent ? SEEK_CUR : SEEK_END;
    off_t r = lseek(fd_, static_cast<off_t>(offset), whence);
    return r < 0 ? -1 : static_cast<int64_t>(r);
  }

  bool SetSize(int64_t size) override {
    if (size < 0) return false;
    if (faults_) {
      struct stat st;
      int64_t room = faults_->diskFreeBytes.load();
      if (room >= 0 && fstat(fd_, &st) == 0 && size > st.st_size) {
        if (size - st.st_size > room) {
          error_ = ENOSPC;
          return false;
        }
        faults_->diskFreeBytes.fetch_sub(size - st.st_size);
      }
    }
    if (ftruncate(fd_, static_cast<off_t>(size)) == 0) return true;
    error_ = errno;
    return false;
  }

  bool Flush() override {
    if (fdatasync(fd_) == 0 || errno == EINVAL) return true;
    error_ = errno;
    return false;
  }

  std::string ErrorReason() const override { return error_ ? std::strerror(error_) : std::string(); }

 private:
  int fd_;
  bool reads_;
  int error_ = 0;
  std::shared_ptr<MachineFaults> faults_;
};

}  // namespace

std::unique_ptr<FileHandle> OpenHostFile(const std::string& host, FileAccess access, FileShare share,
                                         FileCreate create, bool writeThrough,
                                         std::shared_ptr<MachineFaults> faults) {
  int flags = O_CLOEXEC | O_NOCTTY;
  // The sharing locks are read locks, which need a descriptor open for reading: a handle
  // that only writes is opened for both, and refuses to read.
  flags |= access == FileAccess::Read ? O_RDONLY : O_RDWR;
  if (create != FileCreate::OpenExisting) flags |= O_CREAT;
  if (create == FileCreate::CreateNew) flags |= O_EXCL;
  if (writeThrough) flags |= O_DSYNC;
  int fd = ::open(host.c_str(), flags, 0666);
  if (fd < 0) return nullptr;
  struct stat st;
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    close(fd);
    return nullptr;
  }
  // Truncate only once the sharing check has let us in.
  if (!AcquireSharing(fd, access, share) ||
      (create == FileCreate::CreateAlways && st.st_size > 0 && ftruncate(fd, 0) != 0)) {
    close(fd);
    return nullptr;
  }
  return std::make_unique<HostFile>(fd, access != FileAccess::Write, std::move(faults));
}

bool HostFileInUse(const std::string& host) {
  int fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return false;
  bool used = LockHeld(fd, kOpen);
  close(fd);
  return used;
}

}  // namespace posix
}  // namespace zarn

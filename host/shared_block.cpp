#include "host/shared_block.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace host {

namespace {

constexpr size_t kPage = 4096;
constexpr uint32_t kOwnerMagic = 0x4F574E52;  // "RNWO"

struct OwnerRecord {
  uint32_t magic;
  uint32_t pid;
};

std::string& Prefix() {
  static std::string prefix;
  return prefix;
}

std::string PathOf(const std::string& name) { return "/" + Prefix() + name; }

size_t MapBytes(size_t size, size_t mapBytes) { return (mapBytes == 0 || mapBytes > size) ? size : mapBytes; }

size_t OwnerOffset(size_t size) { return (size + kPage - 1) / kPage * kPage; }

bool ProcessAlive(pid_t pid) { return pid > 0 && (kill(pid, 0) == 0 || errno == EPERM); }

// Reads the owner record of an open block; false when there is none (yet).
bool ReadOwner(int fd, OwnerRecord* rec) {
  struct stat st {};
  if (fstat(fd, &st) != 0 || st.st_size < static_cast<off_t>(kPage)) return false;
  return pread(fd, rec, sizeof *rec, st.st_size - static_cast<off_t>(kPage)) == static_cast<ssize_t>(sizeof *rec) &&
         rec->magic == kOwnerMagic;
}

// Another user's block (or one that other users may write) is never taken for ours: it could
// read what a tool sends or answer in the simulator's place.
bool ForeignFd(int fd, const std::string& path, std::string* error) {
  struct stat st {};
  if (fstat(fd, &st) != 0) return false;
  if (st.st_uid != geteuid()) {
    if (error) *error = "shared block \"" + path + "\" belongs to another user (uid " + std::to_string(st.st_uid) + ")";
    return true;
  }
  if ((st.st_mode & 077) != 0) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
    if (error) *error = "shared block \"" + path + "\" is open to other users (mode " + mode + ")";
    return true;
  }
  return false;
}

std::string ErrText(const std::string& what, const std::string& path) {
  return what + " \"" + path + "\": " + std::strerror(errno);
}

// True when the block at `path` exists and its owner lives; a stale block is removed.
bool PathInUse(const std::string& path) {
  int fd = shm_open(path.c_str(), O_RDONLY, 0);
  if (fd < 0) return false;
  OwnerRecord rec{};
  bool haveOwner = ReadOwner(fd, &rec);
  close(fd);
  // A block without an owner record is still being made by someone: count it as in use.
  if (!haveOwner || ProcessAlive(static_cast<pid_t>(rec.pid))) return true;
  shm_unlink(path.c_str());
  return false;
}

}  // namespace

bool SharedBlock::Foreign(const std::string& path, std::string* error) {
  const int fd = shm_open(path.c_str(), O_RDONLY, 0);
  if (fd < 0) return false;
  const bool foreign = ForeignFd(fd, path, error);
  close(fd);
  return foreign;
}

void SetSharedNamePrefix(const std::string& prefix) { Prefix() = prefix; }
const std::string& SharedNamePrefix() { return Prefix(); }

bool SharedBlock::InUse(const std::string& name) { return PathInUse(PathOf(name)); }

std::unique_ptr<SharedBlock> SharedBlock::Create(const std::string& name, size_t size,
                                                 size_t mapBytes, std::string* error) {
  std::string path = PathOf(name);
  if (SharedBlock::Foreign(path, error)) return nullptr;
  if (InUse(name)) {
    if (error) *error = "shared block \"" + path + "\" is in use";
    return nullptr;
  }
  int fd = shm_open(path.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
  if (fd < 0) {
    if (error) *error = ErrText("cannot create shared block", path);
    return nullptr;
  }
  size_t ownerOff = OwnerOffset(size);
  OwnerRecord rec{kOwnerMagic, static_cast<uint32_t>(getpid())};
  if (ftruncate(fd, static_cast<off_t>(ownerOff + kPage)) != 0 ||
      pwrite(fd, &rec, sizeof rec, static_cast<off_t>(ownerOff)) != static_cast<ssize_t>(sizeof rec)) {
    if (error) *error = ErrText("cannot size shared block", path);
    close(fd);
    shm_unlink(path.c_str());
    return nullptr;
  }
  return Map(name, fd, MapBytes(size, mapBytes), true, error);
}

std::unique_ptr<SharedBlock> SharedBlock::OpenFull(const std::string& fullName, std::string* error) {
  std::string path = "/" + fullName;
  if (fullName.empty() || fullName.find('/') != std::string::npos) {
    if (error) *error = "no shared block \"" + path + "\"";
    return nullptr;
  }
  if (Foreign(path, error)) return nullptr;
  if (!PathInUse(path)) {
    if (error) *error = "no shared block \"" + path + "\"";
    return nullptr;
  }
  int fd = shm_open(path.c_str(), O_RDWR, 0);
  if (fd < 0) {
    if (error) *error = ErrText("cannot open shared block", path);
    return nullptr;
  }
  if (ForeignFd(fd, path, error)) {
    close(fd);
    return nullptr;
  }
  // The caller's bytes are everything before the owner page at the end.
  struct stat st {};
  if (fstat(fd, &st) != 0 || st.st_size <= static_cast<off_t>(kPage)) {
    if (error) *error = "shared block \"" + path + "\" has no usable size";
    close(fd);
    return nullptr;
  }
  std::unique_ptr<SharedBlock> b = Map(fullName, fd, static_cast<size_t>(st.st_size) - kPage, false, error);
  if (b) b->path_ = path;
  return b;
}

std::unique_ptr<SharedBlock> SharedBlock::OpenOrCreate(const std::string& name, size_t size,
                                                       size_t mapBytes, std::string* error) {
  if (!InUse(name)) return Create(name, size, mapBytes, error);
  std::string path = PathOf(name);
  int fd = shm_open(path.c_str(), O_RDWR, 0);
  if (fd < 0) {
    if (error) *error = ErrText("cannot open shared block", path);
    return nullptr;
  }
  if (ForeignFd(fd, path, error)) {
    close(fd);
    return nullptr;
  }
  struct stat st {};
  size_t map = MapBytes(size, mapBytes);
  if (fstat(fd, &st) != 0 || static_cast<size_t>(st.st_size) < map) {
    if (error) *error = "shared block \"" + path + "\" is smaller than expected";
    close(fd);
    return nullptr;
  }
  return Map(name, fd, map, false, error);
}

// Maps the first `map` bytes of an open block; the block takes over the descriptor. A
// failed map of a block made here removes its name again.
std::unique_ptr<SharedBlock> SharedBlock::Map(const std::string& name, int fd, size_t map, bool owner,
                                              std::string* error) {
  std::string path = PathOf(name);
  void* p = mmap(nullptr, map, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (p == MAP_FAILED) {
    if (error) *error = ErrText("cannot map shared block", path);
    close(fd);
    if (owner) shm_unlink(path.c_str());
    return nullptr;
  }
  std::unique_ptr<SharedBlock> b(new SharedBlock);
  b->name_ = name;
  b->path_ = path;
  b->fd_ = fd;
  b->data_ = p;
  b->mapped_ = map;
  b->owner_ = owner;
  b->creatorPid_ = static_cast<int>(getpid());
  return b;
}

SharedBlock::~SharedBlock() {
  if (data_) munmap(data_, mapped_);
  if (fd_ >= 0) close(fd_);
  if (owner_ && creatorPid_ == static_cast<int>(getpid())) shm_unlink(path_.c_str());
}

}  // namespace host

// Named shared-memory blocks between processes (POSIX shm_open/mmap).
//
// A block is created under "/" + name. Its creator records its process id in an owner page
// kept behind the caller's bytes; a name whose owner process has died is stale: probing it
// removes it, so that a new block can be made under the same name. The creator removes the
// name when the block is destroyed (at the latest at process exit). Blocks are made 0600; a
// block of another user, or one open to others, is refused by every call.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace host {

// A prefix put before every name (tests use it to keep parallel runs apart).
void SetSharedNamePrefix(const std::string& prefix);
const std::string& SharedNamePrefix();

class SharedBlock {
 public:
  // Creates a new block of `size` bytes under `name` and maps its first `mapBytes` bytes
  // (0 = all) for reading and writing. Fails when a live block has that name.
  static std::unique_ptr<SharedBlock> Create(const std::string& name, size_t size,
                                             size_t mapBytes, std::string* error);
  // Opens a live block of that name, or else creates it.
  static std::unique_ptr<SharedBlock> OpenOrCreate(const std::string& name, size_t size,
                                                   size_t mapBytes, std::string* error);
  // Opens the live block of another process by its full name (the prefix already in it,
  // as fullName() gives it and as it is passed on to a started program) and maps all of it.
  // Fails when there is no such block or its owner has died (the stale name is removed).
  static std::unique_ptr<SharedBlock> OpenFull(const std::string& fullName, std::string* error);
  // True when a block of that name exists and its owner lives; a stale name is removed.
  static bool InUse(const std::string& name);
  // True (with the reason) when a block exists at that path ("/" + full name) that belongs to
  // another user or that other users may open. Such a block is neither opened nor replaced.
  static bool Foreign(const std::string& path, std::string* error);

  ~SharedBlock();
  SharedBlock(const SharedBlock&) = delete;
  SharedBlock& operator=(const SharedBlock&) = delete;

  void* data() const { return data_; }
  size_t mappedBytes() const { return mapped_; }
  const std::string& name() const { return name_; }
  // The name as the system knows it (prefix included, without the leading '/').
  std::string fullName() const { return path_.substr(1); }
  bool owner() const { return owner_; }

 private:
  SharedBlock() = default;
  static std::unique_ptr<SharedBlock> Map(const std::string& name, int fd, size_t map, bool owner,
                                          std::string* error);
  std::string name_;               // without the prefix and the leading '/'
  std::string path_;               // as passed to shm_open
  int fd_ = -1;
  void* data_ = nullptr;
  size_t mapped_ = 0;
  bool owner_ = false;
  int creatorPid_ = 0;             // a child that inherited the block leaves the name alone
};

}  // namespace host

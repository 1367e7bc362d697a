// Named auto-reset events between processes, as binary POSIX semaphores.
//
// An event is either signalled or not: setting a signalled event changes nothing, and taking
// it (with or without a wait) leaves it not signalled, however often it was set. The creator
// records its process id in a small owner block of the name plus ".owner" (a SharedBlock); an
// event whose creator has died is stale and is made anew by the next creator. The creator
// removes the name when the event is destroyed.
#pragma once

#include <memory>
#include <string>

#include "host/shared_block.h"

namespace host {

class NamedEvent {
 public:
  // Creates the event under "/" + prefix + name, not signalled. Fails when a live process
  // owns that name.
  static std::unique_ptr<NamedEvent> Create(const std::string& name, std::string* error);
  // Opens the live event of another process by its full name (the prefix already in it).
  static std::unique_ptr<NamedEvent> OpenFull(const std::string& fullName, std::string* error);
  // The same with the prefix of this process put before the name.
  static std::unique_ptr<NamedEvent> Open(const std::string& name, std::string* error);
  // True when an event of that name exists and its creator lives; a stale name is removed.
  static bool InUse(const std::string& name);

  ~NamedEvent();
  NamedEvent(const NamedEvent&) = delete;
  NamedEvent& operator=(const NamedEvent&) = delete;

  // Signals the event (it stays signalled until someone takes it).
  void set();
  // Takes the event without waiting: true when it was signalled.
  bool take();
  // Waits at most timeoutMs for the event and takes it: false after the time-out.
  bool wait(int timeoutMs);

  // The name as the system knows it (prefix included, without the leading '/').
  std::string fullName() const { return path_.substr(1); }
  bool owner() const { return owner_ != nullptr; }

 private:
  NamedEvent() = default;
  void drain();
  std::string path_;                     // as passed to sem_open
  void* sem_ = nullptr;                  // the sem_t of the open semaphore
  std::unique_ptr<SharedBlock> owner_;   // the creator's owner block
  int creatorPid_ = 0;
};

}  // namespace host

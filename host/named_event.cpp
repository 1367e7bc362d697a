#include "host/named_event.h"

#include <fcntl.h>
#include <semaphore.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

namespace host {

namespace {

std::string OwnerName(const std::string& name) { return name + ".owner"; }

sem_t* Sem(void* p) { return static_cast<sem_t*>(p); }

// The semaphore's file, as the C library keeps it: another user's (or one open to other users)
// is refused like a foreign shared block.
bool ForeignSem(const std::string& path, std::string* error) {
  struct stat st {};
  if (stat(("/dev/shm/sem." + path.substr(1)).c_str(), &st) != 0) return false;
  if (st.st_uid == geteuid() && (st.st_mode & 077) == 0) return false;
  if (error)
    *error = "event \"" + path + "\" belongs to another user or is open to others (uid " + std::to_string(st.st_uid) + ")";
  return true;
}

bool ValidFullName(const std::string& fullName) {
  return !fullName.empty() && fullName.find('/') == std::string::npos;
}

}  // namespace

std::unique_ptr<NamedEvent> NamedEvent::Create(const std::string& name, std::string* error) {
  const std::string path = "/" + SharedNamePrefix() + name;
  if (name.empty() || name.find('/') != std::string::npos) {
    if (error) *error = "bad event name \"" + path + "\"";
    return nullptr;
  }
  if (ForeignSem(path, error) || SharedBlock::Foreign("/" + SharedNamePrefix() + OwnerName(name), error))
    return nullptr;
  // The owner block decides who has the name; a dead creator's block is removed by Create.
  std::unique_ptr<SharedBlock> ownerBlock = SharedBlock::Create(OwnerName(name), 1, 0, nullptr);
  if (!ownerBlock) {
    if (error) *error = "event \"" + path + "\" is in use";
    return nullptr;
  }
  sem_unlink(path.c_str());  // whatever a dead creator left behind
  sem_t* sem = sem_open(path.c_str(), O_CREAT | O_EXCL, 0600, 0u);
  if (sem == SEM_FAILED) {
    if (error) *error = "cannot create event \"" + path + "\": " + std::strerror(errno);
    return nullptr;
  }
  std::unique_ptr<NamedEvent> e(new NamedEvent);
  e->path_ = path;
  e->sem_ = sem;
  e->owner_ = std::move(ownerBlock);
  e->creatorPid_ = static_cast<int>(getpid());
  return e;
}

std::unique_ptr<NamedEvent> NamedEvent::OpenFull(const std::string& fullName, std::string* error) {
  const std::string path = "/" + fullName;
  if (!ValidFullName(fullName)) {
    if (error) *error = "no event \"" + path + "\"";
    return nullptr;
  }
  if (ForeignSem(path, error) || SharedBlock::Foreign("/" + OwnerName(fullName), error)) return nullptr;
  if (!SharedBlock::OpenFull(OwnerName(fullName), nullptr)) {
    if (error) *error = "no event \"" + path + "\"";
    return nullptr;
  }
  sem_t* sem = sem_open(path.c_str(), 0);
  if (sem == SEM_FAILED) {
    if (error) *error = "cannot open event \"" + path + "\": " + std::strerror(errno);
    return nullptr;
  }
  if (ForeignSem(path, error)) {  // made anew between the check and the open
    sem_close(sem);
    return nullptr;
  }
  std::unique_ptr<NamedEvent> e(new NamedEvent);
  e->path_ = path;
  e->sem_ = sem;
  return e;
}

std::unique_ptr<NamedEvent> NamedEvent::Open(const std::string& name, std::string* error) {
  return OpenFull(SharedNamePrefix() + name, error);
}

bool NamedEvent::InUse(const std::string& name) {
  if (SharedBlock::InUse(OwnerName(name))) return true;
  sem_unlink(("/" + SharedNamePrefix() + name).c_str());
  return false;
}

NamedEvent::~NamedEvent() {
  if (sem_) sem_close(Sem(sem_));
  // A child process that inherited the event must not take the name away from its parent.
  if (owner_ && creatorPid_ == static_cast<int>(getpid())) sem_unlink(path_.c_str());
}

void NamedEvent::set() {
  int value = 0;
  if (sem_getvalue(Sem(sem_), &value) == 0 && value > 0) return;
  sem_post(Sem(sem_));
}

void NamedEvent::drain() {
  while (sem_trywait(Sem(sem_)) == 0 || errno == EINTR) {
  }
}

bool NamedEvent::take() {
  int rc;
  do {
    rc = sem_trywait(Sem(sem_));
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) return false;
  drain();
  return true;
}

bool NamedEvent::wait(int timeoutMs) {
  if (timeoutMs <= 0) return take();
  timespec until{};
  clock_gettime(CLOCK_MONOTONIC, &until);
  until.tv_sec += timeoutMs / 1000;
  until.tv_nsec += static_cast<long>(timeoutMs % 1000) * 1000000L;
  if (until.tv_nsec >= 1000000000L) {
    ++until.tv_sec;
    until.tv_nsec -= 1000000000L;
  }
  int rc;
  do {
    rc = sem_clockwait(Sem(sem_), CLOCK_MONOTONIC, &until);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) return false;
  drain();
  return true;
}

}  // namespace host

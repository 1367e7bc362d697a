#include "host/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace host {

std::FILE* OpenRegularFile(const std::string& path, const char* mode, std::string* error) {
  auto fail = [&](const std::string& why) -> std::FILE* {
    if (error) *error = "\"" + path + "\" " + why;
    return nullptr;
  };
  if (path.empty() || !mode || !*mode) return fail("cannot be opened");
  const bool readOnly = mode[0] == 'r' && std::strchr(mode, '+') == nullptr;
  struct stat st {};
  if (!readOnly) {
    if (stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) return fail("is not a regular file");
    std::FILE* f = std::fopen(path.c_str(), mode);
    return f ? f : fail(std::string("cannot be opened: ") + std::strerror(errno));
  }
  // Opened without waiting (a FIFO would wait for a writer), then checked on the open file.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return fail(std::string("cannot be opened: ") + std::strerror(errno));
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return fail("is not a regular file");
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  std::FILE* f = fdopen(fd, mode);
  if (!f) {
    ::close(fd);
    return fail(std::string("cannot be opened: ") + std::strerror(errno));
  }
  return f;
}

}  // namespace host

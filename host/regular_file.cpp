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
    // Writing or appending: opened without waiting (see CreateRegularFile).
    if ((mode[0] == 'w' || mode[0] == 'a') && std::strchr(mode, '+') == nullptr)
      return CreateRegularFile(path, mode[0] == 'a', error);
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

namespace host {

std::FILE* CreateRegularFile(const std::string& path, bool append, std::string* error) {
  auto fail = [&](const std::string& why) -> std::FILE* {
    if (error) *error = "\"" + path + "\" " + why;
    return nullptr;
  };
  if (path.empty()) return fail("cannot be written");
  struct stat st {};
  // Refused before the open can empty it; checked again on what was opened.
  if (stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
    return fail(S_ISDIR(st.st_mode) ? "is a folder, not a file" : "is not a regular file");
  const int flags = O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC | (append ? O_APPEND : O_TRUNC);
  const int fd = ::open(path.c_str(), flags, 0644);
  if (fd < 0) {
    if (errno == ENXIO) return fail("is not a regular file");  // a FIFO without a reader
    return fail(std::string("cannot be written: ") + std::strerror(errno));
  }
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return fail("is not a regular file");
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  std::FILE* f = fdopen(fd, append ? "ab" : "wb");
  if (!f) {
    ::close(fd);
    return fail(std::string("cannot be written: ") + std::strerror(errno));
  }
  return f;
}

std::string WriteTargetOf(const std::string& path) {
  std::string at = path;
  for (int depth = 0; depth < 40; ++depth) {  // the system's own limit on chained links
    struct stat st {};
    if (lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return at;
    std::string link(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
    const ssize_t n = ::readlink(at.c_str(), link.data(), link.size());
    if (n <= 0 || static_cast<size_t>(n) >= link.size()) return at;
    link.resize(static_cast<size_t>(n));
    if (link[0] != '/') {
      const size_t slash = at.rfind('/');
      if (slash != std::string::npos) link = at.substr(0, slash + 1) + link;
    }
    at = link;
  }
  return at;
}

bool ReplaceFileContents(const std::string& path, const void* data, size_t size, std::string* error,
                         FileWriteFn write) {
  const std::string target = WriteTargetOf(path);
  const std::string tmp = target + ".tmp";
  std::FILE* f = CreateRegularFile(tmp, false, error);
  if (!f) return false;
  int why = 0;  // the first failure's reason
  auto check = [&](bool ok) {
    if (!ok && why == 0) why = errno != 0 ? errno : EIO;
  };
  const char* bytes = static_cast<const char*>(data);
  errno = 0;
  check(size == 0 || (write ? write(bytes, size, f) : std::fwrite(bytes, 1, size, f)) == size);
  check(std::fflush(f) == 0);
  check(::fsync(::fileno(f)) == 0);
  check(std::fclose(f) == 0);
  struct stat st {};
  if (why == 0 && stat(target.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    std::remove(tmp.c_str());
    if (error) *error = "\"" + path + "\" is not a regular file";
    return false;
  }
  if (why == 0) check(std::rename(tmp.c_str(), target.c_str()) == 0);
  if (why == 0) return true;
  std::remove(tmp.c_str());
  if (error) *error = "\"" + path + "\" could not be written: " + std::strerror(why);
  return false;
}

}  // namespace host

// Saved trend files: reading into a private record, writing from a locked one.
#include "trendview/kurvex/trend_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

namespace {

// Header block H: its fields as (offset in H, record offset, bytes).
struct HeaderField {
  uint32_t at, rec, bytes;
};
constexpr HeaderField kHeader[] = {
    {2, TREND_REC_HEAD, 2},       {4, TREND_REC_VALID, 2},   {6, TREND_REC_PENDING, 2},
    {8, TREND_REC_RING_WORD, 2},  {10, TREND_REC_SPAN, 4},   {14, TREND_REC_TIME_S, 4},
    {18, TREND_REC_TIME_MS, 4},   {22, TREND_REC_TIME_BASE, 4}, {28, TREND_REC_SHOWN_ANALOG, 2},
    {30, TREND_REC_SHOWN_DIGITAL, 2},
};

constexpr uint32_t kBodyRecord = TREND_REC_PERIOD;  // first record byte in the file
// Record bytes in a file of a record of S bytes: 308 .. S - 9.
uint32_t BodyBytes(uint32_t size) { return size - (kBodyRecord + 8); }

void PutHeader(const uint8_t* rec, uint8_t* h) {
  std::memset(h, 0, TREND_FILE_HEADER_BYTES);
  for (const HeaderField& f : kHeader) std::memcpy(h + f.at, rec + f.rec, f.bytes);
}

// The first header's fields back into the record; a file that ends inside the header
// fills only the fields it holds.
void TakeHeader(uint8_t* rec, const uint8_t* data, size_t size) {
  for (const HeaderField& f : kHeader)
    if (TREND_FILE_HEADER1 + f.at + f.bytes <= size) std::memcpy(rec + f.rec, data + TREND_FILE_HEADER1 + f.at, f.bytes);
}

bool WriteAll(int fd, const uint8_t* p, size_t n) {
  while (n) {
    ssize_t w = write(fd, p, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    p += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

// Reads up to `n` bytes (fewer at the end of the file).
size_t ReadUpTo(int fd, uint8_t* p, size_t n) {
  size_t got = 0;
  while (got < n) {
    ssize_t r = read(fd, p + got, n - got);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;
    got += static_cast<size_t>(r);
  }
  return got;
}

}  // namespace

TrendFileStatus TrendFileParse(const uint8_t* data, size_t size, std::intptr_t instance, KurvanHandle* out) {
  if (out) *out = 0;
  if (!data || size < 4 || TrendGetU32(data, TREND_REC_MAGIC) != TREND_MAGIC) return TREND_FILE_BAD_MAGIC;
  if (size < 8) return TREND_FILE_BAD_SIZE;
  const uint32_t recSize = TrendGetU32(data, TREND_REC_SIZE);
  if (recSize < TREND_REC_SAMPLES || recSize > TREND_MAX_RECORD_BYTES) return TREND_FILE_BAD_SIZE;

  const KurvanHandle h = KurvanAlloc(instance, recSize);
  if (!h) return TREND_FILE_NO_RECORD;
  uint8_t* rec = KurvanLock(h);
  if (!rec) {
    KurvanDestroy(h);
    return TREND_FILE_NO_RECORD;
  }
  TrendPutU32(rec, TREND_REC_MAGIC, TREND_MAGIC);
  TrendPutU32(rec, TREND_REC_SIZE, recSize);
  TakeHeader(rec, data, size);
  TrendPutU32(rec, TREND_REC_CLEARED, 0);
  TrendPutU32(rec, TREND_REC_VIEWER, 0);
  if (size > TREND_FILE_BODY) {
    const size_t body = std::min<size_t>(size - TREND_FILE_BODY, BodyBytes(recSize));
    std::memcpy(rec + kBodyRecord, data + TREND_FILE_BODY, body);
  }
  const bool sound = TrendCheckLayout(rec, recSize, nullptr);
  KurvanUnlock(h);
  if (!sound) {
    KurvanDestroy(h);
    return TREND_FILE_BAD_LAYOUT;
  }
  if (out)
    *out = h;
  else
    KurvanDestroy(h);
  return TREND_FILE_OK;
}

TrendFileStatus TrendFileLoad(const char* path, std::intptr_t instance, KurvanHandle* out) {
  if (out) *out = 0;
  // Opened without waiting (a FIFO would wait for a writer); only a regular file is read.
  int fd = path ? open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC) : -1;
  if (fd < 0) return TREND_FILE_IO;
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return TREND_FILE_IO;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  std::vector<uint8_t> data(8);
  data.resize(ReadUpTo(fd, data.data(), data.size()));
  // Only as much as the size field asks for is read (and never more than a record can be).
  if (data.size() == 8 && TrendGetU32(data.data(), TREND_REC_MAGIC) == TREND_MAGIC) {
    const uint32_t recSize = TrendGetU32(data.data(), TREND_REC_SIZE);
    if (recSize >= TREND_REC_SAMPLES && recSize <= TREND_MAX_RECORD_BYTES) {
      data.resize(recSize - TREND_FILE_LESS_THAN_S);
      data.resize(8 + ReadUpTo(fd, data.data() + 8, data.size() - 8));
    }
  }
  close(fd);
  return TrendFileParse(data.data(), data.size(), instance, out);
}

TrendFileStatus TrendFileEncode(const uint8_t* rec, size_t blockBytes, std::vector<uint8_t>* file) {
  TrendLayout layout;
  if (!rec || !file || !TrendCheckLayout(rec, blockBytes, &layout)) return TREND_FILE_BAD_LAYOUT;
  file->assign(layout.size - TREND_FILE_LESS_THAN_S, 0);
  uint8_t* f = file->data();
  TrendPutU32(f, 0, TREND_MAGIC);
  TrendPutU32(f, 4, layout.size);
  PutHeader(rec, f + TREND_FILE_HEADER1);
  PutHeader(rec, f + TREND_FILE_HEADER2);
  std::memcpy(f + TREND_FILE_BODY, rec + kBodyRecord, BodyBytes(layout.size));
  return TREND_FILE_OK;
}

TrendFileStatus TrendFileSave(KurvanHandle h, const char* path) {
  if (!path || !*path) return TREND_FILE_IO;
  std::vector<uint8_t> file;
  uint8_t* rec = KurvanLock(h);
  if (!rec) return TREND_FILE_NO_RECORD;
  TrendFileStatus st = TrendFileEncode(rec, KurvanBlockBytes(h), &file);
  KurvanUnlock(h);
  if (st != TREND_FILE_OK) return st;

  // Written beside the target and renamed over it: a failed save leaves the old file whole.
  const std::string tmp = std::string(path) + ".tmp";
  int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return TREND_FILE_IO;
  bool ok = WriteAll(fd, file.data(), file.size());
  ok = fsync(fd) == 0 && ok;
  ok = close(fd) == 0 && ok;
  if (!ok || rename(tmp.c_str(), path) != 0) {
    unlink(tmp.c_str());
    return TREND_FILE_IO;
  }
  return TREND_FILE_OK;
}

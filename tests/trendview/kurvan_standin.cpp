// A stand-in for the trend viewer, started by the trend library in the tests.
//
// "/hTrend=<name>": opens the record, listens for notifications, writes its process id into
// the record (+300) and clears the pending count as a first paint would; then, until it is
// told to close or its parent is gone: on 1125 it clears the pending count, on 1127 it reads
// the language. At the end it sets +300 back to 0.
// "/hConfig=<name>": by $KURVAN_STANDIN_CONFIG: "ok" renames analog channel 1 to "Edited"
// and confirms (+1136 = 1), "cancel" changes nothing, "hang" never ends by itself.
// Every step is appended as a line to the file $KURVAN_STANDIN_LOG.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "trendview/kurvex/kurvex.h"

namespace {

void Log(const std::string& line) {
  const char* path = getenv("KURVAN_STANDIN_LOG");
  if (!path) return;
  int fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return;
  std::string text = line + "\n";
  ssize_t n = write(fd, text.data(), text.size());
  (void)n;
  close(fd);
}

bool StartsWith(const char* text, const char* prefix) { return std::strncmp(text, prefix, std::strlen(prefix)) == 0; }

int ShowTrend(const char* name, pid_t parent) {
  KurvanHandle h = KurvanOpen(name);
  if (!h) {
    Log("no record");
    return 2;
  }
  int fd = KurvanNotifyOpen();
  if (uint8_t* rec = KurvanLock(h)) {
    TrendPutU32(rec, TREND_REC_VIEWER, static_cast<uint32_t>(getpid()));
    TrendPutU16(rec, TREND_REC_PENDING, 0);
    KurvanUnlock(h);
  }
  Log(fd >= 0 ? "shown" : "shown without notifications");
  bool open = true;
  while (open && getppid() == parent) {
    pollfd p{fd, POLLIN, 0};
    if (fd < 0) {
      usleep(50000);
      continue;
    }
    if (poll(&p, 1, 50) <= 0) continue;
    KurvanNote note;
    while (KurvanNotifyRead(fd, &note)) {
      uint8_t* rec = KurvanLock(h);
      if (!rec) continue;
      if (note.message == KURVAN_MSG_SAMPLES) {
        TrendPutU16(rec, TREND_REC_PENDING, 0);
        Log("samples " + std::to_string(TrendGetU16(rec, TREND_REC_VALID)));
      } else if (note.message == KURVAN_MSG_LANGUAGE) {
        Log("language " + std::to_string(TrendGetU16(rec, TREND_REC_LANGUAGE)));
      } else if (note.message == KURVAN_MSG_CLOSE) {
        open = false;
      }
      KurvanUnlock(h);
    }
  }
  if (uint8_t* rec = KurvanLock(h)) {
    TrendPutU32(rec, TREND_REC_VIEWER, 0);
    KurvanUnlock(h);
  }
  Log("closed");
  KurvanNotifyClose(fd);
  KurvanDestroy(h);
  return 0;
}

int ConfigDialog(const char* name, pid_t parent) {
  const char* mode = getenv("KURVAN_STANDIN_CONFIG");
  std::string how = mode ? mode : "ok";
  KurvanHandle h = KurvanOpen(name);
  if (!h) {
    Log("no record");
    return 2;
  }
  Log("config " + how);
  if (how == "hang") {
    while (getppid() == parent) usleep(20000);
  } else if (how == "ok") {
    if (uint8_t* rec = KurvanLock(h)) {
      TrendPutText(rec, TrendAnalogChannel(0) + TREND_CH_NAME, TREND_CH_NAME_BYTES, "Edited");
      TrendPutU16(rec, TREND_REC_CONFIG_CHANGED, 1);
      KurvanUnlock(h);
    }
  }
  KurvanDestroy(h);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const pid_t parent = getppid();
  std::string args;
  for (int i = 1; i < argc; ++i) args += std::string(i > 1 ? " " : "") + argv[i];
  Log("args " + args);
  if (argc == 2 && StartsWith(argv[1], "/hTrend=")) return ShowTrend(argv[1] + 8, parent);
  if (argc == 2 && StartsWith(argv[1], "/hConfig=")) return ConfigDialog(argv[1] + 9, parent);
  Log("unknown command line");
  return 1;
}

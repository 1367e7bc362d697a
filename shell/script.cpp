#include "shell/script.h"

#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "host/process.h"
#include "shell/com_channel.h"
#include "shell/script_text.h"
#include "shell/shell_util.h"
#include "shell/sim_services.h"
#include "simlayer/SIM.h"

namespace {

constexpr int kMaxFiles = 8;            // the playing file and up to 7 files that include it
constexpr int kMaxLinesPerStep = 1000;  // a loop without waits still gives the cycle back
constexpr size_t kInputText = sizeof(SimHostState::inputKp);

struct ScriptState {
  SimScriptHooks hooks;
  std::string inputPath, outputPath;

  // Player.
  FILE* files[kMaxFiles] = {};
  int depth = 0;
  int32_t wait = 0;
  long loopPosition = 0;
  int32_t idleCount = 0;      // ONIDLE n while active, else 0
  int32_t idleProgress = 0;   // cycles without a press so far
  bool parked = false;        // reading suspended by ONIDLE
  bool readOnly = false;      // what the communication view was last told
  bool appStarted = false;
  std::vector<pid_t> stopped;  // of the children: those APPSTOP has asked to end
  std::vector<pid_t> children;  // started programs not yet reaped

  // Recorder.
  FILE* out = nullptr;
  bool waitPending = false;
  bool written = false;       // something to flush
  uint32_t lastWaitCycle = 0;
  char lastKp[kInputText] = {}, lastTu[kInputText] = {}, lastTg[kInputText] = {};
  char request[SIM_TEXT_SIZE] = {};
  uint16_t requestLength = 0;
  bool requestNoted = false;

  // Work buffers: nothing is allocated per cycle.
  char line[SIM_SCRIPT_LINE_MAX] = {};
  char comm[SIM_SCRIPT_COMM_MAX + 1] = {};
  char record[SIM_SCRIPT_RECORD_MAX] = {};
  SimScriptLine parsed;
};

ScriptState& S() {
  static ScriptState state;
  return state;
}

void Log(const char* what, std::string_view detail) {
  char text[160];
  const int n = static_cast<int>(std::min<size_t>(detail.size(), 80));
  std::snprintf(text, sizeof text, "Script: %s: %.*s", what, n, detail.data());
  SIM_LogText(text);
}

intptr_t Front(int id, intptr_t wParam = 0, intptr_t lParam = 0) {
  return S().hooks.front ? S().hooks.front(id, wParam, lParam) : 0;
}

void Beep() {
  if (S().hooks.beep) S().hooks.beep();
}

// Tells the communication view on a change (always with force).
void SetReadOnly(bool readOnly, bool force = false) {
  ScriptState& st = S();
  if (st.readOnly == readOnly && !force) return;
  st.readOnly = readOnly;
  if (st.hooks.requestReadOnly) st.hooks.requestReadOnly(readOnly);
}

FILE* Open(const std::string& path, const char* mode, const char* what) {
  FILE* f = SimOpenScriptFile(path, mode);
  struct stat st {};
  if (!f) Log(stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) ? "not a regular file" : what, path);
  return f;
}

// --- Recorder output ----------------------------------------------------------------------
void WritePendingWait() {
  ScriptState& st = S();
  if (!st.out || !st.waitPending) return;
  const uint32_t now = SimState().cycleCount;
  char text[80];
  const size_t n = SimFormatWaitLine(now - st.lastWaitCycle, now, text, sizeof text);
  std::fwrite(text, 1, n, st.out);
  st.lastWaitCycle = now;
  st.waitPending = false;
  st.written = true;
}

// One recorded line (without its line break), after the pending wait line.
void Record(std::string_view text) {
  ScriptState& st = S();
  if (!st.out) return;
  WritePendingWait();
  std::fwrite(text.data(), 1, text.size(), st.out);
  std::fputc('\n', st.out);
  st.written = true;
}

void RecordKeys(uint16_t bits, uint16_t before) {
  char text[16];
  const size_t n = SimFormatKeyLine(bits, before, text, sizeof text);
  Record(std::string_view(text, n));
}

void RecordComm(const char* prefix, const char* frame, uint16_t length) {
  ScriptState& st = S();
  if (!st.out) return;
  const uint16_t bytes = std::min<uint16_t>(length & 0x7FFFu, SIM_TEXT_SIZE);
  const size_t n = SimFormatCommLine(prefix, reinterpret_cast<const uint8_t*>(frame),
                                     static_cast<uint16_t>(bytes | (length & 0x8000u)), st.record, sizeof st.record);
  if (n == 0) return;
  WritePendingWait();
  std::fwrite(st.record, 1, n, st.out);
  st.written = true;
}

void RecordInput(const char* prefix, const char* text, char* last) {
  const size_t n = strnlen(text, kInputText);
  if (n == strnlen(last, kInputText) && std::memcmp(text, last, n) == 0) return;
  char line[16 + kInputText];
  std::snprintf(line, sizeof line, "%s%.*s", prefix, static_cast<int>(n), text);
  Record(line);
}

void Flush() {
  ScriptState& st = S();
  if (st.out && st.written) std::fflush(st.out);
  st.written = false;
}

void WriteHeader() {
  ScriptState& st = S();
  std::string shown = st.outputPath;  // upper case for the reader only
  for (char& c : shown) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const std::string project = st.hooks.projectName ? st.hooks.projectName() : std::string();
  std::fprintf(st.out, ";;;\n;;; Dateiname   : %s\n;;; Aufzeichnung: %s\n;;; EEPROM-Datei: %s\n;;;\n", shown.c_str(),
               SimFormatDateTime(-1, true, true).c_str(), project.c_str());
  st.written = true;
}

void CloseOutput() {
  ScriptState& st = S();
  if (st.out) std::fclose(st.out);
  st.out = nullptr;
  st.written = false;
}

// --- Other programs -----------------------------------------------------------------------
// A program counts as running while anything of its process group runs (a script that has
// ended may leave the programs it started).
void ReapChildren() {
  ScriptState& st = S();
  for (size_t i = 0; i < st.children.size();) {
    if (!host::ProcessGroupAlive(st.children[i])) {
      st.stopped.erase(std::remove(st.stopped.begin(), st.stopped.end(), st.children[i]), st.stopped.end());
      st.children.erase(st.children.begin() + static_cast<long>(i));
    } else {
      ++i;
    }
  }
}

// The words of a command line; double quotes group words with blanks.
std::vector<std::string> SplitCommand(std::string_view text) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false, quoted = false;
  for (char c : text) {
    if (c == '"') {
      quoted = !quoted;
      inWord = true;
    } else if (!quoted && (c == ' ' || c == '\t')) {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord) words.push_back(word);
  return words;
}

void StartApp(std::string_view command) {
  ScriptState& st = S();
  const pid_t pid = host::StartProcessGroup(SplitCommand(command));
  st.appStarted = pid > 0;
  if (pid > 0)
    st.children.push_back(pid);
  else
    Log("the program could not be started", command);
}

// While the started flag is set, ends the most recent program the scripts started that still
// runs (the one a user would see in front), and no program of anyone else; then sets the
// flag, so that the next APPSTOP ends the one started before it.
void StopApp() {
  ScriptState& st = S();
  ReapChildren();
  if (st.appStarted) {
    for (auto it = st.children.rbegin(); it != st.children.rend(); ++it) {
      if (std::find(st.stopped.begin(), st.stopped.end(), *it) != st.stopped.end()) continue;
      kill(-*it, SIGTERM);  // with what it started
      st.stopped.push_back(*it);
      break;
    }
  }
  st.appStarted = true;
}

// --- Player -------------------------------------------------------------------------------
bool CommandLineHas(const char* word) {
  const SimHostState& s = SimState();
  const std::string_view line(s.commandLine, strnlen(s.commandLine, sizeof s.commandLine));
  const size_t n = std::strlen(word);
  for (size_t i = 0; i + n <= line.size(); ++i) {
    size_t k = 0;
    while (k < n && std::tolower(static_cast<unsigned char>(line[i + k])) == word[k]) ++k;
    if (k == n) return true;
  }
  return false;
}

FILE* Top() { return S().files[S().depth - 1]; }

void CloseInputs() {
  ScriptState& st = S();
  while (st.depth > 0) std::fclose(st.files[--st.depth]);
  st.idleCount = st.idleProgress = 0;
  st.parked = false;
}

// Past this many characters a line is no script line at all: the rest of the file is left
// unread (a file without line breaks must not hold the program up).
constexpr size_t kLineSkipMax = 16 * SIM_SCRIPT_LINE_MAX;

// The next line of the current file into st.line; false at its end. A line longer than the
// buffer is read to its end and reported as too long; one longer than kLineSkipMax ends the
// file.
bool ReadLine(size_t* length, bool* tooLong) {
  ScriptState& st = S();
  FILE* f = Top();
  size_t n = 0, skipped = 0;
  bool any = false;
  *tooLong = false;
  int c;
  while ((c = std::getc(f)) != EOF) {
    any = true;
    if (c == '\n') break;
    if (n < sizeof st.line) {
      st.line[n++] = static_cast<char>(c);
    } else if (++skipped > kLineSkipMax) {
      Log("script line without end; the rest of the file is not read", std::string_view(st.line, 40));
      *length = 0;
      return false;
    } else {
      *tooLong = true;
    }
  }
  while (n > 0 && st.line[n - 1] == '\r') --n;
  *length = n;
  return any;
}

void SetKeys(uint16_t bits) {
  SimHostState& s = SimState();
  const uint16_t old = s.hardKeys;
  s.hardKeys = bits;
  Front(SIM_FRONT_SET_KEYS, bits, old);
  if (bits != old) RecordKeys(bits, old);
}

// INPUT COMM: the quoted text, joined with the quoted texts of its continuation lines, is
// handed to the channel; a text that gives no frame fitting the request text is refused.
void InputComm(const SimScriptLine& first) {
  ScriptState& st = S();
  size_t length = 0;
  bool ok = first.quoted && SimScriptAppend(first.text, st.comm, SIM_SCRIPT_COMM_MAX, &length);
  bool more = first.quoted && first.continued;
  while (more) {
    size_t n = 0;
    bool tooLong = false;
    std::string_view text;
    if (!ReadLine(&n, &tooLong)) {
      ok = false;
      break;
    }
    if (tooLong || !SimScriptQuoted(std::string_view(st.line, n), &text, &more)) {
      ok = false;
      break;
    }
    ok = ok && SimScriptAppend(text, st.comm, SIM_SCRIPT_COMM_MAX, &length);
  }
  ok = ok && std::memchr(st.comm, 0, length) == nullptr;
  st.comm[ok ? length : 0] = 0;
  if (!ok || !SimComInject(st.comm)) {
    Beep();
    Log("communication request refused (no frame that fits the request text)",
        std::string_view(st.comm, ok ? length : 0));
  }
}

void EepromWrite(const SimScriptLine& l) {
  SimHostState& s = SimState();
  if (l.valueCount == 0 || !s.engineering) return;
  for (uint16_t i = 0; i < l.valueCount; ++i) {
    const uint32_t at = l.address + 2u * i;
    s.engineering[at] = static_cast<uint8_t>(l.values[i]);
    s.engineering[at + 1] = static_cast<uint8_t>(l.values[i] >> 8);
  }
  // The firmware takes the shell's images at its next tick.
  s.reloadRequest = 1;
  s.imagesValid = 1;
}

void Include(std::string_view path) {
  ScriptState& st = S();
  if (st.depth >= kMaxFiles) {
    Log("files nested too deep, not played", path);
    return;
  }
  if (FILE* f = Open(std::string(path), "r", "the file could not be opened")) st.files[st.depth++] = f;
}

void SwitchOutput(std::string_view line, std::string_view path) {
  ScriptState& st = S();
  Record(line);
  CloseOutput();
  if (!path.empty()) st.out = Open(std::string(path), "w", "the output could not be opened");
}

// Handles one line; false when the step ends with it.
bool Handle(std::string_view line) {
  ScriptState& st = S();
  SimHostState& s = SimState();
  SimScriptLine& l = st.parsed;
  SimParseScriptLine(line, &l);
  switch (l.kind) {
    case SimScriptKind::Empty:
    case SimScriptKind::Comment:
    case SimScriptKind::InputIgnored:
      return true;
    case SimScriptKind::Bad:
      Log("line ignored", line);
      return true;
    case SimScriptKind::Other:
      Record(line);
      return true;
    case SimScriptKind::Wait:
      if (l.number == 0) return true;
      st.wait = l.number - 1;
      return false;
    case SimScriptKind::Pause:
      Record(line);
      s.pauseCount = l.number;
      return l.number == 0;
    case SimScriptKind::Turbo:
      Record(line);
      if (CommandLineHas(" turbo ")) s.turbo = s.turbo ? 0 : 1;
      return true;
    case SimScriptKind::Loop:
      Record(line);
      st.loopPosition = std::ftell(Top());
      return true;
    case SimScriptKind::EndLoop:
      Record(line);
      std::fseek(Top(), std::max(0L, st.loopPosition), SEEK_SET);
      return true;
    case SimScriptKind::AppStart:
      Record(line);
      StartApp(l.text);
      return true;
    case SimScriptKind::AppStop:
      Record(line);
      StopApp();
      return true;
    case SimScriptKind::Key:
      SetKeys(l.keyBits);
      return true;
    case SimScriptKind::OnIdle:
      if (l.number == 0) return true;
      st.idleCount = l.number;
      st.idleProgress = 0;
      st.parked = true;
      SetReadOnly(false);
      return false;
    case SimScriptKind::OutFile:
      SwitchOutput(line, l.text);
      return true;
    case SimScriptKind::InputComm:
      InputComm(l);
      return true;
    case SimScriptKind::EepromWrite:
      EepromWrite(l);
      return true;
    case SimScriptKind::EepromDump:
      if (!st.out) return true;
      Record(line);
      s.saveRequest = 1;
      if (st.hooks.tick) st.hooks.tick();
      return true;
    case SimScriptKind::InFile:
      Include(l.text);
      return true;
  }
  return true;
}

void EndOfScript() {
  Beep();
  SetReadOnly(false);
  Front(SIM_FRONT_POINTER_MODE, 0);
  SimState().playing = 0;
}

// Reads and handles lines until one ends the step or the script ends.
void Play() {
  ScriptState& st = S();
  for (int lines = 0; lines < kMaxLinesPerStep && st.depth > 0; ++lines) {
    size_t n = 0;
    bool tooLong = false;
    if (!ReadLine(&n, &tooLong)) {
      std::fclose(st.files[--st.depth]);
      if (st.depth == 0) {
        CloseInputs();
        EndOfScript();
      }
      continue;
    }
    if (tooLong) {
      Log("line too long, ignored", std::string_view(st.line, n));
      continue;
    }
    if (!Handle(std::string_view(st.line, n))) return;
  }
}

// ONIDLE: the script waits until nobody has pressed anything on the front for n cycles;
// meanwhile the user may type requests in the communication view.
void IdleStep() {
  ScriptState& st = S();
  if (st.idleCount == 0) return;
  if (Front(SIM_FRONT_PRESSED) != 0) {
    if (SimState().reloadRequest) SimState().imagesValid = 1;
    st.idleProgress = 0;
    st.parked = true;
    return;
  }
  if (++st.idleProgress < st.idleCount) {
    SetReadOnly(false);
    return;
  }
  SetReadOnly(true);
  st.idleCount = st.idleProgress = 0;
  st.parked = false;
}

// While no script is read, the keys held on the front are recorded as they change.
void TakeFrontKeys() {
  SimHostState& s = SimState();
  const uint16_t bits = SimScriptKeyBits(static_cast<uint32_t>(Front(SIM_FRONT_GET_KEYS)));
  if (bits == s.hardKeys) return;
  const uint16_t before = s.hardKeys;
  s.hardKeys = bits;
  RecordKeys(bits, before);
}

void ResetCounters() {
  ScriptState& st = S();
  const SimHostState& s = SimState();
  st.wait = 0;
  st.loopPosition = 0;
  st.idleCount = st.idleProgress = 0;
  st.parked = false;
  st.appStarted = false;
  st.waitPending = false;
  st.requestNoted = false;
  st.lastWaitCycle = s.cycleCount;
  std::memcpy(st.lastKp, s.inputKp, kInputText);
  std::memcpy(st.lastTu, s.inputTu, kInputText);
  std::memcpy(st.lastTg, s.inputTg, kInputText);
}

void StartPlaying(FILE* f) {
  ScriptState& st = S();
  st.files[0] = f;
  st.depth = 1;
  SimState().playing = 1;
  SetReadOnly(true, true);
  Front(SIM_FRONT_POINTER_MODE, 1);
}

}  // namespace

void SimScriptSetHooks(SimScriptHooks hooks) { S().hooks = std::move(hooks); }

void SimScriptTakeOptions(std::string& commandLine) {
  ScriptState& st = S();
  // A line cut at its 255 characters may have cut its last path: such a path is not used, so
  // that no file is read or made at a place nobody named.
  const bool cut = commandLine.size() >= SIM_COMMAND_LINE_SIZE - 1 && commandLine.back() != ' ';
  auto take = [&](const char* option, std::string* path) {
    if (!SimFindOption(commandLine, option, path)) return;
    if (cut && commandLine.back() == ' ') {
      Log("the command line ends inside this path, not used", *path);
      path->clear();
    }
  };
  take(" /inpfile=", &st.inputPath);
  take(" /outfile=", &st.outputPath);
}

void SimScriptSetPaths(const std::string& input, const std::string& output) {
  S().inputPath = input;
  S().outputPath = output;
}

void SimScriptOpen() {
  ScriptState& st = S();
  CloseInputs();
  CloseOutput();
  ResetCounters();
  SimState().playing = 0;
  FILE* in = st.inputPath.empty() ? nullptr : Open(st.inputPath, "r", "the script could not be opened");
  if (in) {
    StartPlaying(in);
  } else {
    // The view and the front learn the state either way.
    SetReadOnly(false, true);
    Front(SIM_FRONT_POINTER_MODE, 0);
  }
  if (!st.outputPath.empty()) SimScriptRecord(st.outputPath);
}

void SimScriptStep() {
  ScriptState& st = S();
  if (!st.children.empty()) ReapChildren();
  st.waitPending = true;
  IdleStep();
  if (st.depth > 0 && !st.parked) {
    if (st.wait > 0)
      --st.wait;
    else
      Play();
  }
  if (st.depth == 0 || st.parked) TakeFrontKeys();
  Flush();
}

void SimScriptNoteRequest(const char* frame, uint16_t length) {
  ScriptState& st = S();
  const size_t n = std::min<size_t>(length & 0x7FFFu, sizeof st.request);
  std::memcpy(st.request, frame, n);
  st.requestLength = static_cast<uint16_t>(n | (length & 0x8000u));
  st.requestNoted = true;
}

void SimRecordStep() {
  ScriptState& st = S();
  const SimHostState& s = SimState();
  if (st.out) {
    if (s.ioViewsShown) {
      RecordInput("input kp ", s.inputKp, st.lastKp);
      RecordInput("input tu ", s.inputTu, st.lastTu);
      RecordInput("input tg ", s.inputTg, st.lastTg);
    }
    if (st.requestNoted) RecordComm("input comm  ", st.request, st.requestLength);
    if (s.responseReady) RecordComm("output comm ", s.responseText, s.responseLength);
    Flush();
  }
  std::memcpy(st.lastKp, s.inputKp, kInputText);
  std::memcpy(st.lastTu, s.inputTu, kInputText);
  std::memcpy(st.lastTg, s.inputTg, kInputText);
  st.requestNoted = false;
  st.waitPending = false;
}

void SimScriptClose() {
  ScriptState& st = S();
  SimHostState& s = SimState();
  if (st.out) {
    // The closing wait line counts at least one cycle.
    if (s.cycleCount == st.lastWaitCycle) st.lastWaitCycle = s.cycleCount - 1;
    st.waitPending = true;
    WritePendingWait();
    if (!s.playing) Record("eeprom dump");
    Record("outfile");
  }
  CloseOutput();
  CloseInputs();
  s.playing = 0;
}

void SimScriptEndPrograms() {
  ScriptState& st = S();
  ReapChildren();
  // Each program with what it started: all are asked at once, and what is left after 2 s is
  // killed.
  for (pid_t pid : st.children) kill(-pid, SIGTERM);
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  for (pid_t pid : st.children) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    host::EndProcessGroup(pid, static_cast<int>(std::max<long long>(left.count(), 0)));
  }
  st.children.clear();
  st.stopped.clear();
}

bool SimScriptPlay(const std::string& path) {
  ScriptState& st = S();
  if (st.depth > 0) return false;
  FILE* f = Open(path, "r", "the script could not be opened");
  if (!f) return false;
  st.wait = 0;
  st.loopPosition = 0;
  st.idleCount = st.idleProgress = 0;
  st.parked = false;
  StartPlaying(f);
  return true;
}

bool SimScriptRecord(const std::string& path) {
  ScriptState& st = S();
  if (st.out) return false;
  st.outputPath = path;
  st.out = Open(path, "w", "the output could not be opened");
  if (!st.out) return false;
  st.lastWaitCycle = SimState().cycleCount;
  st.waitPending = false;
  if (!SimState().playing) WriteHeader();
  Flush();
  return true;
}

bool SimScriptPlaying() { return S().depth > 0; }
bool SimScriptRecording() { return S().out != nullptr; }

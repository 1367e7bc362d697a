// SIM74_2: the simulator program.
#include <QApplication>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "shell/sim_main.h"

int main(int argc, char** argv) {
  // Without any display the program still runs (served by its PC tools and scripts).
  const char* x = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  if (!std::getenv("QT_QPA_PLATFORM") && (!x || !*x) && (!wayland || !*wayland)) {
    std::fprintf(stderr, "SIM74_2: no display; running without a window\n");
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  }
  QApplication app(argc, argv);
  // Numbers are written and read with '.', whatever the user's locale.
  std::setlocale(LC_NUMERIC, "C");
  std::string args;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) args += ' ';
    args += argv[i];
  }
  return SimMain(args);
}

// Under LeakSanitizer: the font and desktop-bus libraries keep a few allocations until the
// process ends; they are not leaks of this program.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\nleak:libdbus-1.so\n"; }

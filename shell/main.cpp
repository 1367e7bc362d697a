// SIM74_2: the simulator program.
#include <QApplication>
#include <clocale>
#include <string>

#include "shell/sim_main.h"

int main(int argc, char** argv) {
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

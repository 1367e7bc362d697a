// Sets the process locale (from the test locales compiled into the build tree by
// sim_test_locale, where there are) while it lives, and the "C" locale again afterwards.
#pragma once

#include <clocale>
#include <cstdlib>

struct ProcessLocale {
  explicit ProcessLocale(const char* name) {
#ifdef SIM_TEST_LOCPATH
    setenv("LOCPATH", SIM_TEST_LOCPATH, 1);
#endif
    set = std::setlocale(LC_ALL, name) != nullptr;
  }
  ~ProcessLocale() {
    std::setlocale(LC_ALL, "C");
    unsetenv("LOCPATH");
  }
  ProcessLocale(const ProcessLocale&) = delete;
  ProcessLocale& operator=(const ProcessLocale&) = delete;
  bool set = false;
};

// The private environment of a test process, set up by the test main before any test runs.
#pragma once

#include <string>

namespace testenv {

// The temporary folder of this test process (its runtime, settings, data and cache folders
// are below it).
const std::string& PrivateFolder();

// A new, empty folder below the private folder, its name beginning with `name`; each call
// makes another one. It goes with the private folder when the process ends.
std::string FreshFolder(const std::string& name);

// The prefix the test main put before the shared names of this process.
const std::string& SharedNamePrefix();

// Puts a variable back to the value the test main gave it (unset when the main set none), so
// that a test that pointed it elsewhere never leaves it pointing at the user's own folders.
void Reset(const char* name);

}  // namespace testenv

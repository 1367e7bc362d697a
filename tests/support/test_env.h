// The private environment of a test process, set up by the test main before any test runs.
#pragma once

#include <string>

namespace testenv {

// The temporary folder of this test process (its runtime, settings, data and cache folders
// are below it).
const std::string& PrivateFolder();

// Puts a variable back to the value the test main gave it (unset when the main set none), so
// that a test that pointed it elsewhere never leaves it pointing at the user's own folders.
void Reset(const char* name);

}  // namespace testenv

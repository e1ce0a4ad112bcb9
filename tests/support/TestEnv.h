// Gives the test process a private home: HOME and the XDG folders point into a fresh
// temporary folder, so nothing a test does (log, settings, trash) reaches the real home
// folder. Also sets the locale the program sets at start-up.
#pragma once

#include <string>

namespace quenrix::test {

// Call once at the start of a test process, before anything reads the environment.
void setUpTestEnvironment();

// The private home folder made by setUpTestEnvironment.
const std::string& testHome();

}  // namespace quenrix::test

// The application object: makes the QApplication, sets the process locale, opens the
// main frame and runs the event loop. Lives on the user-interface thread.
#pragma once

namespace quenrix {

// Runs the program; returns the process exit status.
int runQuenrix(int argc, char** argv);

}  // namespace quenrix

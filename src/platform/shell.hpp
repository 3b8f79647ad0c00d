#pragma once

namespace thumbrover {

// Runs the platform's application shell on the calling (main) thread until the program ends and
// returns the process exit status.
int run_shell(int argc, char** argv);

}  // namespace thumbrover

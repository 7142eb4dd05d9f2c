#pragma once

namespace ostrevane {

// The process entry: answers the command line (--help, --version, usage errors, --quit)
// without a display; otherwise builds the runtime (the composition root) and runs the
// event loop. Returns the process's exit status.
int runOstrevaneApp(int argc, char** argv);

} // namespace ostrevane

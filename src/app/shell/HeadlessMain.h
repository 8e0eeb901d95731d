#pragma once

namespace kelvaro {

struct CommandLine;

// `kelvaro-monitor --headless`: the unattended recorder in a plain QCoreApplication, with no
// window and no display. Returns the process's exit code: 0 when SIGTERM, SIGINT or the end of
// --duration ended it; a missing dongle ends the process itself with its code (4, 2 or 3).
int runHeadless(const CommandLine& options, int argc, char** argv);

}  // namespace kelvaro

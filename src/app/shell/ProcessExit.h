#pragma once

namespace kelvaro {

// Ends the process at once with the code, the way a run without a dongle ends: no close
// handlers, no settings write-back, no destructors. What the standard streams hold is flushed
// first; settings files are already complete on disk, as every write replaces its file whole.
[[noreturn]] void endProcessNow(int exitCode);

}  // namespace kelvaro

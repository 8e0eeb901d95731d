#include "app/shell/ProcessExit.h"

#include <cstdio>
#include <cstdlib>

namespace kelvaro {

void endProcessNow(int exitCode) {
  std::fflush(nullptr);
  // Not exit(): static destructors would run while the application object still lives.
  std::_Exit(exitCode);
}

}  // namespace kelvaro

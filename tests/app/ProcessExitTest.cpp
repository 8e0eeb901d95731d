#include "app/shell/ProcessExit.h"

#include <cstdio>

#include <gtest/gtest.h>

namespace kelvaro {
namespace {

TEST(ProcessExitDeathTest, EndsWithTheCodeAfterFlushingOutput) {
  for (const int code : {2, 3, 4}) {
    EXPECT_EXIT(
        {
          // Fully buffered, so that the line reaches the parent only if it is flushed.
          static char buffer[1024];
          std::setvbuf(stderr, buffer, _IOFBF, sizeof buffer);
          std::fputs("last trace line", stderr);
          endProcessNow(code);
        },
        ::testing::ExitedWithCode(code), "last trace line");
  }
}

}  // namespace
}  // namespace kelvaro

// Feeds arbitrary bytes as the start of a recording file through what the repair of a cut
// recording reads: the header's layout, the repair's plan for a file of that size, and the
// rewriting of a record's time list. The checks hold for any bytes: nothing is read beyond them,
// a plan keeps only whole records and never more than the file holds, and a rewritten time list
// keeps its size and starts with the new time.
#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "edf/EdfLayout.h"
#include "edf/EdfRepair.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  using namespace kelvaro::edf;

  if (const auto layout = parseLayout(bytes)) {
    if (layout->headerBytes > bytes.size() || layout->recordBytes <= 0) std::abort();
    if (layout->annotationOffset >= 0 &&
        layout->annotationOffset + layout->annotationBytes > layout->recordBytes) {
      std::abort();
    }
    for (const std::int64_t fileSize : {std::int64_t(0), std::int64_t(bytes.size()),
                                        layout->headerBytes + 3 * layout->recordBytes + 1}) {
      if (const auto plan = planRepair(*layout, fileSize)) {
        if (plan->keepBytes > fileSize || plan->records < 0) std::abort();
        if ((plan->keepBytes - layout->headerBytes) % layout->recordBytes != 0) std::abort();
        if (plan->cutRecord != (plan->keepBytes != fileSize)) std::abort();
      }
    }
  }

  // The same bytes as one record's first annotation signal.
  const std::int64_t onset = size >= 8 ? std::int64_t(data[0]) << 32 | data[1] << 8 : 0;
  if (const auto retimed = retimedAnnotations(bytes, onset)) {
    if (retimed->size() != bytes.size() || !retimed->startsWith('+')) std::abort();
  }
  return 0;
}

#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

#include "edf/EdfLayout.h"

namespace kelvaro::edf {

// What mending a cut recording takes: the whole records to keep, and the file's size then.
struct RepairPlan {
  std::int64_t records = 0;
  std::int64_t keepBytes = 0;
  bool cutRecord = false;  // a record cut short at the end goes
};

// A file whose header says "-1" records (the program that wrote it never closed it) and that
// holds at least one whole record; none otherwise.
std::optional<RepairPlan> planRepair(const EdfLayout& layout, std::int64_t fileSize);

struct RepairOutcome {
  enum class Result {
    kRepaired,
    kNotNeeded,     // closed in order, or not a recording at all
    kBusy,          // being written by a running program
    kNothingWhole,  // cut before its first whole record: left as it is
    kFailed,
  };
  Result result = Result::kNotNeeded;
  std::int64_t records = 0;
  QString message;  // what the console says
};

// Mends a recording cut by a killed program or a power loss: every whole data record kept, a
// record cut short removed, the record count written into the header. Readers then open it. A
// file being written (its lock held) is left alone. Its events are lost: EDFlib writes them when
// the file closes.
RepairOutcome repairRecording(const QString& path);

// repairRecording for every .bdf and .edf file of `folder` that needs it; the console lines of
// the repairs and of what could not be repaired.
QStringList repairRecordingsIn(const QString& folder);

}  // namespace kelvaro::edf

#include "edf/EdfRepair.h"

#include <QDir>
#include <QFileInfo>

#include "platform/LockedFile.h"

namespace kelvaro::edf {

std::optional<RepairPlan> planRepair(const EdfLayout& layout, std::int64_t fileSize) {
  if (layout.records != -1 || layout.recordBytes <= 0 || fileSize < layout.headerBytes) {
    return std::nullopt;
  }
  const std::int64_t data = fileSize - layout.headerBytes;
  RepairPlan plan;
  plan.records = data / layout.recordBytes;
  plan.keepBytes = layout.headerBytes + plan.records * layout.recordBytes;
  plan.cutRecord = plan.keepBytes != fileSize;
  return plan;
}

RepairOutcome repairRecording(const QString& path) {
  using Result = RepairOutcome::Result;
  RepairOutcome out;
  LockedFile file;
  QString reason;
  bool busy = false;
  if (!file.open(path, &reason, &busy)) {
    out.result = busy ? Result::kBusy : Result::kFailed;
    out.message = busy ? QStringLiteral("%1 is being recorded: not repaired").arg(path)
                       : QStringLiteral("Cannot repair %1: %2").arg(path, reason);
    return out;
  }
  const QByteArray fixed = file.readAt(0, EdfLayout::kFixedHeaderBytes);
  const auto size = headerSize(fixed);
  QString why;
  const auto layout = size ? parseLayout(file.readAt(0, *size), &why) : std::nullopt;
  if (!layout) {
    out.message = QStringLiteral("%1 is not a recording that can be repaired: %2")
                      .arg(path, size ? why : QStringLiteral("no EDF or BDF header"));
    return out;
  }
  if (layout->records != -1) {
    out.records = layout->records;
    out.message = QStringLiteral("%1 needs no repair: %2 data records").arg(path).arg(out.records);
    return out;
  }
  const auto plan = planRepair(*layout, file.size());
  if (!plan || plan->records == 0) {
    out.result = Result::kNothingWhole;
    out.message =
        QStringLiteral("%1 was cut before its first whole data record: left as it is").arg(path);
    return out;
  }
  if (!file.truncate(plan->keepBytes, &reason) ||
      !file.writeAt(EdfLayout::kRecordCountOffset, recordCountField(plan->records), &reason) ||
      !file.sync(&reason)) {
    out.result = Result::kFailed;
    out.message = QStringLiteral("Cannot repair %1: %2").arg(path, reason);
    return out;
  }
  out.result = Result::kRepaired;
  out.records = plan->records;
  out.message =
      QStringLiteral("Repaired %1: %2 whole data records kept%3")
          .arg(path)
          .arg(plan->records)
          .arg(plan->cutRecord ? QStringLiteral(", a record cut short removed") : QString());
  return out;
}

QStringList repairRecordingsIn(const QString& folder) {
  QStringList lines;
  const QDir dir(folder);
  const QStringList names =
      dir.entryList({QStringLiteral("*.bdf"), QStringLiteral("*.edf"), QStringLiteral("*.BDF"),
                     QStringLiteral("*.EDF")},
                    QDir::Files | QDir::Readable | QDir::Writable, QDir::Name);
  for (const QString& name : names) {
    const QString path =
        folder == QLatin1String(".") ? QStringLiteral("./") + name : dir.filePath(name);
    // Only a file that never closed is looked at further; others pass in silence.
    LockedFile peek;
    QString reason;
    bool busy = false;
    if (!peek.open(path, &reason, &busy)) continue;
    const auto size = headerSize(peek.readAt(0, EdfLayout::kFixedHeaderBytes));
    const auto layout = size ? parseLayout(peek.readAt(0, *size)) : std::nullopt;
    peek.close();
    if (!layout || layout->records != -1) continue;
    lines << repairRecording(path).message;
  }
  return lines;
}

}  // namespace kelvaro::edf

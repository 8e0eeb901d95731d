#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

namespace kelvaro::edf {

// Where things are in an EDF(+) or BDF(+) file, read from its header: the little that mending a
// file needs (the record count of a cut one, the record times of a discontinuous one). Parsing
// refuses what is not such a header, whatever the bytes.
struct EdfLayout {
  static constexpr int kFixedHeaderBytes = 256;
  static constexpr int kSignalHeaderBytes = 256;
  static constexpr int kReservedOffset = 192;
  static constexpr int kRecordCountOffset = 236;
  static constexpr int kRecordCountWidth = 8;
  static constexpr int kMaxSignals = 4096;

  bool bdf = false;              // 24-bit samples (3 bytes) instead of 16-bit ones
  int signalCount = 0;           // annotation signals included
  std::int64_t headerBytes = 0;  // fixed header and the signals' headers
  std::int64_t recordBytes = 0;
  std::int64_t records = -1;  // -1: not written yet (a recording that never closed)
  // The first annotation signal within a record: its time-keeping list gives the record's onset.
  std::int64_t annotationOffset = -1;  // -1: no annotation signal (plain EDF or BDF)
  std::int64_t annotationBytes = 0;
};

// The bytes a header of `fixedHeader`'s signal count takes (the first 256 bytes suffice); none
// when they are not the start of a header.
std::optional<std::int64_t> headerSize(const QByteArray& fixedHeader);

// The layout of a whole header (at least headerSize() bytes); none, and why, when it is not one.
std::optional<EdfLayout> parseLayout(const QByteArray& header, QString* error = nullptr);

// The record-count field ("1234    ") for `records`.
QByteArray recordCountField(std::int64_t records);

// A record's time-keeping list alone, "+<seconds>[.<fraction>]" 20 20 0, for a start `onset` (in
// 100 ns units) after the header's start time, zeros after it up to `size` bytes. False when it
// does not fit.
bool writeTimeKeeping(std::int64_t onset, char* out, std::size_t size);

// The first annotation signal of one record rewritten so that its time-keeping list says the
// record starts `onset` (in 100 ns units) after the header's start time; the annotations after it
// are kept. None when the bytes hold no time-keeping list or the new one does not fit.
std::optional<QByteArray> retimedAnnotations(const QByteArray& annotations, std::int64_t onset);

}  // namespace kelvaro::edf

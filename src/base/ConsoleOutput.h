#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <ostream>
#include <streambuf>
#include <string>

#include "base/ConsoleLog.h"

namespace kelvaro {

// Cuts the standard-output text handed over in chunks into console lines. It keeps the
// characters of the line not yet terminated; only a line end moves them to the console.
class ConsoleLineCollector {
 public:
  static constexpr std::size_t kMaxPendingLine = 255;
  // The standard-output path keeps the console at this many lines plus the one it appends.
  static constexpr int kMaxLinesBeforeAppend = 500;

  explicit ConsoleLineCollector(ConsoleLog& console) : console_(console) {}

  // The stream opens for output: whatever was pending belongs to an earlier life of the stream.
  void open();
  // Closing leaves a partial line pending; it is never shown.
  void close() {}

  // Scans one chunk from its first byte. The first line end appends the pending line and ends
  // the chunk: whatever follows it in the same chunk is discarded.
  void handOver(const char* chunk, std::size_t n);

  std::size_t pendingSize() const { return length_; }
  std::string pending() const { return std::string(pending_.data(), length_); }

 private:
  void endLine();

  ConsoleLog& console_;
  std::array<char, kMaxPendingLine> pending_{};
  std::size_t length_ = 0;
  // The previous chunk ended in CR; a LF opening the next chunk is that line's second half.
  bool afterCarriageReturn_ = false;
};

// The stream buffer bound to the console: 128 bytes, handed over when full, at every line end
// written ('\n' or '\r') and on flush. It starts closed and opens itself on its first write.
class ConsoleStreamBuf : public std::streambuf {
 public:
  static constexpr std::size_t kBufferSize = 128;

  explicit ConsoleStreamBuf(ConsoleLog& console) : collector_(console) {}

  const ConsoleLineCollector& collector() const { return collector_; }

 protected:
  int_type overflow(int_type ch) override;
  std::streamsize xsputn(const char* s, std::streamsize n) override;
  int sync() override;

 private:
  // Every character passes through overflow()/xsputn() (the put area stays empty), so that line
  // ends are seen as they are written.
  void put(char c);
  void handOverBuffer();

  ConsoleLineCollector collector_;
  std::array<char, kBufferSize> buffer_{};
  std::size_t used_ = 0;
  bool open_ = false;
};

// Binds an output stream (normally std::cout) to a console for as long as it lives. The
// composition root owns it; it must be destroyed before the console it writes to. Destroying it
// (or detach()) gives the stream back its previous buffer; characters still buffered are dropped.
class ConsoleOutputBinding {
 public:
  ConsoleOutputBinding() = default;
  ~ConsoleOutputBinding() { detach(); }
  ConsoleOutputBinding(const ConsoleOutputBinding&) = delete;
  ConsoleOutputBinding& operator=(const ConsoleOutputBinding&) = delete;

  // Binding again starts over exactly as the first time did: a fresh, closed buffer. The buffer
  // the stream had before the first binding is the one restored at the end.
  void attach(std::ostream& stream, ConsoleLog& console);
  void detach();

  bool attached() const { return stream_ != nullptr; }
  const ConsoleStreamBuf* buffer() const { return buffer_ ? &*buffer_ : nullptr; }

 private:
  std::ostream* stream_ = nullptr;
  std::streambuf* previous_ = nullptr;
  std::optional<ConsoleStreamBuf> buffer_;
};

// Makes `console` the target of `stream` through `binding`.
void AttachOutputToConsole(ConsoleOutputBinding& binding, std::ostream& stream,
                           ConsoleLog& console);

}  // namespace kelvaro

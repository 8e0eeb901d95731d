#include "base/ConsoleOutput.h"

#include <QString>

namespace kelvaro {

void ConsoleLineCollector::open() {
  length_ = 0;
  afterCarriageReturn_ = false;
}

void ConsoleLineCollector::handOver(const char* chunk, std::size_t n) {
  if (n == 0) return;
  std::size_t i = 0;
  if (afterCarriageReturn_ && chunk[0] == '\n') i = 1;
  afterCarriageReturn_ = false;
  for (; i < n; ++i) {
    const char c = chunk[i];
    // Programs here end their lines with LF alone; taking a lone LF as a line end too is what
    // makes text written with "\n" appear at all. CR LF still gives one line, since the rest of
    // the chunk after the CR is discarded.
    if (c == '\r' || c == '\n') {
      endLine();
      afterCarriageReturn_ = c == '\r' && i + 1 == n;
      return;
    }
    // A line longer than the pending buffer loses its excess characters; the line end still
    // shows the first 255.
    if (length_ < pending_.size()) pending_[length_++] = c;
  }
}

void ConsoleLineCollector::endLine() {
  if (console_.count() > kMaxLinesBeforeAppend) console_.removeFirst();
  // Standard output carries UTF-8 on this platform; broken sequences show as replacement marks.
  console_.append(QString::fromUtf8(pending_.data(), static_cast<qsizetype>(length_)));
  length_ = 0;
}

ConsoleStreamBuf::int_type ConsoleStreamBuf::overflow(int_type ch) {
  if (traits_type::eq_int_type(ch, traits_type::eof())) return traits_type::not_eof(ch);
  put(traits_type::to_char_type(ch));
  return ch;
}

std::streamsize ConsoleStreamBuf::xsputn(const char* s, std::streamsize n) {
  for (std::streamsize i = 0; i < n; ++i) put(s[i]);
  return n;
}

int ConsoleStreamBuf::sync() {
  if (used_ > 0) handOverBuffer();
  return 0;
}

void ConsoleStreamBuf::put(char c) {
  if (!open_) {
    collector_.open();
    open_ = true;
  }
  buffer_[used_++] = c;
  if (used_ == buffer_.size() || c == '\n' || c == '\r') handOverBuffer();
}

void ConsoleStreamBuf::handOverBuffer() {
  collector_.handOver(buffer_.data(), used_);
  used_ = 0;
}

void ConsoleOutputBinding::attach(std::ostream& stream, ConsoleLog& console) {
  if (stream_ != nullptr && stream_ != &stream) detach();
  if (stream_ == nullptr) {
    stream_ = &stream;
    previous_ = stream.rdbuf();
  }
  // The stream must never point at a destroyed buffer, not even between two statements.
  stream.rdbuf(previous_);
  buffer_.emplace(console);
  stream.rdbuf(&*buffer_);
}

void ConsoleOutputBinding::detach() {
  if (stream_ == nullptr) return;
  stream_->rdbuf(previous_);
  stream_ = nullptr;
  previous_ = nullptr;
  buffer_.reset();
}

void AttachOutputToConsole(ConsoleOutputBinding& binding, std::ostream& stream,
                           ConsoleLog& console) {
  binding.attach(stream, console);
}

}  // namespace kelvaro

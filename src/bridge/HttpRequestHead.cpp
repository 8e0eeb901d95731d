#include "bridge/HttpRequestHead.h"

#include <string_view>

namespace kelvaro {
namespace {

// RFC 9110's token characters, of a field's name.
bool tokenCharacter(char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  return std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

QByteArray trimmed(const QByteArray& text) {
  qsizetype from = 0;
  qsizetype to = text.size();
  while (from < to && (text[from] == ' ' || text[from] == '\t')) ++from;
  while (to > from && (text[to - 1] == ' ' || text[to - 1] == '\t')) --to;
  return text.mid(from, to - from);
}

}  // namespace

HttpRequestHead::HttpRequestHead() { line_.reserve(512); }

QByteArray HttpRequestHead::path() const {
  const qsizetype query = target_.indexOf('?');
  return query < 0 ? target_ : target_.left(query);
}

std::size_t HttpRequestHead::feed(const char* data, std::size_t size) {
  std::size_t taken = 0;
  while (taken < size && state_ == State::Incomplete) {
    if (size_ == kMaxBytes) {
      state_ = State::TooLarge;
      break;
    }
    ++size_;
    if (!take(data[taken++])) break;
  }
  return taken;
}

bool HttpRequestHead::take(char c) {
  const auto byte = static_cast<unsigned char>(c);
  if (carriageReturn_) {
    // A carriage return ends a line only with the line feed after it.
    if (c != '\n') {
      refuse();
      return false;
    }
    carriageReturn_ = false;
    return endLine();
  }
  if (c == '\r') {
    carriageReturn_ = true;
    return true;
  }
  if (c == '\n' || (byte < 0x20 && c != '\t') || byte == 0x7F) {
    refuse();
    return false;
  }
  if (!haveRequestLine_) {
    // The method comes first: upper-case letters, then one blank.
    const bool inMethod = !line_.contains(' ');
    if (inMethod && !(c >= 'A' && c <= 'Z') && !(c == ' ' && !line_.isEmpty())) {
      refuse();
      return false;
    }
    if (inMethod && line_.size() >= kMaxMethod && c != ' ') {
      refuse();
      return false;
    }
  }
  line_.append(c);
  return true;
}

bool HttpRequestHead::endLine() {
  const bool ok = haveRequestLine_ ? fieldLine() : requestLine();
  line_.clear();
  if (!ok) refuse();
  return ok && state_ == State::Incomplete;
}

bool HttpRequestHead::requestLine() {
  const qsizetype first = line_.indexOf(' ');
  const qsizetype second = first < 0 ? -1 : line_.indexOf(' ', first + 1);
  if (first <= 0 || second < 0 || line_.indexOf(' ', second + 1) >= 0) return false;
  method_ = line_.left(first);
  target_ = line_.mid(first + 1, second - first - 1);
  const QByteArray version = line_.mid(second + 1);
  if (target_.isEmpty() || target_.size() > kMaxTarget) return false;
  for (const char c : target_) {
    if (static_cast<unsigned char>(c) >= 0x80 || c == '\t') return false;
  }
  if (version == "HTTP/1.1") {
    minor_ = 1;
  } else if (version == "HTTP/1.0") {
    minor_ = 0;
  } else {
    return false;
  }
  haveRequestLine_ = true;
  return true;
}

bool HttpRequestHead::fieldLine() {
  if (line_.isEmpty()) {
    state_ = State::Complete;
    return true;
  }
  // A line that starts with a blank continues the one before: obsolete, and refused.
  if (line_.front() == ' ' || line_.front() == '\t') return false;
  if (++fields_ > kMaxFields) return false;
  const qsizetype colon = line_.indexOf(':');
  if (colon <= 0) return false;
  for (qsizetype i = 0; i < colon; ++i) {
    if (!tokenCharacter(line_[i])) return false;
  }
  const QByteArray name = line_.left(colon).toLower();
  const QByteArray value = trimmed(line_.mid(colon + 1));
  // A field the bridge decides by may come once only: two Origins could mean two things.
  const auto once = [&value](bool& seen, QByteArray& into) {
    if (seen) return false;
    seen = true;
    into = value;
    return true;
  };
  if (name == "host") return once(hasHost_, host_);
  if (name == "origin") return once(hasOrigin_, origin_);
  if (name == "upgrade") return once(hasUpgrade_, upgrade_);
  if (name == "sec-websocket-key") return once(hasKey_, webSocketKey_);
  if (name == "sec-websocket-version") {
    webSocketVersion_ = value;
  } else if (name == "connection") {
    if (!connection_.isEmpty()) connection_ += ',';
    connection_ += value;
  } else if (name == "content-length") {
    if (value != "0") announcesBody_ = true;
  } else if (name == "transfer-encoding") {
    announcesBody_ = true;
  }
  return true;
}

}  // namespace kelvaro

#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>

namespace kelvaro {

// The web origins whose pages may open the belt's WebSocket: a browser names the page that opens
// a WebSocket in its Origin header, and any page open in the same browser could otherwise read
// the wearer's breathing. An entry is an origin as a browser writes it ("https://turbowarp.org",
// "tw-editor://.", "http://localhost:8000"), or one with "*." before its host name, which stands
// for any of that name's subdomains ("https://*.example.org": "https://a.example.org" and
// "https://a.b.example.org", not "https://example.org").
class OriginList {
 public:
  // The TurboWarp editor on the web (its site and its experimental builds), its desktop editor
  // (pages of its own scheme "tw-editor://."), and the bridge's own address.
  static QString defaultText(std::uint16_t port);

  // Entries separated by blanks or commas; letters compared without regard to case, a trailing
  // "/" ignored. Nothing valid in the text: nothing is allowed.
  static OriginList parse(const QString& text);

  // `origin` as the header carries it; an empty one (no header) is never allowed.
  bool allows(const QByteArray& origin) const;
  // The entries as they are used, in the order given.
  const QStringList& entries() const { return entries_; }

 private:
  QStringList entries_;
};

}  // namespace kelvaro

#pragma once

#include <QString>
#include <optional>
#include <utility>

namespace kelvaro {

// Typed settings in an INI file with profile-file semantics: "[Section]" headers, "key=value"
// lines, section and key names matched without regard to case, blanks around values ignored.
// Nothing is cached: every read opens the file as it is now, every write rewrites it at once.
//
// The file is UTF-8 text, read leniently: invalid byte sequences never stop a read, they only
// turn into replacement characters in the value they belong to. Lines a write does not touch
// are kept byte for byte, whatever they hold.
class SettingsFile {
 public:
  // A settings file larger than this is not one this program wrote: reads give the defaults and
  // writes refuse to rewrite it.
  static constexpr qint64 kMaxFileSize = 1024 * 1024;
  static constexpr int kMaxStringLength = 2047;

  // Does no input or output.
  explicit SettingsFile(QString path) : path_(std::move(path)) {}

  const QString& path() const { return path_; }

  // A missing file, section or key, or text that does not parse, gives `defaultValue`.
  int readInteger(const QString& section, const QString& key, int defaultValue) const;
  bool readBool(const QString& section, const QString& key, bool defaultValue) const;
  double readReal(const QString& section, const QString& key, double defaultValue) const;
  QString readString(const QString& section, const QString& key, const QString& defaultValue) const;

  // Each write replaces the whole file atomically; a refused write throws kelvaro::Error
  // "Unable to write to <full path>" and leaves the file as it was.
  void writeInteger(const QString& section, const QString& key, int value);
  void writeBool(const QString& section, const QString& key, bool value);
  void writeReal(const QString& section, const QString& key, double value);
  void writeString(const QString& section, const QString& key, const QString& value);

 private:
  // The trimmed value text; nothing when the file, section or key is not there or unreadable.
  std::optional<QString> readValue(const QString& section, const QString& key) const;
  void writeValue(const QString& section, const QString& key, const QString& value);

  QString path_;
};

}  // namespace kelvaro

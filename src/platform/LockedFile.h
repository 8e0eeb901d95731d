#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace kelvaro {

// A file opened for reading and writing in place (never created, never truncated on opening),
// with an advisory lock (flock(2)) that says "being written": a program that repairs cut
// recordings leaves a locked file alone, and the lock goes with the process that holds it, also
// when that process is killed. The holder can sync the file and mend bytes in it.
class LockedFile {
 public:
  LockedFile() = default;
  LockedFile(const LockedFile&) = delete;
  LockedFile& operator=(const LockedFile&) = delete;
  ~LockedFile();

  // Opens path and takes its lock. False with the reason when it does not open, or when
  // another holder has the lock (busy is then true).
  bool open(const QString& path, QString* reason, bool* busy = nullptr);
  bool isOpen() const { return fd_ >= 0; }
  // Gives up the lock and closes.
  void close();

  std::int64_t size() const;
  // Up to `size` bytes at `offset` (fewer at the end of the file); empty on an error.
  QByteArray readAt(std::int64_t offset, std::int64_t size) const;
  bool writeAt(std::int64_t offset, const QByteArray& bytes, QString* reason);
  bool truncate(std::int64_t size, QString* reason);
  // Flushes the file's data to the disk, whoever wrote it.
  bool sync(QString* reason);

 private:
  int fd_ = -1;
};

}  // namespace kelvaro

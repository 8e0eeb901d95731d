// The capture reader: whole files record by record, and damaged ones stopped at the damage with
// what came before it kept.
#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <string>

#include <gtest/gtest.h>

#include "capture/CaptureFormat.h"
#include "capture/CaptureReader.h"

namespace kelvaro {
namespace {

using capture::Direction;

const char kHeader[] =
    "kelvaro-capture 1 program=kelvaro-monitor/3.24.0 start=2025-03-01T14:02:11.250+01:00\n";

Capture parse(const std::string& text) { return parseCapture(text.data(), text.size()); }

QByteArray bytesOf(const Capture& c, std::size_t index) {
  const CaptureRecord& r = c.records.at(index);
  return QByteArray(reinterpret_cast<const char*>(c.data(r)), qsizetype(r.size));
}

TEST(CaptureReaderTest, ReadsTheHeaderAndEveryRecordInOrder) {
  const Capture c = parse(std::string(kHeader) +
                          "0 > 00 01 06 02 01\n"
                          "# a comment of somebody who looked at it\n"
                          "\n"
                          "1843 < 00 02 06 02 00 00\r\n"
                          "1843 < 80020604\n"  // one token of several bytes, upper case
                          "18446744073709551615 > FF\n");
  ASSERT_FALSE(c.damage) << c.damage->what.toStdString();
  ASSERT_TRUE(c.header);
  EXPECT_EQ(c.header->version, 1);
  EXPECT_EQ(c.header->program, QStringLiteral("kelvaro-monitor/3.24.0"));
  EXPECT_EQ(c.header->start.toMSecsSinceEpoch(),
            QDateTime::fromString(QStringLiteral("2025-03-01T13:02:11.250Z"), Qt::ISODateWithMs)
                .toMSecsSinceEpoch());
  EXPECT_EQ(c.header->start.offsetFromUtc(), 3600);
  ASSERT_EQ(c.records.size(), 4u);
  EXPECT_EQ(c.records[0].micros, 0u);
  EXPECT_EQ(c.records[0].direction, Direction::Sent);
  EXPECT_EQ(bytesOf(c, 0), QByteArray::fromHex("0001060201"));
  EXPECT_EQ(c.records[1].micros, 1843u);
  EXPECT_EQ(c.records[1].direction, Direction::Received);
  EXPECT_EQ(bytesOf(c, 1), QByteArray::fromHex("000206020000"));
  EXPECT_EQ(bytesOf(c, 2), QByteArray::fromHex("80020604"));
  EXPECT_EQ(c.records[3].micros, UINT64_MAX);
  EXPECT_EQ(bytesOf(c, 3), QByteArray::fromHex("FF"));
}

TEST(CaptureReaderTest, WhatTheWriterWritesReadsBackAsIs) {
  CaptureHeader header;
  header.program = QStringLiteral("kelvaro monitor/1.0");  // a space would split the field
  header.start = QDateTime(QDate(2024, 12, 31), QTime(23, 59, 59, 999), Qt::UTC);
  std::string text = captureHeaderLine(header).toStdString();
  const QByteArray all = QByteArray::fromHex("00ff7f8001");
  appendCaptureRecord(text, 7, Direction::Received, all.constData(), std::size_t(all.size()));
  appendCaptureRecord(text, 7, Direction::Sent, all.constData(), 1);
  EXPECT_EQ(text.substr(text.find('\n') + 1), "7 < 00 ff 7f 80 01\n7 > 00\n");

  const Capture c = parse(text);
  ASSERT_FALSE(c.damage) << c.damage->what.toStdString();
  EXPECT_EQ(c.header->program, QStringLiteral("kelvaro-monitor/1.0"));
  EXPECT_EQ(c.header->start, header.start);
  ASSERT_EQ(c.records.size(), 2u);
  EXPECT_EQ(bytesOf(c, 0), all);
  EXPECT_EQ(bytesOf(c, 1), all.left(1));
}

// Each damage stops the reading on its line, says what is wrong there, and keeps every record
// before it.
TEST(CaptureReaderTest, ADamagedFileStopsAtTheDamageAndKeepsWhatCameBefore) {
  const std::string good = std::string(kHeader) + "10 > 00 01 06 02 01\n20 < 00 02\n";
  struct Case {
    const char* what;
    std::string content;
    bool header;          // the header is usable
    std::size_t records;  // records kept
    int line;             // the damaged line
    const char* says;     // the message begins so
  };
  const Case cases[] = {
      {"an empty file", "", false, 0, 1, "not a capture: the file is empty"},
      {"no header", "10 > 00 01\n", false, 0, 1, "not a capture: the first line does not begin"},
      {"another program's file", "time;force\n", false, 0, 1, "not a capture"},
      {"an unknown version",
       "kelvaro-capture 2 program=x/9 start=2030-01-01T00:00:00.000Z\n10 > 00\n", false, 0, 1,
       "unknown version \"2\" of the capture format (this program reads version 1)"},
      {"no version", "kelvaro-capture\n", false, 0, 1, "the first line names no format version"},
      {"no program", "kelvaro-capture 1 start=2025-03-01T14:02:11.250Z\n", false, 0, 1,
       "the first line names no program"},
      {"no start", "kelvaro-capture 1 program=p/1\n", false, 0, 1,
       "the first line has no start time"},
      {"a bad start", "kelvaro-capture 1 program=p/1 start=yesterday\n", false, 0, 1,
       "bad start time \"yesterday\""},
      {"a header field without a value",
       "kelvaro-capture 1 program=p/1 start=2025-03-01T14:02:11Z x\n", false, 0, 1,
       "bad header field \"x\""},
      {"the header cut off", std::string(kHeader).substr(0, 40), false, 0, 1,
       "the line is cut off"},
      {"a truncated last line", good + "30 < 80 02 06", true, 2, 4, "the line is cut off"},
      {"a truncated line in the middle", good + "30\n40 < 00\n", true, 2, 4,
       "the line ends after the time"},
      {"no bytes", good + "30 <\n", true, 2, 4, "no bytes after the direction"},
      {"bad hex", good + "30 < 00 zz 01\n40 < 00\n", true, 2, 4, "bad hex \"zz\""},
      {"an odd digit", good + "30 < 00 0\n", true, 2, 4, "bad hex \"0\""},
      {"time going backwards", good + "19 < 00\n", true, 2, 4,
       "time goes backwards: 19 after 20 microseconds"},
      {"a negative time", good + "-5 < 00\n", true, 2, 4, "bad time \"-5\""},
      {"a time past 64 bits", good + "18446744073709551616 < 00\n", true, 2, 4, "bad time"},
      {"a bad direction", good + "30 = 00\n", true, 2, 4, "bad direction \"=\""},
      {"a binary file", std::string(kHeader) + std::string("\0\x01\x02\n", 4), true, 0, 2,
       "bad time"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Capture read = parse(c.content);
    ASSERT_TRUE(read.damage);
    EXPECT_EQ(read.header.has_value(), c.header);
    EXPECT_EQ(read.records.size(), c.records);
    EXPECT_EQ(read.damage->line, c.line);
    EXPECT_TRUE(read.damage->what.startsWith(QString::fromUtf8(c.says)))
        << read.damage->what.toStdString();
    // The records kept are the good ones, bytes and all.
    if (c.records == 2) {
      EXPECT_EQ(bytesOf(read, 0), QByteArray::fromHex("0001060201"));
      EXPECT_EQ(bytesOf(read, 1), QByteArray::fromHex("0002"));
      EXPECT_EQ(read.bytes.size(), 7u) << "nothing of the damaged line";
    }
  }
}

TEST(CaptureReaderTest, TheMessageNamesTheFileAndTheLine) {
  EXPECT_EQ(captureDamageText(QStringLiteral("belt.capture"), CaptureDamage{17, "bad hex \"zz\""}),
            QStringLiteral("belt.capture:17: bad hex \"zz\""));
}

TEST(CaptureReaderTest, AFileThatCannotBeReadSaysWhy) {
  QTemporaryDir dir;
  QString error;
  EXPECT_FALSE(readCaptureFile(dir.filePath(QStringLiteral("missing.capture")), &error));
  EXPECT_TRUE(error.startsWith(dir.filePath(QStringLiteral("missing.capture")) + ": "))
      << error.toStdString();

  QFile file(dir.filePath(QStringLiteral("belt.capture")));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(kHeader);
  file.write("5 < 80 00 00 00\n");
  file.close();
  const auto read = readCaptureFile(file.fileName(), &error);
  ASSERT_TRUE(read);
  EXPECT_FALSE(read->damage);
  EXPECT_EQ(read->records.size(), 1u);
}

}  // namespace
}  // namespace kelvaro

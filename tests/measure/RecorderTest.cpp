// The measurement recorder: its rows byte for byte, its states on real files in a folder of the
// test's own (the working directory, as for the program), and its input/output errors.
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <csignal>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "measure/MeasurementState.h"
#include "measure/Recorder.h"
#include "platform/AppendFile.h"

namespace kelvaro {
namespace {

// The example sample: tag 7F, forces 0 and -250 g, accelerations 16, -16, 256, battery 3962 mV,
// 25.37 degrees.
MeasurementState example() {
  MeasurementState m;
  m.sampleTag = 0x7F;
  m.force1Grams = 0.0;
  m.force2Grams = -250.0;
  m.accelX = 16;
  m.accelY = -16;
  m.accelZ = 256;
  m.batteryMillivolts = 3962;
  m.temperatureCentidegrees = 2537;
  return m;
}

std::string rowOf(const MeasurementState& m) {
  std::string row;
  Recorder::formatRow(row, m);
  return row;
}

TEST(RecorderRowTest, FieldsWidthsAndLineEnd) {
  struct Case {
    const char* what;
    void (*change)(MeasurementState&);
    const char* row;
  };
  const Case cases[] = {
      {"the example", [](MeasurementState&) {},
       "7F;    0.0; -250.0;   16;  -16;  256;3962; 25.37\r\n"},
      {"no battery reading yet", [](MeasurementState& m) { m.batteryMillivolts = 0; },
       "7F;    0.0; -250.0;   16;  -16;  256;   0; 25.37\r\n"},
      {"the highest battery reading kept", [](MeasurementState& m) { m.batteryMillivolts = 4200; },
       "7F;    0.0; -250.0;   16;  -16;  256;4200; 25.37\r\n"},
      {"655.35 degrees fills its column",
       [](MeasurementState& m) { m.temperatureCentidegrees = 0xFFFF; },
       "7F;    0.0; -250.0;   16;  -16;  256;3962;655.35\r\n"},
      {"wider values in full, halves away from zero",
       [](MeasurementState& m) {
         m.sampleTag = 0x0A;
         m.force1Grams = -1310700.25;
         m.force2Grams = 0.05;
         m.accelX = -32768;
         m.temperatureCentidegrees = -4000;
       },
       "0A;-1310700.3;    0.1;-32768;  -16;  256;3962;-40.00\r\n"},
  };
  for (const Case& c : cases) {
    MeasurementState m = example();
    c.change(m);
    EXPECT_EQ(rowOf(m), c.row) << c.what;
  }
}

// What the recorder showed, in order.
class RecordingView final : public RecorderView {
 public:
  QString fileNameText() const override { return name; }
  void showFileExists() override { shown << QStringLiteral("exists"); }
  void showRecording() override { shown << QStringLiteral("recording"); }
  void showFirstRow() override { shown << QStringLiteral("first row"); }
  void showStopped() override { shown << QStringLiteral("stopped"); }
  void showFailure(const QString& message) override { shown << message; }
  QString name = QStringLiteral("File Name");
  QStringList shown;
};

class RecorderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder.isValid());
    previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(folder.path()));
    recorder.setView(&view);
  }
  void TearDown() override {
    recorder.finish();
    QDir::setCurrent(previous);
  }
  QByteArray contents(const QString& name) const {
    QFile file(folder.filePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
  }
  // The i-th sample the test records: the example with accelX = i.
  static MeasurementState sampleNumber(int i) {
    MeasurementState m = example();
    m.accelX = static_cast<std::int16_t>(i);
    return m;
  }
  static QByteArray rowsOf(int first, int count) {
    std::string rows;
    for (int i = first; i < first + count; ++i) rows += rowOf(sampleNumber(i));
    return QByteArray::fromStdString(rows);
  }
  void samples(int count) {
    for (int i = 0; i < count; ++i) recorder.RecordSample(sampleNumber(sample++));
  }

  QTemporaryDir folder;
  QString previous;
  PosixAppendFile file;
  Recorder recorder{file};
  RecordingView view;
  int sample = 0;
};

TEST_F(RecorderTest, NSamplesBetweenStartAndStopAreNRows) {
  recorder.startLogClicked();
  EXPECT_EQ(recorder.state(), RecorderState::StartRequested);
  EXPECT_FALSE(QFile::exists(folder.filePath("File Name.csv"))) << "created with the next sample";
  samples(1);
  EXPECT_EQ(recorder.state(), RecorderState::Recording);
  EXPECT_EQ(view.shown, (QStringList{"recording", "first row"}));
  samples(4);
  recorder.endLogClicked();
  samples(1);  // closes, writes nothing
  EXPECT_EQ(recorder.state(), RecorderState::Idle);
  EXPECT_EQ(view.shown, (QStringList{"recording", "first row", "stopped"}));
  samples(3);

  EXPECT_EQ(contents("File Name.csv"), rowsOf(0, 5))
      << "from the sample that created the file to the one before the closing one";
  EXPECT_EQ(recorder.path(), QStringLiteral("./File Name.csv"));
}

TEST_F(RecorderTest, AnExistingFileIsRefusedAndLeftAlone) {
  {
    QFile existing(folder.filePath("File Name.csv"));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("keep me");
  }
  recorder.startLogClicked();
  samples(3);
  EXPECT_EQ(recorder.state(), RecorderState::Idle);
  EXPECT_EQ(view.shown, QStringList{"exists"});
  EXPECT_EQ(contents("File Name.csv"), QByteArray("keep me"));

  view.name = QStringLiteral("second");
  recorder.startLogClicked();
  samples(2);
  EXPECT_EQ(view.shown, (QStringList{"exists", "recording", "first row"}));
  recorder.finish();
  EXPECT_EQ(contents("second.csv"), rowsOf(3, 2));
}

TEST_F(RecorderTest, AFileThatCannotBeCreatedIsReportedOnce) {
  view.name = QStringLiteral("no such folder/x");
  recorder.startLogClicked();
  samples(3);
  EXPECT_EQ(recorder.state(), RecorderState::Idle);
  EXPECT_EQ(view.shown, QStringList{QStringLiteral(
                            "Cannot create file \"./no such folder/x.csv\". No such file or "
                            "directory")});
}

// A full disk, as a file size limit shows it: the write that passes the limit fails with EFBIG.
TEST_F(RecorderTest, AWriteErrorIsReportedOnceAndTheRecordingEnds) {
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit before{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
  const std::size_t rowSize = rowOf(example()).size();
  rlimit small = before;
  small.rlim_cur = static_cast<rlim_t>(rowSize * 3 + rowSize / 2);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);

  recorder.startLogClicked();
  samples(6);
  setrlimit(RLIMIT_FSIZE, &before);

  EXPECT_EQ(recorder.state(), RecorderState::Idle);
  ASSERT_EQ(view.shown.size(), 3) << view.shown.join('|').toStdString();
  EXPECT_EQ(view.shown[2],
            QStringLiteral("Cannot write to file \"./File Name.csv\". File too large"));
  EXPECT_FALSE(file.isOpen()) << "closed what could be closed";
  // The rows before the error are whole; the one that failed left at most its beginning.
  EXPECT_TRUE(contents("File Name.csv").startsWith(rowsOf(0, 3)));

  view.name = QStringLiteral("after");
  recorder.startLogClicked();
  samples(1);
  EXPECT_EQ(recorder.state(), RecorderState::Recording) << "a new start works again";
}

TEST_F(RecorderTest, FinishClosesWithoutAWord) {
  recorder.startLogClicked();
  samples(2);
  view.shown.clear();
  recorder.finish();
  EXPECT_TRUE(view.shown.isEmpty());
  EXPECT_FALSE(file.isOpen());
  EXPECT_EQ(recorder.state(), RecorderState::Idle);
  EXPECT_EQ(contents("File Name.csv"), rowsOf(0, 2));
}

// Every row is the system's as soon as it is written: a process killed in the middle of a
// recording, with no chance to close anything, leaves all of its rows in the file.
TEST_F(RecorderTest, AKilledProcessLosesNoRowItWrote) {
  constexpr int kRows = 500;
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    recorder.startLogClicked();
    samples(kRows);
    raise(SIGKILL);
    _exit(0);  // not reached
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(WTERMSIG(status), SIGKILL);
  EXPECT_EQ(contents("File Name.csv"), rowsOf(0, kRows));
}

}  // namespace
}  // namespace kelvaro

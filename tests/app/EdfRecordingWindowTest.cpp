// The EDF+ recording from the window: "Format" on "Scientific Tools", the file named from
// EditSoub with ".bdf", refused when it exists, the person's markers and the sessions in it, and
// --record's recording from the first plotted sample.
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "MainWindowTestSupport.h"
#include "app/pages/ActivityMonitorPage.h"
#include "edf/EdfReadBack.h"
#include "edf/EdfWriter.h"
#include "platform/AppendFile.h"

namespace kelvaro {
namespace {

using testing::find;
using testing::WindowHarness;

const QByteArray kValue = testing::bytes("00 00 7F 01 E8 03 F4 01 10 00 F0 FF 00 01 7A 0F");

class EdfRecordingWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder.isValid());
    previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(folder.path()));
    h.writeDarev("[users]\ncount=1\nusr1=Jan Novak\n");
    h.startAnswered();
    w = h.window.get();
    format = &find<QComboBox>(*w, "ComboLogFormat");
    start = &find<QPushButton>(*w, "ButtonStartLog");
    end = &find<QPushButton>(*w, "ButtonEndLog");
    status = &find<QLabel>(*w, "LabelErr");
    name = &find<QLineEdit>(*w, "EditSoub");
  }
  void TearDown() override {
    h.window.reset();
    QDir::setCurrent(previous);
  }
  // Notifications 50 ms apart on the window's clock.
  void notifications(int count) {
    for (int i = 0; i < count; ++i) {
      h.ticks.advance(50);
      h.port.inject(testing::notification(kValue));
    }
  }
  std::vector<std::string> texts(const QString& file) const {
    std::vector<std::string> all;
    for (const auto& a : testing::readWithEdflib(folder.filePath(file)).annotations) {
      all.push_back(a.text);
    }
    return all;
  }

  QTemporaryDir folder;
  QString previous;
  WindowHarness h;
  MainWindow* w = nullptr;
  QComboBox* format = nullptr;
  QPushButton* start = nullptr;
  QPushButton* end = nullptr;
  QLabel* status = nullptr;
  QLineEdit* name = nullptr;
};

TEST_F(EdfRecordingWindowTest, TheFormatIsCsvUntilEdfIsChosenAndStaysWhileARecordingRuns) {
  EXPECT_EQ(format->currentText(), QStringLiteral("CSV"));
  ASSERT_EQ(format->count(), 2);
  EXPECT_EQ(format->itemText(1), QStringLiteral("EDF+"));
  EXPECT_EQ(format->accessibleName(), QStringLiteral("Format"));
  EXPECT_EQ(find<QLabel>(*w, "LabelLogFormat").buddy(), format);

  notifications(11);
  format->setCurrentIndex(1);
  name->setText(QStringLiteral("night"));
  start->click();
  notifications(45);
  EXPECT_EQ(status->text(), QStringLiteral("OK"));
  EXPECT_FALSE(format->isEnabled());
  EXPECT_TRUE(end->isEnabled());
  EXPECT_FALSE(QFile::exists(folder.filePath(QStringLiteral("night.csv"))));
  end->click();
  EXPECT_EQ(status->text(), QStringLiteral("Stop")) << "closed at once";
  EXPECT_TRUE(format->isEnabled());

  const auto file = testing::readWithEdflib(folder.filePath(QStringLiteral("night.bdf")));
  ASSERT_EQ(file.filetype, EDFLIB_FILETYPE_BDFPLUS);
  EXPECT_EQ(file.records, 2);
  EXPECT_EQ(file.patient, "Jan Novak");
  EXPECT_EQ(file.recordingAdditional, "KELVARO monitor 3.24");
  ASSERT_EQ(file.signalList.size(), 7u);
  EXPECT_DOUBLE_EQ(file.signalList[2].physical[0], 16.0);
  EXPECT_DOUBLE_EQ(file.signalList[5].physical[0], 3.962);
}

TEST_F(EdfRecordingWindowTest, ASecondRecordingOnTheSameNameIsRefusedOnRed) {
  notifications(11);
  format->setCurrentIndex(1);
  name->setText(QStringLiteral("night"));
  start->click();
  notifications(25);
  end->click();
  const qint64 size = QFileInfo(folder.filePath(QStringLiteral("night.bdf"))).size();
  start->click();
  notifications(5);
  EXPECT_EQ(status->text(), QStringLiteral("Soubor existuje"));
  EXPECT_EQ(status->palette().color(QPalette::Window), QColor(255, 0, 0));
  EXPECT_TRUE(start->isEnabled());
  EXPECT_EQ(QFileInfo(folder.filePath(QStringLiteral("night.bdf"))).size(), size);
}

TEST_F(EdfRecordingWindowTest, MarkersAndSessionsOfTheWindowAreInTheRecording) {
  notifications(11);
  format->setCurrentIndex(1);
  start->click();
  notifications(10);
  find<QLineEdit>(*w, "EditMarker").setText(QStringLiteral("coughed"));
  find<QPushButton>(*w, "ButtonMarker").click();
  notifications(10);
  w->pages().activityMonitor->sessionStartButton->click();
  notifications(30);
  w->pages().activityMonitor->sessionStopButton->click();
  notifications(10);
  end->click();
  EXPECT_EQ(
      texts(QStringLiteral("File Name.bdf")),
      (std::vector<std::string>{"Recording start", "Marker: coughed", "Session start Jan Novak",
                                "Session stop Jan Novak", "Recording stop"}));
  const auto file = testing::readWithEdflib(folder.filePath(QStringLiteral("File Name.bdf")));
  ASSERT_EQ(file.annotations.size(), 5u);
  EXPECT_NEAR(file.annotations[1].onsetSeconds, 0.45, 1e-3) << "after ten samples";
  EXPECT_NEAR(file.annotations[2].onsetSeconds, 0.95, 1e-3);
  EXPECT_NEAR(file.annotations[3].onsetSeconds, 2.45, 1e-3);
}

TEST_F(EdfRecordingWindowTest, TheCommandLinesRecordingStartsAtTheFirstPlottedSample) {
  EXPECT_FALSE(w->recordAtFirstSample(QStringLiteral("x.edf")));
  ASSERT_TRUE(w->recordAtFirstSample(folder.filePath(QStringLiteral("cli.bdf"))));
  EXPECT_EQ(format->currentText(), QStringLiteral("EDF+"));
  notifications(11);
  EXPECT_FALSE(QFile::exists(folder.filePath(QStringLiteral("cli.bdf")))) << "nothing plotted yet";
  notifications(40);
  w->close();
  const auto file = testing::readWithEdflib(folder.filePath(QStringLiteral("cli.bdf")));
  ASSERT_EQ(file.filetype, EDFLIB_FILETYPE_BDFPLUS) << "closed with the window";
  EXPECT_EQ(file.records, 2);

  ASSERT_TRUE(w->recordAtFirstSample(folder.filePath(QStringLiteral("cli.csv"))));
  EXPECT_EQ(format->currentText(), QStringLiteral("CSV"));
}

TEST(EdfRepairAtStart, ARecordingAKilledRunLeftInTheFolderIsRepairedAndSaidSo) {
  QTemporaryDir folder;
  const QString previous = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(folder.path()));
  {
    // A recording as a killed run leaves it: two whole records, the header's count not written.
    PosixAppendFile reservation;
    edf::EdfWriter writer(reservation);
    ASSERT_EQ(writer.open(QStringLiteral("night.bdf"), {}, QDateTime::currentDateTime(),
                          Calibration{}, nullptr),
              edf::EdfWriter::Opened::kYes);
    for (std::uint32_t i = 0; i < 45; ++i) writer.addSample(MeasurementState{}, i * 50, nullptr);
    QFile from(QStringLiteral("night.bdf"));
    ASSERT_TRUE(from.open(QIODevice::ReadOnly));
    QFile cut(QStringLiteral("cut.bdf"));
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(from.readAll());
  }
  ASSERT_TRUE(QFile::remove(QStringLiteral("night.bdf")));
  {
    WindowHarness h;
    h.startAnswered();
    EXPECT_TRUE(h.window->core().console().lines().contains(
        QStringLiteral("Repaired ./cut.bdf: 2 whole data records kept")));
  }
  EXPECT_EQ(testing::readWithEdflib(folder.filePath(QStringLiteral("cut.bdf"))).records, 2);
  QDir::setCurrent(previous);
}

}  // namespace
}  // namespace kelvaro

#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

#include "edf/EdfRecorder.h"
#include "measure/Recorder.h"
#include "platform/AppendFile.h"

namespace kelvaro {

class LiveGraphPage;
class MonitorCore;
class TickSource;
class WallClock;

// The measurement log's controls on "Live Graph" → "Scientific Tools": the file name EditSoub,
// the "Format" choice ("CSV", the program's own measurement record, or "EDF+", a BDF+
// recording with the run's events), "Start Log" and "EndLog", and the status LabelErr. The CSV
// recorder is the core's; the EDF+ recorder is this panel's, a consumer of the core's road.
// Either takes the name from EditSoub and adds its extension (".csv", ".bdf"), refuses an
// existing file, and starts with the next plotted sample; the format stays chosen while a
// recording runs. An input/output error goes to the general error report once the notification
// that met it has been handled: a message box opened inside the road would let the port's next
// bytes in halfway through it.
class RecorderPanel final : public QObject, public RecorderView {
  Q_OBJECT

 public:
  using ReportError = std::function<void(const QString&)>;

  enum class Format { Csv = 0, Edf = 1 };

  struct Parts {
    LiveGraphPage& page;
    MonitorCore& core;  // its CSV recorder, its road for the EDF+ one
    const WallClock& clock;
    const TickSource& ticks;
    // The header's user, belt and program of an EDF+ recording, when it starts.
    std::function<edf::RecordingIdentity()> identity;
    ReportError reportError;
  };

  // Registers the EDF+ recorder with the core, which must outlive the panel.
  explicit RecorderPanel(Parts parts, QObject* parent = nullptr);
  ~RecorderPanel() override;

  // The format a path's extension names: ".csv" or ".bdf"; none for anything else.
  static std::optional<Format> formatOf(const QString& path);
  // A recording into `path` (the command line's), in the format of its extension, from the next
  // plotted sample on. False when the extension names no format.
  bool recordTo(const QString& path);
  // The program ends: a running recording of either format is closed.
  void finish();

  EdfRecorder& edfRecorder() { return edf_; }

  QString fileNameText() const override;
  void showFileExists() override;
  void showRecording() override;
  void showFirstRow() override;
  void showStopped() override;
  void showFailure(const QString& message) override;

 private:
  void startClicked();
  void endClicked();
  void setStatus(const QString& text);
  void setStatusRed(bool red);
  void setFormatChoosable(bool choosable);

  Parts parts_;
  PosixAppendFile edfReservation_;
  EdfRecorder edf_;
  Format running_ = Format::Csv;
};

}  // namespace kelvaro

#pragma once

#include <QFileDialog>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

class QCheckBox;

namespace kelvaro {

class CaptureWriter;
class ConsoleLog;
class WallClock;

// SaveDialogCapture: where a capture goes. Qt's own dialog, so that it asks before replacing a
// file on every desktop; a name typed without an extension gets ".capture".
class CaptureSaveDialog final : public QFileDialog {
  Q_OBJECT

 public:
  CaptureSaveDialog(QWidget* parent, const QString& folder, const QString& name);
};

// The "Capture" box beside "Log" on the diagnostics page: ticked, it asks where to save and
// captures every byte read from the dongle's port and every command written to it into that file
// (docs/capture-format.md); unticked, the file is flushed, synced and closed. The box shows
// whether a capture runs, also one started from the command line. A file that cannot be created,
// or an input/output error while writing, is reported once and the box is unticked; the run goes
// on. Each start and end leaves a line on the console.
class CapturePanel final : public QObject {
  Q_OBJECT

 public:
  using ReportError = std::function<void(const QString&)>;
  // Asks for the capture's file, starting in `folder` with the name `name`; nothing on cancel.
  // The answer is the file to write; one that exists is replaced (the dialog asked).
  using AskSavePath =
      std::function<std::optional<QString>(const QString& folder, const QString& name)>;

  // `program` names the program in the capture's first line ("kelvaro-monitor/3.24"). All must
  // outlive the panel.
  CapturePanel(QCheckBox& box, CaptureWriter& writer, ConsoleLog& console, const WallClock& clock,
               QString program, ReportError reportError, QObject* parent = nullptr);
  ~CapturePanel() override;

  // What asks for the file instead of SaveDialogCapture (empty: back to it).
  void setAskSavePath(AskSavePath ask) { ask_ = std::move(ask); }

  // Starts a capture into `path`, which must not exist (--capture=FILE); false with the reason.
  bool start(const QString& path, QString* reason);
  // The run ends: a running capture is flushed, synced and closed, with its line on the console.
  void finish();

 private:
  void boxToggled(bool on);
  // Ends a running capture; the reason when its file did not close cleanly.
  QString end();
  std::optional<QString> askWithDialog(const QString& folder, const QString& name) const;
  void showCapturing(bool on);
  void failed(const QString& message);

  QCheckBox& box_;
  CaptureWriter& writer_;
  ConsoleLog& console_;
  const WallClock& clock_;
  QString program_;
  ReportError reportError_;
  AskSavePath ask_;
  QString folder_;  // where the last capture went; the dialog starts there
};

}  // namespace kelvaro

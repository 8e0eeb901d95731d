#pragma once

#include <QObject>
#include <functional>

#include "measure/Recorder.h"

namespace kelvaro {

class LiveGraphPage;

// The measurement log's controls on "Live Graph" → "Scientific Tools": the file name EditSoub,
// "Start Log" and "EndLog" (they place a request; the recorder acts on it with the next plotted
// sample) and the status LabelErr. An input/output error goes to the general error report once
// the notification that met it has been handled: a message box opened inside the road would let
// the port's next bytes in halfway through it.
class RecorderPanel final : public QObject, public RecorderView {
  Q_OBJECT

 public:
  using ReportError = std::function<void(const QString&)>;

  RecorderPanel(LiveGraphPage& page, Recorder& recorder, ReportError reportError,
                QObject* parent = nullptr);
  ~RecorderPanel() override;

  QString fileNameText() const override;
  void showFileExists() override;
  void showRecording() override;
  void showFirstRow() override;
  void showStopped() override;
  void showFailure(const QString& message) override;

 private:
  void setStatus(const QString& text);
  void setStatusRed(bool red);

  LiveGraphPage& page_;
  Recorder& recorder_;
  ReportError reportError_;
};

}  // namespace kelvaro

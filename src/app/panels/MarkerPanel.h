#pragma once

#include <QObject>

class QShortcut;
class QWidget;

namespace kelvaro {

class LiveChart;
class LiveGraphPage;
class MonitorCore;

// A person's marker: "Marker" on "Live Graph", or F9 on any page of the window, with the text of
// "Marker text" (empty: a plain marker). At that moment: a thin vertical line with the text on
// the live chart, an event for the core's consumers (an EDF+ recording writes it) and a line on
// the console, "Marker" or "Marker: <text>". The text stays for the next one.
class MarkerPanel final : public QObject {
  Q_OBJECT

 public:
  static constexpr int kShortcutKey = Qt::Key_F9;

  // `window` is where F9 works, on whichever page has the focus; all must outlive the panel.
  MarkerPanel(MonitorCore& core, LiveGraphPage& page, LiveChart& chart, QWidget& window,
              QObject* parent = nullptr);

  void mark();

 private:
  MonitorCore& core_;
  LiveGraphPage& page_;
  LiveChart& chart_;
  QShortcut* shortcut_;
};

}  // namespace kelvaro

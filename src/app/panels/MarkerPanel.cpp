#include "app/panels/MarkerPanel.h"

#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>

#include "app/pages/LiveGraphPage.h"
#include "monitor/MonitorCore.h"
#include "widgets/LiveChart.h"

namespace kelvaro {

MarkerPanel::MarkerPanel(MonitorCore& core, LiveGraphPage& page, LiveChart& chart, QWidget& window,
                         QObject* parent)
    : QObject(parent),
      core_(core),
      page_(page),
      chart_(chart),
      shortcut_(new QShortcut(QKeySequence(kShortcutKey), &window)) {
  shortcut_->setContext(Qt::WindowShortcut);
  // A key held down is one marker, not twenty a second.
  shortcut_->setAutoRepeat(false);
  connect(shortcut_, &QShortcut::activated, this, &MarkerPanel::mark);
  connect(page_.markerButton, &QPushButton::clicked, this, &MarkerPanel::mark);
}

void MarkerPanel::mark() {
  const QString text = page_.markerTextEdit->text().trimmed();
  chart_.addMarker(text);
  core_.noteEvent(MonitorEventKind::Marker, text);
  core_.console().append(text.isEmpty() ? QStringLiteral("Marker")
                                        : QStringLiteral("Marker: ") + text);
}

}  // namespace kelvaro

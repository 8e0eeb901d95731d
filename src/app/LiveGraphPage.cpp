#include "app/LiveGraphPage.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/Widgets.h"
#include "widgets/ReadoutLabel.h"
#include "widgets/ShapeIndicator.h"

namespace kelvaro::ui {
namespace {

constexpr int kButtonWidth = 130;
constexpr int kButtonHeight = 35;

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption) {
  return button(parent, name, caption, QSize(kButtonWidth, kButtonHeight));
}

// A value shown beside its caption: assistive tools read the value, described by the caption.
ReadoutLabel* makeReadout(QWidget* parent, const char* name, const QLabel* caption,
                          const QString& text, qreal pointSize) {
  auto* value = named(new ReadoutLabel(text, parent), name, caption->text());
  QFont font;
  font.setPointSizeF(pointSize);
  value->setFont(font);
  value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  // A fixed size: the value changes with every notification, and a label whose size hint moved
  // would make the page lay itself out again and the chart above it repaint in full.
  const QFontMetrics metrics(value->font());
  value->setFixedSize(metrics.horizontalAdvance(QStringLiteral("-000000")), metrics.height() + 4);
  // Opaque, so that a new value repaints the label alone and not the pages beneath it.
  value->setAutoFillBackground(true);
  return value;
}

// The cursor fields show what the chart computes; typing into them would mean nothing.
QLineEdit* makeOutputField(QWidget* parent, const char* name, const QString& text,
                           const QString& accessible) {
  auto* edit = named(new QLineEdit(text, parent), name, accessible);
  edit->setReadOnly(true);
  edit->setMinimumWidth(150);
  return edit;
}

}  // namespace

LiveGraphPage::LiveGraphPage(QWidget* parent) : QWidget(parent) {
  layout_ = new QVBoxLayout(this);
  layout_->setContentsMargins(4, 4, 4, 4);
  layout_->setSpacing(4);

  // Above the chart while the belt is out of reach.
  LabelLinkLost = named(new QLabel(this), "LabelLinkLost");
  LabelLinkLost->setAlignment(Qt::AlignCenter);
  LabelLinkLost->setAutoFillBackground(true);
  QPalette amber = LabelLinkLost->palette();
  amber.setColor(QPalette::Window, QColor(0xFF, 0xD5, 0x4F));
  amber.setColor(QPalette::WindowText, Qt::black);
  LabelLinkLost->setPalette(amber);
  QFont bold = LabelLinkLost->font();
  bold.setBold(true);
  bold.setPointSizeF(bold.pointSizeF() * 1.3);
  LabelLinkLost->setFont(bold);
  LabelLinkLost->setMargin(6);
  LabelLinkLost->hide();
  layout_->addWidget(LabelLinkLost);

  Chart1 = new QWidget(this);
  Chart1->setObjectName(QStringLiteral("Chart1"));
  Chart1->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  Chart1->setMinimumHeight(200);
  layout_->addWidget(Chart1, 1);

  LowerPages = new QTabWidget(this);
  LowerPages->setObjectName(QStringLiteral("LowerPages"));
  TabStandard = buildStandard();
  TabScientificTools = buildScientificTools();
  LowerPages->addTab(TabStandard, QStringLiteral("Standard"));
  LowerPages->addTab(TabScientificTools, QStringLiteral("Scientific Tools"));
  LowerPages->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);

  CheckBoxFreeze =
      named(new QCheckBox(QStringLiteral("Graph Freeze"), LowerPages), "CheckBoxFreeze");
  CheckBoxFreeze->setContentsMargins(0, 0, 8, 0);
  LowerPages->setCornerWidget(CheckBoxFreeze, Qt::TopRightCorner);
  layout_->addWidget(LowerPages);

  setTabOrder(LowerPages, CheckBoxFreeze);
  setTabOrder(CheckBoxFreeze, Button2);
  setTabOrder(Button2, Button6);
  setTabOrder(Button6, Button19);
  setTabOrder(Button19, Button4);
  setTabOrder(Button4, Button20);
  setTabOrder(Button20, EditSoub);
  setTabOrder(EditSoub, ButtonStartLog);
  setTabOrder(ButtonStartLog, ButtonEndLog);
  setTabOrder(ButtonEndLog, EditPosY);
  setTabOrder(EditPosY, EditPosX);
  setTabOrder(EditPosX, Edit8);
  setTabOrder(Edit8, Edit7);
}

void LiveGraphPage::replaceChart(QWidget* chart) {
  if (chart == nullptr || chart == Chart1) return;
  chart->setParent(this);
  chart->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  delete layout_->replaceWidget(Chart1, chart);
  Chart1->deleteLater();
  Chart1 = chart;
  Chart1->show();
}

QWidget* LiveGraphPage::buildStandard() {
  auto* tab = new QWidget;
  tab->setObjectName(QStringLiteral("TabStandard"));
  // Two rows: actions on the left, read-outs in caption/value pairs, the indicators, and
  // "Disconnect" on its own at the right edge.
  auto* grid = new QGridLayout(tab);
  grid->setContentsMargins(10, 10, 10, 10);
  grid->setHorizontalSpacing(12);
  grid->setVerticalSpacing(10);

  Button2 = makeButton(tab, "Button2", QStringLiteral("Print"));
  Button6 = makeButton(tab, "Button6", QStringLiteral("WMF"));
  Button19 = makeButton(tab, "Button19", QStringLiteral("Zero Force 1"));
  Button4 = makeButton(tab, "Button4", QStringLiteral("Zero Force 2"));
  grid->addWidget(Button2, 0, 0);
  grid->addWidget(Button6, 1, 0);
  grid->addWidget(Button19, 0, 1);
  grid->addWidget(Button4, 1, 1);
  grid->setColumnMinimumWidth(2, 12);

  LabelForce1 = named(new QLabel(QStringLiteral("Force 1"), tab), "LabelForce1");
  LabelForce2 = named(new QLabel(QStringLiteral("Force 2"), tab), "LabelForce2");
  LabelF1 = makeReadout(tab, "LabelF1", LabelForce1, QStringLiteral("000"), 16);
  LabelF2 = makeReadout(tab, "LabelF2", LabelForce2, QStringLiteral("000"), 16);
  grid->addWidget(LabelForce1, 0, 3);
  grid->addWidget(LabelF1, 0, 4);
  grid->addWidget(LabelForce2, 1, 3);
  grid->addWidget(LabelF2, 1, 4);
  LabelBreathing = named(new QLabel(QStringLiteral("Breaths/min"), tab), "LabelBreathing");
  LabelRate = makeReadout(tab, "LabelRate", LabelBreathing, QStringLiteral("---"), 12);
  grid->addWidget(LabelBreathing, 2, 3);
  grid->addWidget(LabelRate, 2, 4);
  grid->setColumnMinimumWidth(5, 12);

  LabelCurrentActivity =
      named(new QLabel(QStringLiteral("Current Belt Activity"), tab), "LabelCurrentActivity");
  LabelAvgActivity =
      named(new QLabel(QStringLiteral("Avg Session Activity"), tab), "LabelAvgActivity");
  LabelActF10 = makeReadout(tab, "LabelActF10", LabelCurrentActivity, QStringLiteral("---"), 12);
  LabelActivityFAvg =
      makeReadout(tab, "LabelActivityFAvg", LabelAvgActivity, QStringLiteral("---"), 12);
  grid->addWidget(LabelCurrentActivity, 0, 6);
  grid->addWidget(LabelActF10, 0, 7);
  grid->addWidget(LabelAvgActivity, 1, 6);
  grid->addWidget(LabelActivityFAvg, 1, 7);
  grid->setColumnMinimumWidth(8, 12);

  LabelKeyActivation =
      named(new QLabel(QStringLiteral("Key Activation"), tab), "LabelKeyActivation");
  Shape1 = named(new ShapeIndicator(ShapeIndicator::Shape::Circle, tab), "Shape1",
                 LabelKeyActivation->text());
  auto* key = new QHBoxLayout;
  key->setSpacing(10);
  key->addWidget(LabelKeyActivation);
  key->addWidget(Shape1);
  key->addStretch(1);
  grid->addLayout(key, 0, 9);

  LabelBattery = named(new QLabel(QStringLiteral("Battery"), tab), "LabelBattery");
  Gauge1 = named(new QProgressBar(tab), "Gauge1", LabelBattery->text());
  Gauge1->setRange(0, 100);
  Gauge1->setValue(0);
  Gauge1->setTextVisible(true);
  Gauge1->setFormat(QStringLiteral("%p%"));
  Gauge1->setMinimumWidth(150);
  LabelBattery->setBuddy(Gauge1);
  auto* battery = new QVBoxLayout;
  battery->setSpacing(2);
  battery->addWidget(LabelBattery);
  battery->addWidget(Gauge1);
  grid->addLayout(battery, 1, 9);

  grid->setColumnStretch(10, 1);
  Button20 = named(new QPushButton(QStringLiteral("Disconnect"), tab), "Button20");
  Button20->setMinimumSize(150, 55);
  grid->addWidget(Button20, 0, 11, 2, 1, Qt::AlignVCenter);
  return tab;
}

QWidget* LiveGraphPage::buildScientificTools() {
  auto* tab = new QWidget;
  tab->setObjectName(QStringLiteral("TabScientificTools"));
  auto* row = new QHBoxLayout(tab);
  row->setContentsMargins(10, 6, 10, 6);
  row->setSpacing(16);

  GroupLog = named(new QGroupBox(QStringLiteral("Measurement Log"), tab), "GroupLog",
                   QStringLiteral("Measurement Log"));
  auto* log = new QGridLayout(GroupLog);
  log->setSpacing(8);
  EditSoub = named(new QLineEdit(QStringLiteral("File Name"), GroupLog), "EditSoub",
                   QStringLiteral("File Name"));
  EditSoub->setMinimumWidth(160);
  ButtonStartLog = makeButton(GroupLog, "ButtonStartLog", QStringLiteral("Start Log"));
  ButtonEndLog = makeButton(GroupLog, "ButtonEndLog", QStringLiteral("EndLog"));
  ButtonEndLog->setEnabled(false);
  LabelErr = named(new QLabel(QStringLiteral("-"), GroupLog), "LabelErr", tr("Log status"));
  // The status turns red when the file already exists; the window changes only the palette.
  LabelErr->setAutoFillBackground(true);
  LabelErr->setAlignment(Qt::AlignCenter);
  LabelErr->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  LabelErr->setMinimumWidth(150);
  log->addWidget(EditSoub, 0, 0);
  log->addWidget(LabelErr, 1, 0);
  log->addWidget(ButtonStartLog, 0, 1);
  log->addWidget(ButtonEndLog, 1, 1);
  row->addWidget(GroupLog);

  const auto measureGroup = [tab](const char* name, const QString& title, const QString& first,
                                  QLineEdit* firstField, const QString& second,
                                  QLineEdit* secondField) {
    auto* group = named(new QGroupBox(title, tab), name, title);
    auto* form = new QFormLayout(group);
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    firstField->setParent(group);
    secondField->setParent(group);
    form->addRow(first, firstField);
    form->addRow(second, secondField);
    return group;
  };
  EditPosY =
      makeOutputField(tab, "EditPosY", QStringLiteral("EditPosY"), QStringLiteral("Force Value"));
  EditPosX =
      makeOutputField(tab, "EditPosX", QStringLiteral("EditPosX"), QStringLiteral("Time Value"));
  Edit8 = makeOutputField(tab, "Edit8", QStringLiteral("Y"), QStringLiteral("Force Delta"));
  Edit7 = makeOutputField(tab, "Edit7", QStringLiteral("Cas"), QStringLiteral("Time Delta"));
  GroupCursor =
      measureGroup("GroupCursor", QStringLiteral("Graph Cursor Measurement"),
                   QStringLiteral("Force Value"), EditPosY, QStringLiteral("Time Value"), EditPosX);
  GroupClick =
      measureGroup("GroupClick", QStringLiteral("Click Graph to Measure"),
                   QStringLiteral("Force Delta"), Edit8, QStringLiteral("Time Delta"), Edit7);
  row->addWidget(GroupCursor);
  row->addWidget(GroupClick);
  row->addStretch(1);
  return tab;
}

}  // namespace kelvaro::ui

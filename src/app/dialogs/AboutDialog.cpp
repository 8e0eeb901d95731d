#include "app/dialogs/AboutDialog.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/AppInfo.h"
#include "app/Widgets.h"

static void initAboutPictures() { Q_INIT_RESOURCE(dialog_pictures); }

namespace kelvaro {
namespace {

constexpr QSize kIconSize(80, 70);

}  // namespace

AboutBox::AboutBox(QWidget* parent) : QDialog(parent) {
  initAboutPictures();
  setWindowTitle(QStringLiteral("About"));
  setObjectName(QStringLiteral("TAboutBox"));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setFont(QFont(QStringLiteral("MS Sans Serif")));

  framePanel = named(new QFrame(this), "Panel1");
  // Lowered outside, raised inside: the groove of a bevelled panel.
  framePanel->setFrameShape(QFrame::Box);
  framePanel->setFrameShadow(QFrame::Sunken);

  productNameLabel = named(new QLabel(AppInfo::productName(), framePanel), "ProductName");
  versionLabel = named(new QLabel(AppInfo::versionText(), framePanel), "Version");

  programIcon = named(new QLabel(framePanel), "ProgramIcon");
  // A picture has no text of its own to be read.
  programIcon->setAccessibleName(QStringLiteral("Program picture"));
  programIcon->setFixedSize(kIconSize);
  // The 32 x 32 picture is stretched to the control, as the box was designed; without smoothing,
  // so that its pixels stay crisp.
  const qreal ratio = devicePixelRatioF();
  QPixmap icon(QStringLiteral(":/dialogs/program_icon.png"));
  icon = icon.scaled(kIconSize * ratio, Qt::IgnoreAspectRatio, Qt::FastTransformation);
  icon.setDevicePixelRatio(ratio);
  programIcon->setPixmap(icon);

  auto* panel = new QGridLayout(framePanel);
  panel->setContentsMargins(14, 14, 14, 14);
  panel->setVerticalSpacing(8);
  panel->addWidget(productNameLabel, 0, 0, Qt::AlignLeft);
  panel->addWidget(versionLabel, 1, 0, Qt::AlignLeft);
  panel->setRowMinimumHeight(2, 24);
  panel->addWidget(programIcon, 3, 1, Qt::AlignRight | Qt::AlignBottom);
  panel->setRowStretch(2, 1);
  panel->setColumnStretch(0, 1);
  panel->setColumnMinimumWidth(0, 150);

  okButton = named(new QPushButton(QStringLiteral("OK"), this), "OKButton");
  okButton->setDefault(true);
  okButton->setMinimumSize(92, 30);
  connect(okButton, &QPushButton::clicked, this, &QDialog::accept);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(okButton);
  buttons->addStretch(1);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 10);
  layout->addWidget(framePanel, 1);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace kelvaro

#include "app/dialogs/DongleNotFoundDialog.h"

#include "app/shell/ErrorReportingApplication.h"

#include <QFile>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>
#include <utility>

#include "app/Widgets.h"
#include "app/dialogs/ComSetupDialog.h"
#include "app/dialogs/SerialPortListDialog.h"
#include "platform/JpegDecoder.h"

// Resources of a static library are linked only when something refers to them.
static void initDialogPictures() { Q_INIT_RESOURCE(dialog_pictures); }

namespace kelvaro {
namespace {

// Where the picture is shown, in device-independent pixels; it keeps its proportions inside.
constexpr QSize kPictureBox(540, 360);

}  // namespace

QStringList TErrorDlg::helpLines() {
  // "Ports (COM&&LPT)" shows with one ampersand; the opening quote is never closed.
  return {
      QStringLiteral("KELVARO Monitor App cannot find the Bluetooth Dongle!"),
      QStringLiteral(" "),
      QStringLiteral("Troubleshooting:"),
      QStringLiteral(" "),
      QStringLiteral("1. Is the dongle inserted into the USB port?"),
      QStringLiteral(" "),
      QStringLiteral("2. Windows 7 users: did you install drivers?"),
      QStringLiteral("    For driver installation, please see instructions."),
      QStringLiteral("    Windows 10 users: no need to install drivers."),
      QStringLiteral(" "),
      QStringLiteral("3. COM port needs to be manually selected:"),
      QStringLiteral(" "),
      QStringLiteral(" a. Remove the dongle from USB port."),
      QStringLiteral(" b. Open the Device manager by bellow button. "),
      QStringLiteral("    Click on and expand \"Ports (COM&LPT) "),
      QStringLiteral(" c. Insert the dongle and see the COM-number to pop up. "),
      QStringLiteral("    as per the image on the right "),
      QStringLiteral(" d. Set COM Port manually with the bellow button"),
      QStringLiteral(" e. Click OK and start the app again"),
  };
}

QImage dongleLocationPicture(QString* error) {
  initDialogPictures();
  QFile file(QStringLiteral(":/dialogs/dongle_port.jpg"));
  if (!file.open(QIODevice::ReadOnly)) {
    if (error) *error = file.errorString();
    return QImage();
  }
  const QByteArray bytes = file.readAll();
  const std::optional<JpegImage> decoded = JpegDecoder::decode(bytes, error);
  if (!decoded) return QImage();
  const QImage view(decoded->rgb.data(), decoded->width, decoded->height, decoded->width * 3,
                    QImage::Format_RGB888);
  return view.copy();
}

TErrorDlg::TErrorDlg(const PortCatalog& catalog, EditPortSettingsAction editPortSettings,
                     QWidget* parent)
    : QDialog(parent), catalog_(catalog), editPortSettings_(std::move(editPortSettings)) {
  setWindowTitle(QStringLiteral("Error"));
  setObjectName(QStringLiteral("TErrorDlg"));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);

  helpFrame = named(new QFrame(this), "Bevel1");
  helpFrame->setFrameShape(QFrame::Box);
  helpFrame->setFrameShadow(QFrame::Sunken);

  helpText = named(new QLabel(helpLines().join(u'\n'), helpFrame), "Label1");
  helpText->setTextFormat(Qt::PlainText);
  helpText->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  QFont bold(QStringLiteral("Tahoma"));
  bold.setBold(true);
  helpText->setFont(bold);

  portPicture = named(new QLabel(helpFrame), "Image1");
  portPicture->setAlignment(Qt::AlignCenter);
  QString pictureError;
  const QImage picture = dongleLocationPicture(&pictureError);
  if (picture.isNull()) {
    portPicture->setText(QStringLiteral("(picture not available: %1)").arg(pictureError));
    portPicture->setWordWrap(true);
    portPicture->setFixedWidth(kPictureBox.width());
  } else {
    // Scaled once for the screen's density, so that the picture stays sharp on any display.
    const qreal ratio = devicePixelRatioF();
    QPixmap pixmap = QPixmap::fromImage(
        picture.scaled(kPictureBox * ratio, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    pixmap.setDevicePixelRatio(ratio);
    portPicture->setPixmap(pixmap);
    // A picture has no text of its own to be read; this says what it shows.
    portPicture->setAccessibleName(QStringLiteral("Where the serial port list shows the dongle"));
    portPicture->setFixedSize(pixmap.deviceIndependentSize().toSize());
  }
  if (!portPicture->accessibleName().isEmpty())
    portPicture->setToolTip(portPicture->accessibleName());

  openDeviceManagerButton =
      named(new QPushButton(QStringLiteral("Open Device Manager"), helpFrame), "Button1");
  setComPortButton =
      named(new QPushButton(QStringLiteral("Set Com Port"), helpFrame), "ButtonSetCom");
  setComPortButton->setToolTip(QStringLiteral("Close and open program after changes"));
  for (QPushButton* button : {openDeviceManagerButton, setComPortButton})
    button->setMinimumSize(190, 35);
  connect(openDeviceManagerButton, &QPushButton::clicked, this,
          &TErrorDlg::openDeviceManagerClicked);
  connect(setComPortButton, &QPushButton::clicked, this, &TErrorDlg::setComPortClicked);

  okButton = named(new QPushButton(QStringLiteral("OK"), this), "OKBtn");
  okButton->setDefault(true);
  okButton->setMinimumWidth(94);
  connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
  cancelButton = named(new QPushButton(QStringLiteral("Cancel"), this), "CancelBtn");
  helpButton = named(new QPushButton(QStringLiteral("&Help"), this), "HelpBtn");
  cancelButton->hide();
  helpButton->hide();
  connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);

  auto* content = new QHBoxLayout;
  content->setSpacing(36);
  content->addWidget(helpText, 0, Qt::AlignTop);
  content->addWidget(portPicture, 0, Qt::AlignTop);

  auto* tools = new QHBoxLayout;
  tools->addWidget(openDeviceManagerButton);
  tools->addWidget(setComPortButton);
  tools->addStretch(1);

  auto* inside = new QVBoxLayout(helpFrame);
  inside->setContentsMargins(28, 24, 24, 16);
  inside->setSpacing(18);
  inside->addLayout(content);
  inside->addStretch(1);
  inside->addLayout(tools);

  auto* bottom = new QHBoxLayout;
  bottom->addStretch(1);
  bottom->addWidget(okButton);
  bottom->addWidget(cancelButton);
  bottom->addWidget(helpButton);
  bottom->addStretch(1);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(helpFrame);
  layout->addLayout(bottom);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  setTabOrder(openDeviceManagerButton, setComPortButton);
  setTabOrder(setComPortButton, okButton);
}

void TErrorDlg::openDeviceManagerClicked() {
  SerialPortListDialog list(catalog_, this);
  list.exec();
}

void TErrorDlg::setComPortClicked() {
  if (editPortSettings_) editPortSettings_(this);
}

void showDongleNotFoundDialog(QWidget* parent, const PortCatalog& catalog,
                              PortSelection& selection) {
  TErrorDlg dialog(
      catalog,
      [&](QWidget* over) {
        // Reported here: an error must not travel through the button's signal.
        try {
          EditPortSettings(over, catalog, selection);
        } catch (const std::exception& e) {
          showErrorMessage(QString::fromUtf8(e.what()));
        }
      },
      parent);
  dialog.exec();
}

}  // namespace kelvaro

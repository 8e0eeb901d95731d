#include "app/DongleNotFoundDialog.h"

#include "app/ErrorReportingApplication.h"

#include <QFile>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>
#include <utility>

#include "app/ComSetupDialog.h"
#include "app/SerialPortListDialog.h"
#include "app/Widgets.h"
#include "platform/JpegDecoder.h"

// Resources of a static library are linked only when something refers to them.
static void initDialogPictures() { Q_INIT_RESOURCE(dialog_pictures); }

namespace kelvaro::ui {
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

  Bevel1 = named(new QFrame(this), "Bevel1");
  Bevel1->setFrameShape(QFrame::Box);
  Bevel1->setFrameShadow(QFrame::Sunken);

  Label1 = named(new QLabel(helpLines().join(u'\n'), Bevel1), "Label1");
  Label1->setTextFormat(Qt::PlainText);
  Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  QFont bold(QStringLiteral("Tahoma"));
  bold.setBold(true);
  Label1->setFont(bold);

  Image1 = named(new QLabel(Bevel1), "Image1");
  Image1->setAlignment(Qt::AlignCenter);
  QString pictureError;
  const QImage picture = dongleLocationPicture(&pictureError);
  if (picture.isNull()) {
    Image1->setText(QStringLiteral("(picture not available: %1)").arg(pictureError));
    Image1->setWordWrap(true);
    Image1->setFixedWidth(kPictureBox.width());
  } else {
    // Scaled once for the screen's density, so that the picture stays sharp on any display.
    const qreal ratio = devicePixelRatioF();
    QPixmap pixmap = QPixmap::fromImage(
        picture.scaled(kPictureBox * ratio, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    pixmap.setDevicePixelRatio(ratio);
    Image1->setPixmap(pixmap);
    // A picture has no text of its own to be read; this says what it shows.
    Image1->setAccessibleName(QStringLiteral("Where the serial port list shows the dongle"));
    Image1->setFixedSize(pixmap.deviceIndependentSize().toSize());
  }
  if (!Image1->accessibleName().isEmpty()) Image1->setToolTip(Image1->accessibleName());

  Button1 = named(new QPushButton(QStringLiteral("Open Device Manager"), Bevel1), "Button1");
  ButtonSetCom = named(new QPushButton(QStringLiteral("Set Com Port"), Bevel1), "ButtonSetCom");
  ButtonSetCom->setToolTip(QStringLiteral("Close and open program after changes"));
  for (QPushButton* button : {Button1, ButtonSetCom}) button->setMinimumSize(190, 35);
  connect(Button1, &QPushButton::clicked, this, &TErrorDlg::Button1Click);
  connect(ButtonSetCom, &QPushButton::clicked, this, &TErrorDlg::ButtonSetComClick);

  OKBtn = named(new QPushButton(QStringLiteral("OK"), this), "OKBtn");
  OKBtn->setDefault(true);
  OKBtn->setMinimumWidth(94);
  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
  CancelBtn = named(new QPushButton(QStringLiteral("Cancel"), this), "CancelBtn");
  HelpBtn = named(new QPushButton(QStringLiteral("&Help"), this), "HelpBtn");
  CancelBtn->hide();
  HelpBtn->hide();
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

  auto* content = new QHBoxLayout;
  content->setSpacing(36);
  content->addWidget(Label1, 0, Qt::AlignTop);
  content->addWidget(Image1, 0, Qt::AlignTop);

  auto* tools = new QHBoxLayout;
  tools->addWidget(Button1);
  tools->addWidget(ButtonSetCom);
  tools->addStretch(1);

  auto* inside = new QVBoxLayout(Bevel1);
  inside->setContentsMargins(28, 24, 24, 16);
  inside->setSpacing(18);
  inside->addLayout(content);
  inside->addStretch(1);
  inside->addLayout(tools);

  auto* bottom = new QHBoxLayout;
  bottom->addStretch(1);
  bottom->addWidget(OKBtn);
  bottom->addWidget(CancelBtn);
  bottom->addWidget(HelpBtn);
  bottom->addStretch(1);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Bevel1);
  layout->addLayout(bottom);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  setTabOrder(Button1, ButtonSetCom);
  setTabOrder(ButtonSetCom, OKBtn);
}

void TErrorDlg::Button1Click() {
  SerialPortListDialog list(catalog_, this);
  list.exec();
}

void TErrorDlg::ButtonSetComClick() {
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

}  // namespace kelvaro::ui

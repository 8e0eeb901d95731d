#pragma once

#include <QDialog>
#include <QImage>
#include <QStringList>
#include <functional>

class QFrame;
class QLabel;
class QPushButton;

namespace kelvaro {
class PortCatalog;
class PortSelection;
}  // namespace kelvaro

namespace kelvaro {

// The dialog shown before a run without a dongle ends: what to check, a picture of where this
// system lists the dongle's port, the port list ("Open Device Manager") and the serial setup
// ("Set Com Port"). Fixed size, centred; "OK" closes it.
class TErrorDlg : public QDialog {
  Q_OBJECT

 public:
  // editPortSettings runs the serial setup (EditPortSettings) over the dialog it is given; errors
  // it throws go to the general error report.
  using EditPortSettingsAction = std::function<void(QWidget* dialog)>;
  TErrorDlg(const PortCatalog& catalog, EditPortSettingsAction editPortSettings,
            QWidget* parent = nullptr);

  // The nineteen lines of Label1, as shown.
  static QStringList helpLines();

  QFrame* helpFrame = nullptr;
  QLabel* helpText = nullptr;
  QLabel* portPicture = nullptr;
  QPushButton* openDeviceManagerButton = nullptr;
  QPushButton* setComPortButton = nullptr;
  QPushButton* okButton = nullptr;
  QPushButton* cancelButton = nullptr;
  QPushButton* helpButton = nullptr;

 private:
  void openDeviceManagerClicked();
  void setComPortClicked();

  const PortCatalog& catalog_;
  EditPortSettingsAction editPortSettings_;
};

// The picture of Image1, decoded from the JPEG embedded in the program; a null image and the
// decoder's message in *error when it does not decode.
QImage dongleLocationPicture(QString* error = nullptr);

// The dongle-not-found dialog over parent, modal; "Set Com Port" edits selection's settings.
void showDongleNotFoundDialog(QWidget* parent, const PortCatalog& catalog,
                              PortSelection& selection);

}  // namespace kelvaro

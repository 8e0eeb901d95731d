#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>

#include <gtest/gtest.h>

namespace kelvaro::testing {

// Acts on the modal dialog that the next exec() shows, from inside its event loop. A dialog of
// another kind is closed and reported, so a test fails instead of waiting forever.
template <class Dialog>
void onNextModal(std::function<void(Dialog*)> act) {
  QTimer::singleShot(0, [act] {
    QWidget* modal = QApplication::activeModalWidget();
    auto* dialog = qobject_cast<Dialog*>(modal);
    if (dialog == nullptr) {
      ADD_FAILURE() << "expected modal " << Dialog::staticMetaObject.className() << ", found "
                    << (modal ? modal->metaObject()->className() : "none");
      if (modal) modal->close();
      return;
    }
    act(dialog);
  });
}

}  // namespace kelvaro::testing

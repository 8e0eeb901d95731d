#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "support/AccessibleChecks.h"

#include "DialogTestSupport.h"
#include "app/AboutDialog.h"

namespace kelvaro::ui {
namespace {

TEST(AboutDialogTest, ShowsNameVersionAndPicture) {
  TAboutBox box;
  EXPECT_EQ(box.windowTitle(), QStringLiteral("About"));
  EXPECT_EQ(box.ProductName->text(), QStringLiteral("KELVARO monitor"));
  EXPECT_EQ(box.Version->text(), QStringLiteral("Version 3.24   2018"));
  EXPECT_EQ(box.OKButton->text(), QStringLiteral("OK"));
  EXPECT_TRUE(box.OKButton->isDefault());
  EXPECT_EQ(box.Panel1->frameShadow(), QFrame::Sunken);
  EXPECT_NE(box.Panel1->frameShape(), QFrame::NoFrame);
  EXPECT_FALSE(box.ProgramIcon->pixmap().isNull());
  EXPECT_EQ(box.ProgramIcon->pixmap().deviceIndependentSize().toSize(), QSize(80, 70));
  const struct {
    const char* name;
    const char* heard;
  } cases[] = {{"ProgramIcon", "Program picture"},
               {"ProductName", "KELVARO monitor"},
               {"Version", "Version 3.24   2018"},
               {"OKButton", "OK"}};
  for (const auto& c : cases) {
    auto* widget = box.findChild<QWidget*>(QString::fromLatin1(c.name));
    ASSERT_NE(widget, nullptr) << c.name;
    EXPECT_EQ(kelvaro::testing::accessibleName(widget), QString::fromLatin1(c.heard)) << c.name;
  }
}

TEST(AboutDialogTest, HasAFixedSizeAndNoMinimiseOrMaximise) {
  TAboutBox box;
  box.show();
  const QSize shown = box.size();
  EXPECT_EQ(box.minimumSize(), box.maximumSize());
  box.resize(shown * 2);
  EXPECT_EQ(box.size(), shown);
  const Qt::WindowFlags flags = box.windowFlags();
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
}

TEST(AboutDialogTest, OkOrEnterClosesTheSameBoxEveryTime) {
  TAboutBox box;
  testing::onNextModal<TAboutBox>([](TAboutBox* shown) { shown->OKButton->click(); });
  EXPECT_EQ(box.exec(), QDialog::Accepted);
  testing::onNextModal<TAboutBox>([](TAboutBox* shown) {
    EXPECT_EQ(shown->Version->text(), QStringLiteral("Version 3.24   2018"));
    QTest::keyClick(shown, Qt::Key_Return);
  });
  EXPECT_EQ(box.exec(), QDialog::Accepted);
}

}  // namespace
}  // namespace kelvaro::ui

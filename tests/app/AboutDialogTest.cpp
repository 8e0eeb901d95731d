#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "support/AccessibleChecks.h"

#include "DialogTestSupport.h"
#include "app/dialogs/AboutDialog.h"

namespace kelvaro {
namespace {

TEST(AboutDialogTest, ShowsNameVersionAndPicture) {
  AboutBox box;
  EXPECT_EQ(box.windowTitle(), QStringLiteral("About"));
  EXPECT_EQ(box.productNameLabel->text(), QStringLiteral("KELVARO monitor"));
  EXPECT_EQ(box.versionLabel->text(), QStringLiteral("Version 3.24   2018"));
  EXPECT_EQ(box.okButton->text(), QStringLiteral("OK"));
  EXPECT_TRUE(box.okButton->isDefault());
  EXPECT_EQ(box.framePanel->frameShadow(), QFrame::Sunken);
  EXPECT_NE(box.framePanel->frameShape(), QFrame::NoFrame);
  EXPECT_FALSE(box.programIcon->pixmap().isNull());
  EXPECT_EQ(box.programIcon->pixmap().deviceIndependentSize().toSize(), QSize(80, 70));
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
  AboutBox box;
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
  AboutBox box;
  testing::onNextModal<AboutBox>([](AboutBox* shown) { shown->okButton->click(); });
  EXPECT_EQ(box.exec(), QDialog::Accepted);
  testing::onNextModal<AboutBox>([](AboutBox* shown) {
    EXPECT_EQ(shown->versionLabel->text(), QStringLiteral("Version 3.24   2018"));
    QTest::keyClick(shown, Qt::Key_Return);
  });
  EXPECT_EQ(box.exec(), QDialog::Accepted);
}

}  // namespace
}  // namespace kelvaro

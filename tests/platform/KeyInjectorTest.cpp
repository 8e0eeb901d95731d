#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryFile>
#include <QThread>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include <fcntl.h>
#include <linux/input.h>
#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/KeyInjector.h"
#include "platform/UinputKeyInjector.h"
#include "platform/UinputWriter.h"
#include "platform/VirtualKeyTable.h"
#include "platform/XTestKeyInjector.h"
#include "support/PrivateXServer.h"

// Xlib's macros (None, Bool, Status) clash with gtest's, so it comes last.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

namespace kelvaro {
namespace {

constexpr int kVkSpace = 0x20;
constexpr int kVkRight = 0x27;
constexpr int kVkLeftButton = 0x01;

// ---- the table ----

TEST(VirtualKeyTable, CoversEveryKeyboardCode) {
  std::vector<int> wanted = {0x08, 0x09, 0x0D, 0x10, 0x11, 0x12, 0x1B, 0x20, 0x21,
                             0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28, 0x2D, 0x2E,
                             0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xBA, 0xBB, 0xBC,
                             0xBD, 0xBE, 0xBF, 0xC0, 0xDB, 0xDC, 0xDD, 0xDE, 0xE2};
  for (int c = 0x30; c <= 0x39; ++c) wanted.push_back(c);  // digits
  for (int c = 0x41; c <= 0x5A; ++c) wanted.push_back(c);  // letters
  for (int c = 0x60; c <= 0x6F; ++c) wanted.push_back(c);  // keypad
  for (int c = 0x70; c <= 0x87; ++c) wanted.push_back(c);  // F1..F24
  for (int code : wanted) {
    const VirtualKeyMapping* m = findVirtualKey(code);
    ASSERT_NE(m, nullptr) << "virtual-key code " << code;
    EXPECT_EQ(m->virtualKey, code);
    EXPECT_GT(m->evdevCode, 0) << m->name;
    EXPECT_LE(m->evdevCode, KEY_MAX) << m->name;
    EXPECT_NE(m->keysym, 0u) << m->name;
  }
}

TEST(VirtualKeyTable, MouseButtonsAndOutOfRangeCodesHaveNoKey) {
  for (int code = 0; code <= 6; ++code) EXPECT_EQ(findVirtualKey(code), nullptr) << code;
  EXPECT_EQ(findVirtualKey(255), nullptr);
  EXPECT_EQ(findVirtualKey(256), nullptr);
  EXPECT_EQ(findVirtualKey(-1), nullptr);
}

TEST(VirtualKeyTable, IsSortedWithOneEntryPerCode) {
  const auto& table = virtualKeyTable();
  ASSERT_FALSE(table.empty());
  for (size_t i = 1; i < table.size(); ++i) {
    EXPECT_LT(table[i - 1].virtualKey, table[i].virtualKey) << table[i].name;
  }
}

TEST(VirtualKeyTable, MapsToTheSameKeyOnBothSides) {
  struct Expect {
    int vk;
    int evdev;
    unsigned long keysym;
  };
  const Expect cases[] = {
      {0x20, KEY_SPACE, XK_space},
      {0x26, KEY_UP, XK_Up},
      {0x27, KEY_RIGHT, XK_Right},
      {0x0D, KEY_ENTER, XK_Return},
      {0x41, KEY_A, XK_a},
      {0x44, KEY_D, XK_d},
      {0x53, KEY_S, XK_s},
      {0x57, KEY_W, XK_w},
      {0x30, KEY_0, XK_0},
      {0x31, KEY_1, XK_1},
      {0x39, KEY_9, XK_9},
      {0x60, KEY_KP0, XK_KP_0},
      {0x69, KEY_KP9, XK_KP_9},
      {0x6A, KEY_KPASTERISK, XK_KP_Multiply},
      {0x6F, KEY_KPSLASH, XK_KP_Divide},
      {0x70, KEY_F1, XK_F1},
      {0x7B, KEY_F12, XK_F12},
      {0x7C, KEY_F13, XK_F13},
      {0x87, KEY_F24, XK_F24},
      {0xA1, KEY_RIGHTSHIFT, XK_Shift_R},
      {0xA5, KEY_RIGHTALT, XK_Alt_R},
      {0xBA, KEY_SEMICOLON, XK_semicolon},
      {0xBB, KEY_EQUAL, XK_equal},
      {0xC0, KEY_GRAVE, XK_grave},
      {0xDE, KEY_APOSTROPHE, XK_apostrophe},
      {0xE2, KEY_102ND, XK_less},
  };
  for (const Expect& e : cases) {
    const VirtualKeyMapping* m = findVirtualKey(e.vk);
    ASSERT_NE(m, nullptr) << e.vk;
    EXPECT_EQ(m->evdevCode, e.evdev) << m->name;
    EXPECT_EQ(m->keysym, e.keysym) << m->name;
  }
}

// ---- the uinput side, against a pipe ----

struct Pipe {
  int fds[2] = {-1, -1};
  Pipe() {
    EXPECT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    ::fcntl(fds[0], F_SETFL, O_NONBLOCK);
  }
  ~Pipe() {
    ::close(fds[0]);
    ::close(fds[1]);
  }
  int readEnd() const { return fds[0]; }
  int writeEnd() const { return fds[1]; }
  // Every event written so far.
  std::vector<input_event> drain() const {
    std::vector<input_event> events;
    input_event ev;
    while (::read(fds[0], &ev, sizeof ev) == static_cast<ssize_t>(sizeof ev)) events.push_back(ev);
    return events;
  }
};

void expectKey(const input_event& key, const input_event& syn, int code, int value) {
  EXPECT_EQ(key.type, EV_KEY);
  EXPECT_EQ(key.code, code);
  EXPECT_EQ(key.value, value);
  EXPECT_EQ(syn.type, EV_SYN);
  EXPECT_EQ(syn.code, SYN_REPORT);
  EXPECT_EQ(syn.value, 0);
}

TEST(UinputWriter, WritesTheKeyThenTheReport) {
  Pipe pipe;
  UinputWriter writer(pipe.writeEnd());
  ASSERT_TRUE(writer.writeKey(KEY_SPACE, true));
  ASSERT_TRUE(writer.writeKey(KEY_SPACE, false));
  auto events = pipe.drain();
  ASSERT_EQ(events.size(), 4u);
  expectKey(events[0], events[1], KEY_SPACE, 1);
  expectKey(events[2], events[3], KEY_SPACE, 0);
}

TEST(UinputWriter, ReportsAFailedWrite) {
  UinputWriter writer(-1);
  EXPECT_FALSE(writer.writeKey(KEY_SPACE, true));
}

TEST(UinputKeyInjector, SendsTheEvdevCodeOfTheVirtualKey) {
  Pipe pipe;
  UinputKeyInjector injector(pipe.writeEnd());
  EXPECT_EQ(injector.name(), QStringLiteral("uinput"));
  injector.keyDown(kVkRight);
  injector.keyUp(kVkRight);
  injector.keyDown(0x57);  // W
  injector.keyUp(0x57);
  auto events = pipe.drain();
  ASSERT_EQ(events.size(), 8u);
  expectKey(events[0], events[1], KEY_RIGHT, 1);
  expectKey(events[2], events[3], KEY_RIGHT, 0);
  expectKey(events[4], events[5], KEY_W, 1);
  expectKey(events[6], events[7], KEY_W, 0);
}

TEST(UinputKeyInjector, NamesACodeWithoutAKeyOnceAndSendsNothing) {
  Pipe pipe;
  QStringList lines;
  {
    UinputKeyInjector injector(pipe.writeEnd());
    injector.setConsoleSink([&](const QString& line) { lines << line; });
    injector.keyDown(kVkLeftButton);
    injector.keyUp(kVkLeftButton);
    injector.keyDown(kVkLeftButton);
    injector.keyDown(4);
  }
  EXPECT_TRUE(pipe.drain().empty());
  ASSERT_EQ(lines.size(), 2) << lines.join('\n').toStdString();
  EXPECT_TRUE(lines[0].contains(QStringLiteral("virtual-key code 1 "))) << lines[0].toStdString();
  EXPECT_TRUE(lines[0].contains(QStringLiteral("nothing is sent")));
  EXPECT_TRUE(lines[1].contains(QStringLiteral("virtual-key code 4 "))) << lines[1].toStdString();
}

TEST(UinputKeyInjector, ReleasesHeldKeysWhenDestroyed) {
  Pipe pipe;
  {
    UinputKeyInjector injector(pipe.writeEnd());
    injector.keyDown(kVkSpace);
    injector.keyDown(kVkRight);
    injector.keyUp(kVkRight);
    ASSERT_EQ(pipe.drain().size(), 6u);
  }
  auto events = pipe.drain();
  ASSERT_EQ(events.size(), 2u);
  expectKey(events[0], events[1], KEY_SPACE, 0);
}

TEST(UinputKeyInjector, RefusesAMissingDevice) {
  QString error;
  EXPECT_EQ(UinputKeyInjector::open(QStringLiteral("/nonexistent/uinput"), &error), nullptr);
  EXPECT_TRUE(error.contains(QStringLiteral("/nonexistent/uinput"))) << error.toStdString();
  EXPECT_TRUE(error.contains(QStringLiteral("No such file"))) << error.toStdString();
}

TEST(UinputKeyInjector, RefusesAWritableFileThatIsNoUinputDevice) {
  QTemporaryFile file;
  ASSERT_TRUE(file.open());
  QString error;
  EXPECT_EQ(UinputKeyInjector::open(file.fileName(), &error), nullptr);
  EXPECT_TRUE(error.contains(QStringLiteral("no virtual keyboard"))) << error.toStdString();
}

// ---- the factory without an X server ----

// Clears DISPLAY for one test (each test runs in a process of its own under ctest).
class NoDisplay : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = qgetenv("DISPLAY");
    had_ = qEnvironmentVariableIsSet("DISPLAY");
    qunsetenv("DISPLAY");
  }
  void TearDown() override {
    if (had_) qputenv("DISPLAY", saved_);
  }
  QByteArray saved_;
  bool had_ = false;
};

TEST_F(NoDisplay, FallsToNoneAndSaysWhy) {
  QString line;
  KeyInjectorPlaces places;
  places.uinputPath = QStringLiteral("/nonexistent/uinput");
  auto injector = openKeyInjector(QString(), &line, places);
  ASSERT_NE(injector, nullptr);
  EXPECT_EQ(injector->name(), QStringLiteral("none"));
  EXPECT_TRUE(line.contains(QStringLiteral("no keys are sent"))) << line.toStdString();
  EXPECT_TRUE(line.contains(QStringLiteral("/nonexistent/uinput"))) << line.toStdString();
  EXPECT_TRUE(line.contains(QStringLiteral("no X display"))) << line.toStdString();
  injector->keyDown(kVkSpace);  // does nothing, and must not crash
  injector->keyUp(kVkSpace);
}

TEST_F(NoDisplay, NoneCanBeChosen) {
  QString line;
  auto injector = openKeyInjector(QStringLiteral("none"), &line);
  EXPECT_EQ(injector->name(), QStringLiteral("none"));
  EXPECT_TRUE(line.contains(QStringLiteral("no keys are sent"))) << line.toStdString();
}

TEST_F(NoDisplay, XTestAskedForWithoutADisplayGivesNone) {
  QString line;
  auto injector = openKeyInjector(QStringLiteral("xtest"), &line);
  EXPECT_EQ(injector->name(), QStringLiteral("none"));
  EXPECT_TRUE(line.contains(QStringLiteral("no X display"))) << line.toStdString();
}

// ---- XTest against a private Xvfb ----

using testing::PrivateXServer;

class XTestInjection : public testing::XTestWindowTest {
 protected:
  std::unique_ptr<KeyInjector> openXTest(QString* line) {
    KeyInjectorPlaces places;
    places.uinputPath = QStringLiteral("/nonexistent/uinput");
    places.display = server_->display();
    return openKeyInjector(QString(), line, places);
  }
};

TEST_F(XTestInjection, FactoryChoosesXTestWhenThereIsNoUinput) {
  QString line;
  auto injector = openXTest(&line);
  EXPECT_EQ(injector->name(), QStringLiteral("xtest"));
  EXPECT_TRUE(line.contains(QStringLiteral("XTest on X display %1").arg(server_->display())))
      << line.toStdString();
  EXPECT_TRUE(line.contains(QStringLiteral("/nonexistent/uinput"))) << line.toStdString();
}

TEST_F(XTestInjection, UinputAskedForDoesNotFallToXTest) {
  QString line;
  KeyInjectorPlaces places;
  places.uinputPath = QStringLiteral("/nonexistent/uinput");
  places.display = server_->display();
  auto injector = openKeyInjector(QStringLiteral("uinput"), &line, places);
  EXPECT_EQ(injector->name(), QStringLiteral("none"));
  EXPECT_TRUE(line.contains(QStringLiteral("no keys are sent"))) << line.toStdString();
}

TEST_F(XTestInjection, FocusedWindowReceivesPressAndRelease) {
  QString line;
  auto injector = openXTest(&line);
  ASSERT_EQ(injector->name(), QStringLiteral("xtest")) << line.toStdString();
  injector->keyDown(kVkRight);
  expectKeyEvent(KeyPress, XK_Right);
  injector->keyUp(kVkRight);
  expectKeyEvent(KeyRelease, XK_Right);
  injector->keyDown(kVkSpace);
  expectKeyEvent(KeyPress, XK_space);
  injector->keyUp(kVkSpace);
  expectKeyEvent(KeyRelease, XK_space);
  injector.reset();
  EXPECT_EQ(pendingKeyEvents(100), 0) << "a key released by keyUp was released again";
}

TEST_F(XTestInjection, DestroyingTheInjectorReleasesAHeldKey) {
  QString line;
  auto injector = openXTest(&line);
  ASSERT_EQ(injector->name(), QStringLiteral("xtest")) << line.toStdString();
  injector->keyDown(kVkSpace);
  expectKeyEvent(KeyPress, XK_space);
  EXPECT_EQ(pendingKeyEvents(100), 0) << "the key went up while held";
  injector.reset();
  expectKeyEvent(KeyRelease, XK_space);
}

TEST_F(XTestInjection, CodeWithoutAKeySendsNothing) {
  QString line;
  auto injector = openXTest(&line);
  ASSERT_EQ(injector->name(), QStringLiteral("xtest")) << line.toStdString();
  QStringList lines;
  injector->setConsoleSink([&](const QString& l) { lines << l; });
  injector->keyDown(kVkLeftButton);
  injector->keyUp(kVkLeftButton);
  EXPECT_EQ(pendingKeyEvents(100), 0);
  ASSERT_EQ(lines.size(), 1);
  EXPECT_TRUE(lines[0].contains(QStringLiteral("virtual-key code 1 "))) << lines[0].toStdString();
}

TEST_F(XTestInjection, KeyMissingFromTheKeymapIsNamedOnceAndSendsNothing) {
  // Which keys a server lacks depends on its keymap, so the test asks it.
  const VirtualKeyMapping* missing = nullptr;
  for (const VirtualKeyMapping& m : virtualKeyTable()) {
    if (XKeysymToKeycode(dpy_, static_cast<KeySym>(m.keysym)) == 0) {
      missing = &m;
      break;
    }
  }
  if (!missing) GTEST_SKIP() << "this server's keymap has every key of the table";
  QString line;
  auto injector = openXTest(&line);
  ASSERT_EQ(injector->name(), QStringLiteral("xtest")) << line.toStdString();
  QStringList lines;
  injector->setConsoleSink([&](const QString& l) { lines << l; });
  injector->keyDown(missing->virtualKey);
  injector->keyUp(missing->virtualKey);
  injector->keyDown(missing->virtualKey);
  EXPECT_EQ(pendingKeyEvents(100), 0);
  ASSERT_EQ(lines.size(), 1) << lines.join('\n').toStdString();
  EXPECT_TRUE(lines[0].contains(QString::fromLatin1(missing->name))) << lines[0].toStdString();
  EXPECT_TRUE(lines[0].contains(QStringLiteral("no key on display %1").arg(server_->display())))
      << lines[0].toStdString();
}

}  // namespace
}  // namespace kelvaro

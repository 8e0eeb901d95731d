#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <set>

namespace kelvaro {

// Synthesises system-wide key presses for the key activation triggers. Keys are named by their
// Windows virtual-key codes (0..255), which is how the settings store them.
class KeyInjector {
 public:
  using ConsoleSink = std::function<void(const QString& line)>;

  virtual ~KeyInjector() = default;
  virtual void keyDown(int virtualKey) = 0;
  virtual void keyUp(int virtualKey) = 0;
  // "uinput", "xtest" or "none".
  virtual QString name() const = 0;

  // Receives a line for each code that sends nothing (a mouse-button code, a key missing from the
  // display's keymap); each code is named once per injector so a held trigger does not flood it.
  void setConsoleSink(ConsoleSink sink) { sink_ = std::move(sink); }

 protected:
  void reportOnce(int virtualKey, const QString& line);
  // The line for a code that has no entry in the key table.
  void reportUnmapped(int virtualKey);

 private:
  ConsoleSink sink_;
  std::set<int> reported_;
};

// No way to send keys: every call does nothing.
class NullKeyInjector final : public KeyInjector {
 public:
  void keyDown(int) override {}
  void keyUp(int) override {}
  QString name() const override { return QStringLiteral("none"); }
};

// Where the factory looks; the defaults are the real system's.
struct KeyInjectorPlaces {
  QString uinputPath = QStringLiteral("/dev/uinput");
  // Empty: the DISPLAY environment variable.
  QString display;
};

// Chooses the injector: uinput when the uinput device can be opened for writing and a virtual
// keyboard created on it, else XTest when an X display with the XTEST extension answers, else
// none. forced ("uinput", "xtest", "none") tries only that one; "" chooses as above, and so
// does an unknown name (the line then notes it).
// *consoleLine (when given) names the injector in use and, for none, why no keys are sent.
std::unique_ptr<KeyInjector> openKeyInjector(const QString& forced, QString* consoleLine,
                                             const KeyInjectorPlaces& places = {});

}  // namespace kelvaro

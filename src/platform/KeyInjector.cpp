#include "platform/KeyInjector.h"

#include <QStringList>

#include "platform/UinputKeyInjector.h"
#include "platform/XTestKeyInjector.h"

namespace kelvaro {

void KeyInjector::reportOnce(int virtualKey, const QString& line) {
  if (!reported_.insert(virtualKey).second) return;
  if (sink_) sink_(line);
}

void KeyInjector::reportUnmapped(int virtualKey) {
  reportOnce(
      virtualKey,
      QStringLiteral("Key injection: virtual-key code %1 has no keyboard key; nothing is sent")
          .arg(virtualKey));
}

std::unique_ptr<KeyInjector> openKeyInjector(const QString& forced, QString* consoleLine,
                                             const KeyInjectorPlaces& places) {
  const QString choice = forced.trimmed().toLower();
  QStringList notes;
  auto say = [&](const QString& line) {
    if (consoleLine) *consoleLine = line;
  };
  const bool known = choice.isEmpty() || choice == QLatin1String("uinput") ||
                     choice == QLatin1String("xtest") || choice == QLatin1String("none");
  if (!known) notes << QStringLiteral("unknown key injector \"%1\"").arg(forced);
  const bool any = choice.isEmpty() || !known;

  if (choice == QLatin1String("none")) {
    say(QStringLiteral("Key injection: none, no keys are sent (key injector \"none\" was chosen)"));
    return std::make_unique<NullKeyInjector>();
  }
  if (any || choice == QLatin1String("uinput")) {
    QString error;
    if (auto injector = UinputKeyInjector::open(places.uinputPath, &error)) {
      QString line =
          QStringLiteral("Key injection: uinput virtual keyboard on %1").arg(places.uinputPath);
      if (!notes.isEmpty()) line += QStringLiteral(" (%1)").arg(notes.join(QStringLiteral("; ")));
      say(line);
      return injector;
    }
    notes << error;
  }
  if (any || choice == QLatin1String("xtest")) {
    QString error;
    if (auto injector = XTestKeyInjector::open(places.display, &error)) {
      QString line =
          QStringLiteral("Key injection: XTest on X display %1").arg(injector->displayName());
      if (!notes.isEmpty()) line += QStringLiteral(" (%1)").arg(notes.join(QStringLiteral("; ")));
      say(line);
      return injector;
    }
    notes << error;
  }
  say(QStringLiteral("Key injection: none, no keys are sent (%1)")
          .arg(notes.join(QStringLiteral("; "))));
  return std::make_unique<NullKeyInjector>();
}

}  // namespace kelvaro

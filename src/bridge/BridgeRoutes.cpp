#include "bridge/BridgeRoutes.h"

#include "bridge/HttpRequestHead.h"
#include "bridge/OriginList.h"

namespace kelvaro {
namespace {

bool loopbackHost(const QByteArray& host, std::uint16_t port) {
  QByteArray name = host.toLower();
  const QByteArray portSuffix = ':' + QByteArray::number(port);
  if (name.endsWith(portSuffix)) name.chop(portSuffix.size());
  return name == "localhost" || name == "127.0.0.1" || name == "[::1]";
}

// Whether a comma-separated field holds `token`, compared without regard to case.
bool hasToken(const QByteArray& field, const char* token) {
  for (const QByteArray& part : field.split(',')) {
    if (part.trimmed().compare(token, Qt::CaseInsensitive) == 0) return true;
  }
  return false;
}

}  // namespace

BridgeRoute routeRequest(const HttpRequestHead& head, const OriginList& origins,
                         std::uint16_t port) {
  BridgeRoute route;
  const bool get = head.method() == "GET";
  route.headOnly = head.method() == "HEAD";
  if (!head.hasHost() || head.announcesBody()) return route;
  if (!loopbackHost(head.host(), port)) {
    route.answer = BridgeAnswer::HostRefused;
    return route;
  }
  const QByteArray path = head.path();
  if (path == "/kelvaro-belt.js" || path == "/") {
    route.answer = !(get || route.headOnly) ? BridgeAnswer::NotAllowed
                   : path == "/"            ? BridgeAnswer::Page
                                            : BridgeAnswer::Script;
    return route;
  }
  if (path != "/belt") {
    route.answer = BridgeAnswer::NotFound;
    return route;
  }
  route.headOnly = false;
  if (!get) {
    route.answer = BridgeAnswer::NotAllowed;
    return route;
  }
  if (head.minorVersion() < 1 || head.upgrade().compare("websocket", Qt::CaseInsensitive) != 0 ||
      !hasToken(head.connection(), "upgrade") || head.webSocketVersion() != "13") {
    route.answer = BridgeAnswer::UpgradeRequired;
    return route;
  }
  if (head.webSocketKey().isEmpty()) return route;
  route.answer =
      origins.allows(head.origin()) ? BridgeAnswer::Upgrade : BridgeAnswer::OriginRefused;
  return route;
}

int statusCode(BridgeAnswer answer) {
  switch (answer) {
    case BridgeAnswer::Script:
    case BridgeAnswer::Page:
      return 200;
    case BridgeAnswer::Upgrade:
      return 101;
    case BridgeAnswer::OriginRefused:
    case BridgeAnswer::HostRefused:
      return 403;
    case BridgeAnswer::NotFound:
      return 404;
    case BridgeAnswer::NotAllowed:
      return 405;
    case BridgeAnswer::UpgradeRequired:
      return 426;
    case BridgeAnswer::BadRequest:
      return 400;
  }
  return 400;
}

QByteArray statusText(BridgeAnswer answer) {
  switch (answer) {
    case BridgeAnswer::Script:
    case BridgeAnswer::Page:
      return "OK";
    case BridgeAnswer::Upgrade:
      return "Switching Protocols";
    case BridgeAnswer::OriginRefused:
    case BridgeAnswer::HostRefused:
      return "Forbidden";
    case BridgeAnswer::NotFound:
      return "Not Found";
    case BridgeAnswer::NotAllowed:
      return "Method Not Allowed";
    case BridgeAnswer::UpgradeRequired:
      return "Upgrade Required";
    case BridgeAnswer::BadRequest:
      return "Bad Request";
  }
  return "Bad Request";
}

}  // namespace kelvaro

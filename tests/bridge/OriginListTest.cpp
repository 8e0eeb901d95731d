// The editors' origins that may open the belt's WebSocket, and those that may not.
#include <gtest/gtest.h>

#include "bridge/OriginList.h"

namespace kelvaro {
namespace {

TEST(OriginList, TheDefaultsAreTheTurboWarpEditorsAndTheBridgeItself) {
  const OriginList list = OriginList::parse(OriginList::defaultText(8000));
  const struct {
    const char* origin;
    bool allowed;
  } cases[] = {
      {"https://turbowarp.org", true},
      {"https://experiments.turbowarp.org", true},
      {"tw-editor://.", true},
      {"http://localhost:8000", true},
      {"HTTPS://TurboWarp.org", true},
      {"", false},
      {"null", false},  // a file, a sandboxed frame
      {"http://turbowarp.org", false},
      {"https://turbowarp.org:8443", false},
      {"https://turbowarp.org.evil.example", false},
      {"https://evilturbowarp.org", false},
      {"https://packager.turbowarp.org", false},
      {"https://scratch.mit.edu", false},
      {"http://localhost:8001", false},
      {"http://127.0.0.1:8000", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(list.allows(QByteArray(c.origin)), c.allowed) << c.origin;
  }
  EXPECT_EQ(OriginList::parse(OriginList::defaultText(8123)).entries().last(),
            QStringLiteral("http://localhost:8123"));
}

TEST(OriginList, ASubdomainPatternTakesEverySubdomainButNotTheNameItself) {
  const OriginList list = OriginList::parse(QStringLiteral("https://*.example.org"));
  EXPECT_TRUE(list.allows("https://a.example.org"));
  EXPECT_TRUE(list.allows("https://a.b.example.org"));
  EXPECT_FALSE(list.allows("https://example.org"));
  EXPECT_FALSE(list.allows("https://.example.org"));
  EXPECT_FALSE(list.allows("https://aexample.org"));
  EXPECT_FALSE(list.allows("http://a.example.org"));
  EXPECT_FALSE(list.allows("https://a.example.org:444"));
  EXPECT_FALSE(list.allows("https://evil.example/.example.org"));
  EXPECT_FALSE(list.allows("https://[::1].example.org"));
}

TEST(OriginList, EntriesAreReadAsTheyAreMeant) {
  const OriginList list = OriginList::parse(
      QStringLiteral(" HTTPS://Editor.Example/ ,tw-editor://., , not-an-origin http://a b://c d "
                     "https://bad_host.example null https://editor.example"));
  EXPECT_EQ(list.entries(),
            (QStringList{"https://editor.example", "tw-editor://.", "http://a", "b://c", "null"}));
  EXPECT_TRUE(list.allows("https://editor.example"));
  EXPECT_TRUE(list.allows("null")) << "named on purpose";
  EXPECT_FALSE(OriginList::parse(QString()).allows("https://turbowarp.org"));
}

}  // namespace
}  // namespace kelvaro

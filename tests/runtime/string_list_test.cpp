// Lookups in string lists: short lists are searched, long ones answer from an index that
// every change of the list must keep right.
#include <gtest/gtest.h>

#include <string>

#include "runtime/string_list.h"

namespace zarn {
namespace {

// The answer of a plain search, to hold the index against.
int Plain(const TStringList& l, const std::string& s) {
  for (int i = 0; i < l.Count(); ++i) {
    const std::string& a = l[i];
    if (a.size() != s.size()) continue;
    bool same = true;
    for (size_t k = 0; k < a.size() && same; ++k) {
      char x = a[k], y = s[k];
      if (static_cast<unsigned char>(x) >= 0x81 && static_cast<unsigned char>(x) <= 0x9F) {
        same = x == y && k + 1 < a.size() && a[k + 1] == s[k + 1];
        ++k;
        continue;
      }
      if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
      if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
      same = x == y;
    }
    if (same) return i;
  }
  return -1;
}

TEST(StringList, IndexOfStaysRightThroughEveryChange) {
  for (int size : {5, 31, 32, 200}) {
    SCOPED_TRACE(size);
    TStringList l;
    for (int i = 0; i < size; ++i) l.Add("Voice\\V" + std::to_string(i) + ".ogg");
    l.Add("voice\\v1.OGG");  // equal to an earlier one but for case: the earlier one is found
    const std::vector<std::string> probes = {"VOICE\\V1.OGG", "voice\\v0.ogg", "voice\\v9999.ogg", "ソフト\\a",
                                             "ソフト\\A", "new.txt", "NEW.TXT", "Voice\\V3.ogg"};
    auto check = [&](const char* after) {
      SCOPED_TRACE(after);
      for (const std::string& p : probes) EXPECT_EQ(l.IndexOf(p), Plain(l, p)) << p;
    };
    check("adding");
    l.Add("ソフト\\a");
    l.Add("New.txt");
    check("adding after a lookup");
    l.Delete(0);
    check("deleting");
    l.Insert(1, "voice\\V0.ogg");
    check("inserting");
    l[2] = "NEW.txt";
    check("changing a string in place");
    TStringList copy = l;
    copy.Add("extra");
    EXPECT_EQ(copy.IndexOf("EXTRA"), copy.Count() - 1);
    EXPECT_EQ(l.IndexOf("extra"), -1) << "a copy's additions stay in the copy";
    l.SetText("a\r\nVoice\\V3.ogg\r\n");
    check("setting the text");
    l.Clear();
    check("clearing");
  }
}

}  // namespace
}  // namespace zarn

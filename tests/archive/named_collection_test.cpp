#include "archive/named_collection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/sjis.h"

namespace zarn {
namespace {

class TNamed : public THashCollectionItem {
 public:
  explicit TNamed(THashCollection& c) : THashCollectionItem(c) {}
  TNamed(THashCollection& c, const std::string& name) : THashCollectionItem(c, name) {}
};

TNamed* AddNamed(THashCollection& c, const std::string& name) {
  auto* item = new TNamed(c);
  item->SetName(name);
  return item;
}

// Every item sits in the chain of its name's bucket, and its cached index is its place.
void ExpectConsistent(const THashCollection& c) {
  for (int i = 0; i < c.Count(); ++i) {
    THashCollectionItem* item = c.Item(i);
    EXPECT_EQ(item->Index(), i);
    EXPECT_EQ(item->Bucket(), HashOf(item->Name()));
    bool found = false;
    for (auto* p = c.BucketHead(item->Bucket()); p; p = p->NextInBucket()) found |= p == item;
    EXPECT_TRUE(found) << item->Name();
  }
}

TEST(HashOf, KnownValues) {
  EXPECT_EQ(HashOf(""), 0);
  EXPECT_EQ(HashOf("a"), 16);
  EXPECT_EQ(HashOf("ab"), 226);
  EXPECT_EQ(HashOf("abc"), 243);
  EXPECT_EQ(HashOf("ABC"), 243);
  EXPECT_EQ(HashOf("install.dat"), 122);
}

TEST(HashOf, FoldsOnlyAsciiAndReadsBytesUnsigned) {
  // "ア" is 0x83 0x41: the trail byte 'A' must not be folded, or "ア" and "ャ"-like
  // pairs would merge; the bytes count as 131 and 65, not as negative chars.
  std::string a = "\x83\x41";
  EXPECT_EQ(HashOf(a), (2 * 16 + 0x83 + 0x83) & 255);
  EXPECT_EQ(HashOf("X" + a), (3 * 16 + 'x' + 0x83) & 255);
}

TEST(HashCollection, LookupIgnoresCaseAndPrefersLastNamed) {
  THashCollection c;
  AddNamed(c, "Data\\One.txt");
  AddNamed(c, "data\\one.TXT");
  AddNamed(c, "other");
  ExpectConsistent(c);
  EXPECT_EQ(c.Item(0)->Bucket(), c.Item(1)->Bucket());
  EXPECT_EQ(c.IndexOf("DATA\\ONE.TXT"), 1);
  // Renaming item 0 to its own name in another case relinks it at the head.
  c.Item(0)->SetName("DATA\\one.txt");
  EXPECT_EQ(c.IndexOf("data\\one.txt"), 0);
  ExpectConsistent(c);
}

TEST(HashCollection, MissingNameInABusyBucket) {
  THashCollection c;
  AddNamed(c, "abc");  // same length, first and second-to-last byte as "abd": one bucket
  AddNamed(c, "abd");
  EXPECT_EQ(c.Item(0)->Bucket(), c.Item(1)->Bucket());
  EXPECT_EQ(c.IndexOf("abe"), -1);
  EXPECT_EQ(c.IndexOf("abd"), 1);
  EXPECT_EQ(c.IndexOf(""), -1);
}

TEST(HashCollection, DeletingKeepsIndexesAndChains) {
  THashCollection c;
  for (const char* n : {"a0", "a1", "a2", "a3", "a4"}) AddNamed(c, n);
  c.Delete(2);
  ExpectConsistent(c);
  EXPECT_EQ(c.Count(), 4);
  EXPECT_EQ(c.IndexOf("a4"), 3);
  EXPECT_EQ(c.IndexOf("a2"), -1);
  // Deleting a chain's head, middle and tail.
  THashCollection d;
  for (const char* n : {"x1y", "x2y", "x3y"}) AddNamed(d, n);  // one bucket; head is x3y
  d.Delete(2);
  EXPECT_EQ(d.IndexOf("x1y"), 0);
  EXPECT_EQ(d.IndexOf("x2y"), 1);
  AddNamed(d, "x4y");
  d.Delete(1);
  EXPECT_EQ(d.IndexOf("x4y"), 1);
  EXPECT_EQ(d.IndexOf("x1y"), 0);
  ExpectConsistent(d);
}

TEST(HashCollection, SameNameDoesNotRelink) {
  THashCollection c;
  AddNamed(c, "same");
  AddNamed(c, "SAME");
  // Item 1 heads the chain; setting item 0's name byte for byte equal leaves it behind.
  c.Item(0)->SetName("same");
  EXPECT_EQ(c.IndexOf("same"), 1);
  EXPECT_EQ(c.BucketHead(HashOf("same")), c.Item(1));
}

TEST(HashCollection, MovingAnItemRenumbersTheShiftedOnes) {
  THashCollection c;
  for (const char* n : {"m0", "m1", "m2", "m3", "m4"}) AddNamed(c, n);
  c.Item(0)->SetIndex(3);
  ExpectConsistent(c);
  EXPECT_EQ(c.IndexOf("m0"), 3);
  EXPECT_EQ(c.IndexOf("m3"), 2);
  c.Item(4)->SetIndex(1);
  ExpectConsistent(c);
  // m1 m4 m2 m3 m0
  EXPECT_EQ(c.IndexOf("m4"), 1);
  EXPECT_EQ(c.IndexOf("m2"), 2);
  EXPECT_EQ(c.IndexOf("m0"), 4);
}

TEST(HashCollection, NewItemsStartUnnamedInBucketZeroAndAssignCopiesTheName) {
  THashCollection c;
  auto* a = new TNamed(c);
  EXPECT_EQ(a->Bucket(), 0);
  EXPECT_EQ(c.IndexOf(""), 0);
  EXPECT_EQ(a->DisplayName(), "THashCollectionItem");
  auto* b = AddNamed(c, "source");
  a->Assign(*b);
  EXPECT_EQ(a->Name(), "source");
  EXPECT_EQ(c.IndexOf("source"), 0);  // named last
  EXPECT_THROW(c.Item(2), std::exception);
  c.Clear();
  EXPECT_EQ(c.Count(), 0);
  EXPECT_EQ(c.BucketHead(HashOf("source")), nullptr);
}

}  // namespace
}  // namespace zarn

namespace zarn {
namespace {

// Random names of ASCII letters, separators and double-byte characters whose second
// byte may be a letter or a backslash, and lone lead bytes at the end.
std::string RandomName(uint32_t& seed) {
  auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
  static const char* kPieces[] = {"a", "B", "z", "Z", "\\", ".", "1", "\x83\x41", "\x83\x61", "\x83\x5C", "\x82\xA0",
                                  "\xE0\x5A", "@", "["};
  std::string s;
  int n = static_cast<int>(next() % 6);
  for (int i = 0; i < n; ++i) s += kPieces[(next() >> 8) % 14];
  if (next() % 7 == 0) s += "\x83";
  return s;
}

TEST(HashOf, AgreesWithTheRuntimeFoldingOnRandomNames) {
  uint32_t seed = 7;
  for (int i = 0; i < 20000; ++i) {
    std::string a = RandomName(seed), b = RandomName(seed);
    std::string la = LowerCase(a);
    int expect = static_cast<int>(la.size() * 16 + (la.size() >= 2 ? static_cast<unsigned char>(la[la.size() - 2]) +
                                                                         static_cast<unsigned char>(la[0])
                                                                   : 0)) & 255;
    ASSERT_EQ(HashOf(a), expect) << a;
    ASSERT_EQ(SameName(a, b), SameText(a, b)) << a << " / " << b;
    std::string c = UpperCase(a);
    ASSERT_TRUE(SameName(a, c)) << a;
    ASSERT_EQ(HashOf(a), HashOf(c)) << a;
  }
}


TEST(HashCollection, NameIndexAgreesWithTheChainsUnderRandomChanges) {
  uint32_t seed = 11;
  auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
  THashCollection c;
  std::vector<std::string> probes;
  for (int step = 0; step < 6000; ++step) {
    uint32_t op = next() % 10;
    if (op < 4 || c.Count() == 0) {
      std::string n = RandomName(seed);
      if (next() % 2)
        AddNamed(c, n);
      else
        new TNamed(c, n);  // named from the start
      probes.push_back(n);
    } else if (op < 6) {
      std::string n = next() % 2 ? UpperCase(c.Item(static_cast<int>(next() % c.Count()))->Name()) : RandomName(seed);
      c.Item(static_cast<int>(next() % c.Count()))->SetName(n);
    } else if (op < 8) {
      c.Delete(static_cast<int>(next() % c.Count()));
    } else {
      c.Item(static_cast<int>(next() % c.Count()))->SetIndex(static_cast<int>(next() % c.Count()));
    }
    const std::string& probe = probes[next() % probes.size()];
    ASSERT_EQ(c.IndexOf(probe), c.IndexOfByChain(probe)) << "step " << step;
    ASSERT_EQ(c.IndexOf(LowerCase(probe)), c.IndexOfByChain(probe)) << "step " << step;
  }
  ExpectConsistent(c);
}

}  // namespace
}  // namespace zarn

#include "archive/hash.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zarn {
namespace {

class TNamed : public THashCollectionItem {
 public:
  explicit TNamed(THashCollection& c) : THashCollectionItem(c) {}
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

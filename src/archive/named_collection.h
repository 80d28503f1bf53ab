// An ordered, owning collection of named items with a 256-bucket hash index on the names.
// Names compare without regard to ASCII case, and hash the same way, so names that
// compare equal always share a bucket.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zarn {

class THashCollection;

// The bucket of a name: (length * 16 + first byte + second-to-last byte) mod 256, taken
// on the name in lower case; the empty name and one-byte names use the length alone.
int HashOf(const std::string& name);
// Whether two names are equal without regard to case, by the same folding.
bool SameName(std::string_view a, std::string_view b);

class THashCollectionItem {
 public:
  // Appends the item to `collection`, which owns it from then on; it starts unnamed.
  explicit THashCollectionItem(THashCollection& collection);
  // The same, named `name` from the start (linked once, not first unnamed and then again).
  THashCollectionItem(THashCollection& collection, std::string name);
  // Removes the item from its collection (the items after it move up by one).
  virtual ~THashCollectionItem();
  THashCollectionItem(const THashCollectionItem&) = delete;
  THashCollectionItem& operator=(const THashCollectionItem&) = delete;

  const std::string& Name() const { return name_; }
  // Renames and moves the item to its new bucket, unless the name is the same byte for byte.
  virtual void SetName(const std::string& value);
  // Takes the name of another item.
  virtual void Assign(const THashCollectionItem& source) { SetName(source.Name()); }
  // The name, or the class name for an unnamed item.
  std::string DisplayName() const { return name_.empty() ? ClassName() : name_; }
  virtual std::string ClassName() const { return "THashCollectionItem"; }

  int Index() const { return cachedIndex_; }
  // Moves the item to position `index` of its collection.
  void SetIndex(int index);
  int Bucket() const { return bucket_; }
  THashCollection& Collection() const { return collection_; }
  THashCollectionItem* NextInBucket() const { return next_; }

 protected:
  virtual void Link();
  void Unlink();

 private:
  friend class THashCollection;
  THashCollection& collection_;
  int bucket_ = 0;
  int cachedIndex_ = 0;
  std::string name_;
  THashCollectionItem* prev_ = nullptr;
  THashCollectionItem* next_ = nullptr;
  // Items whose names are equal but for case, the one linked last first.
  THashCollectionItem* samePrev_ = nullptr;
  THashCollectionItem* sameNext_ = nullptr;
};

class THashCollection {
 public:
  THashCollection() { heads_.fill(nullptr); }
  virtual ~THashCollection();
  THashCollection(const THashCollection&) = delete;
  THashCollection& operator=(const THashCollection&) = delete;

  int Count() const { return static_cast<int>(items_.size()); }
  // Raises EZarnError for an index out of range.
  THashCollectionItem* Item(int index) const;
  // The position of an item with that name (any case; the last one named wins), or -1.
  virtual int IndexOf(const std::string& name) const;
  // The same answer found by walking the name's bucket chain.
  int IndexOfByChain(const std::string& name) const;
  // Frees every item, from the last to the first.
  void Clear();
  // Frees the item at `index`.
  void Delete(int index);
  THashCollectionItem* BucketHead(int bucket) const { return heads_[static_cast<size_t>(bucket & 255)]; }
  // Makes room for `count` items in all, so that adding them moves nothing.
  void Reserve(int count);

 private:
  friend class THashCollectionItem;
  std::vector<THashCollectionItem*> items_;
  std::array<THashCollectionItem*, 256> heads_;
  // A name, without regard to case -> the item of that name linked last. The 256 chains hold
  // names of the same length and first and second-to-last characters together, which
  // for a game's files ("scenario\s0001.txt", ...) means thousands in one chain; this
  // index gives the same answer as walking them. The key is the head item's own name,
  // hashed and compared folded, so neither adding nor looking up makes a folded copy.
  struct FoldedHash {
    size_t operator()(std::string_view name) const;
  };
  struct FoldedEqual {
    bool operator()(std::string_view a, std::string_view b) const { return SameName(a, b); }
  };
  using NameIndex = std::unordered_map<std::string_view, THashCollectionItem*, FoldedHash, FoldedEqual>;
  // Makes `item` the head of its name's entry, the key pointing at its name.
  void SetHead(NameIndex::iterator it, THashCollectionItem* item);
  NameIndex byName_;
};

}  // namespace zarn

#include "platform/pe_resources.h"

#include <cstdint>
#include <cstring>

#include "runtime/byte_order.h"

namespace zarn {

namespace {

class PeImage {
 public:
  explicit PeImage(const std::string& bytes) : b_(bytes) {}

  bool U16(uint64_t off, uint32_t& v) const {
    if (off + 2 > b_.size()) return false;
    v = LoadLE16(At(off));
    return true;
  }
  bool U32(uint64_t off, uint32_t& v) const {
    if (off + 4 > b_.size()) return false;
    v = LoadLE32(At(off));
    return true;
  }

  // Locates the resource section; false when the file is no PE image.
  bool Open() {
    uint32_t lfanew, sig, sections, optSize, magic;
    if (b_.size() < 64 || b_[0] != 'M' || b_[1] != 'Z') return false;
    if (!U32(0x3C, lfanew) || !U32(lfanew, sig) || sig != 0x4550) return false;
    uint64_t coff = uint64_t(lfanew) + 4;
    if (!U16(coff + 2, sections) || !U16(coff + 16, optSize)) return false;
    uint64_t opt = coff + 20;
    if (!U16(opt, magic)) return false;
    uint64_t dirs = opt + (magic == 0x20B ? 112 : 96);
    uint32_t count;
    if (!U32(dirs - 4, count) || count < 3) return false;
    if (!U32(dirs + 16, resRva_) || !U32(dirs + 20, resSize_) || resRva_ == 0) return false;
    sectionTable_ = opt + optSize;
    sectionCount_ = sections;
    uint64_t off;
    if (!RvaToOffset(resRva_, off)) return false;
    resBase_ = off;
    return true;
  }

  bool RvaToOffset(uint32_t rva, uint64_t& off) const {
    for (uint32_t i = 0; i < sectionCount_ && i < 96; ++i) {
      uint64_t s = sectionTable_ + uint64_t(i) * 40;
      uint32_t vsize, va, rawSize, rawPtr;
      if (!U32(s + 8, vsize) || !U32(s + 12, va) || !U32(s + 16, rawSize) || !U32(s + 20, rawPtr)) return false;
      uint32_t span = vsize > rawSize ? vsize : rawSize;
      if (rva >= va && uint64_t(rva) < uint64_t(va) + span) {
        off = uint64_t(rawPtr) + (rva - va);
        return off <= b_.size();
      }
    }
    return false;
  }

  // Finds the entry matching `key` in the directory at `dirOff` (relative to the resource
  // base); returns its OffsetToData field.
  bool FindEntry(uint32_t dirOff, const std::string& key, bool first, uint32_t& target) const {
    uint64_t dir = resBase_ + dirOff;
    uint32_t named, ids;
    if (!U16(dir + 12, named) || !U16(dir + 14, ids)) return false;
    bool byId = !key.empty() && key[0] == '#';
    uint32_t id = 0;
    if (byId) {
      for (size_t i = 1; i < key.size(); ++i) {
        if (key[i] < '0' || key[i] > '9' || id > 0xFFFF) return false;
        id = id * 10 + (key[i] - '0');
      }
    }
    for (uint32_t i = 0; i < named + ids; ++i) {
      uint64_t e = dir + 16 + uint64_t(i) * 8;
      uint32_t nameField, dataField;
      if (!U32(e, nameField) || !U32(e + 4, dataField)) return false;
      if (first || (byId ? !(nameField & 0x80000000u) && nameField == id
                         : (nameField & 0x80000000u) && NameEquals(nameField & 0x7FFFFFFFu, key))) {
        target = dataField;
        return true;
      }
    }
    return false;
  }

  bool NameEquals(uint32_t off, const std::string& key) const {
    uint32_t len;
    uint64_t p = resBase_ + off;
    if (!U16(p, len) || len != key.size()) return false;
    for (uint32_t i = 0; i < len; ++i) {
      uint32_t ch;
      if (!U16(p + 2 + uint64_t(i) * 2, ch) || ch >= 0x80) return false;
      auto up = [](uint32_t c) { return c >= 'a' && c <= 'z' ? c - 32 : c; };
      if (up(ch) != up(static_cast<unsigned char>(key[i]))) return false;
    }
    return true;
  }

  bool Find(const std::string& name, const std::string& type, std::string& data) const {
    uint32_t t1, t2, t3;
    if (!FindEntry(0, type, false, t1) || !(t1 & 0x80000000u)) return false;
    if (!FindEntry(t1 & 0x7FFFFFFFu, name, false, t2) || !(t2 & 0x80000000u)) return false;
    if (!FindEntry(t2 & 0x7FFFFFFFu, "", true, t3) || (t3 & 0x80000000u)) return false;
    uint32_t rva, size;
    if (!U32(resBase_ + t3, rva) || !U32(resBase_ + t3 + 4, size)) return false;
    uint64_t off;
    if (!RvaToOffset(rva, off) || off + size > b_.size()) return false;
    data.assign(b_, static_cast<size_t>(off), size);
    return true;
  }

 private:
  const uint8_t* At(uint64_t off) const { return reinterpret_cast<const uint8_t*>(b_.data()) + off; }

  const std::string& b_;
  uint32_t resRva_ = 0, resSize_ = 0;
  uint64_t resBase_ = 0, sectionTable_ = 0;
  uint32_t sectionCount_ = 0;
};

}  // namespace

bool FindPeResource(const std::string& image, const std::string& name, const std::string& type, std::string& data) {
  PeImage pe(image);
  return pe.Open() && pe.Find(name, type, data);
}

}  // namespace zarn

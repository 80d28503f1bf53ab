#include "common/resource_writer.h"

#include <map>
#include <vector>

#include "runtime/error.h"
#include "runtime/sjis.h"

namespace zarn {

namespace {

[[noreturn]] void Fail(const std::string& why) { throw EFormatError("プログラムファイルにリソースを書き込めません: " + why); }

uint32_t Get16(const std::string& b, size_t at) {
  if (at + 2 > b.size()) Fail("短すぎます");
  return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8;
}
uint32_t Get32(const std::string& b, size_t at) { return Get16(b, at) | Get16(b, at + 2) << 16; }
void Put16(std::string& b, size_t at, uint32_t v) {
  b[at] = char(v & 0xFF);
  b[at + 1] = char((v >> 8) & 0xFF);
}
void Put32(std::string& b, size_t at, uint32_t v) {
  Put16(b, at, v & 0xFFFF);
  Put16(b, at + 2, v >> 16);
}
uint32_t AlignUp(uint32_t v, uint32_t a) { return a ? (v + a - 1) / a * a : v; }

// A directory entry's key: a name (stored in upper case) or a number. Named entries come
// first, in ascending order of their UTF-16 units, then numbers in ascending order: the
// system looks entries up by binary search.
struct Key {
  bool named = false;
  uint32_t id = 0;
  std::u16string name;
  bool operator<(const Key& o) const {
    if (named != o.named) return named;
    return named ? name < o.name : id < o.id;
  }
};

struct Leaf {
  std::string data;
  uint32_t codePage = 0;
};
using Languages = std::map<uint32_t, Leaf>;
using Names = std::map<Key, Languages>;
using Types = std::map<Key, Names>;

Key KeyOf(const std::string& text) {
  Key k;
  if (!text.empty() && text[0] == '#') {
    k.id = static_cast<uint32_t>(StrToInt(text.substr(1)));
    if (k.id > 0xFFFF) Fail("番号が大きすぎます");
    return k;
  }
  if (text.empty()) Fail("名前が空です");
  k.named = true;
  for (char c : UpperCase(text)) {
    if (static_cast<unsigned char>(c) >= 0x80) Fail("名前は英数字だけにしてください");
    k.name += static_cast<char16_t>(c);
  }
  return k;
}

struct Section {
  uint32_t virtualSize, virtualAddress, rawSize, rawPointer;
};

struct Image {
  const std::string& bytes;
  size_t peOffset = 0, optOffset = 0, sectionTable = 0;
  uint32_t sectionCount = 0, optSize = 0;
  std::vector<Section> sections;

  explicit Image(const std::string& b) : bytes(b) {
    if (b.size() < 0x40 || b[0] != 'M' || b[1] != 'Z') Fail("Windows のプログラムではありません");
    peOffset = Get32(b, 0x3C);
    if (Get32(b, peOffset) != 0x4550) Fail("PE 形式ではありません");
    sectionCount = Get16(b, peOffset + 6);
    optSize = Get16(b, peOffset + 20);
    optOffset = peOffset + 24;
    if (Get16(b, optOffset) != 0x10B) Fail("32 ビットのプログラムではありません");
    if (optSize < 96 + 8 * 5 || Get32(b, optOffset + 92) < 5) Fail("ヘッダが壊れています");
    sectionTable = optOffset + optSize;
    for (uint32_t i = 0; i < sectionCount; ++i) {
      size_t at = sectionTable + 40 * i;
      Section s{Get32(b, at + 8), Get32(b, at + 12), Get32(b, at + 16), Get32(b, at + 20)};
      if (uint64_t(s.rawPointer) + s.rawSize > b.size()) Fail("セクションが壊れています");
      sections.push_back(s);
    }
  }
  // File offset of `size` bytes at an address; fails when they do not lie in a section.
  size_t OffsetOf(uint32_t rva, uint32_t size) const {
    for (const Section& s : sections) {
      uint32_t extent = s.rawSize < s.virtualSize || s.virtualSize == 0 ? s.rawSize : s.virtualSize;
      if (rva >= s.virtualAddress && uint64_t(rva) + size <= uint64_t(s.virtualAddress) + extent)
        return s.rawPointer + (rva - s.virtualAddress);
    }
    Fail("リソースがセクションの外にあります");
  }
};

// Reads the resource tree (three levels: type, name, language).
class TreeReader {
 public:
  TreeReader(const Image& image, uint32_t rva, uint32_t size) : image_(image), base_(image.OffsetOf(rva, size)), size_(size) {}

  void Read(Types& types) {
    ForEach(0, [&](const Key& type, uint32_t target, bool dir) {
      if (!dir) Fail("リソースの種類が壊れています");
      Names& names = types[type];
      ForEach(target, [&](const Key& name, uint32_t target2, bool dir2) {
        if (!dir2) Fail("リソースの名前が壊れています");
        Languages& languages = names[name];
        ForEach(target2, [&](const Key& language, uint32_t entry, bool dir3) {
          if (dir3 || language.named) Fail("リソースの言語が壊れています");
          uint32_t dataRva = Get32(Bytes(entry, 16), 0);
          uint32_t dataSize = Get32(Bytes(entry, 16), 4);
          Leaf leaf;
          leaf.codePage = Get32(Bytes(entry, 16), 8);
          leaf.data = image_.bytes.substr(image_.OffsetOf(dataRva, dataSize), dataSize);
          languages[language.id] = leaf;
        });
      });
    });
  }

 private:
  // `n` bytes at a section-relative offset, bounds checked.
  std::string Bytes(uint32_t offset, uint32_t n) {
    if (uint64_t(offset) + n > size_) Fail("リソースディレクトリが壊れています");
    return image_.bytes.substr(base_ + offset, n);
  }
  template <typename F>
  void ForEach(uint32_t dirOffset, F each) {
    if (++visited_ > 100000) Fail("リソースディレクトリが壊れています");
    std::string head = Bytes(dirOffset, 16);
    uint32_t count = Get16(head, 12) + Get16(head, 14);
    std::string entries = Bytes(dirOffset + 16, 8 * count);
    for (uint32_t i = 0; i < count; ++i) {
      uint32_t nameField = Get32(entries, 8 * i), target = Get32(entries, 8 * i + 4);
      Key key;
      if (nameField & 0x80000000u) {
        uint32_t at = nameField & 0x7FFFFFFFu;
        uint32_t length = Get16(Bytes(at, 2), 0);
        std::string units = Bytes(at + 2, 2 * length);
        key.named = true;
        for (uint32_t k = 0; k < length; ++k) key.name += static_cast<char16_t>(Get16(units, 2 * k));
      } else {
        key.id = nameField & 0xFFFF;
      }
      bool dir = (target & 0x80000000u) != 0;
      each(key, target & 0x7FFFFFFFu, dir);
    }
  }

  const Image& image_;
  size_t base_;
  uint32_t size_;
  int visited_ = 0;
};

// Lays the tree out as a resource section placed at address `rva`.
std::string WriteTree(const Types& types, uint32_t rva) {
  auto dirSize = [](size_t entries) { return uint32_t(16 + 8 * entries); };
  // Pass 1: offsets of every part.
  uint32_t offset = dirSize(types.size());
  std::vector<uint32_t> typeDirs, nameDirs;
  for (const auto& t : types) {
    typeDirs.push_back(offset);
    offset += dirSize(t.second.size());
  }
  for (const auto& t : types)
    for (const auto& n : t.second) {
      nameDirs.push_back(offset);
      offset += dirSize(n.second.size());
    }
  uint32_t entries = offset;
  for (const auto& t : types)
    for (const auto& n : t.second) offset += uint32_t(16 * n.second.size());
  std::map<std::u16string, uint32_t> strings;
  for (const auto& t : types) {
    if (t.first.named) strings.emplace(t.first.name, 0);
    for (const auto& n : t.second)
      if (n.first.named) strings.emplace(n.first.name, 0);
  }
  for (auto& s : strings) {
    s.second = offset;
    offset += uint32_t(2 + 2 * s.first.size());
  }
  offset = AlignUp(offset, 8);

  std::string out(offset, '\0');
  auto putDir = [&](uint32_t at, const auto& children, auto target) {
    uint32_t named = 0, ids = 0;
    for (const auto& c : children) (c.first.named ? named : ids)++;
    Put16(out, at + 12, named);
    Put16(out, at + 14, ids);
    uint32_t i = 0;
    for (const auto& c : children) {
      uint32_t nameField = c.first.named ? 0x80000000u | strings.at(c.first.name) : c.first.id;
      Put32(out, at + 16 + 8 * i, nameField);
      Put32(out, at + 20 + 8 * i, target(i));
      ++i;
    }
  };
  putDir(0, types, [&](uint32_t i) { return 0x80000000u | typeDirs[i]; });
  size_t nameIndex = 0;
  uint32_t entry = entries;
  for (size_t ti = 0; ti < types.size(); ++ti) {
    const Names& names = std::next(types.begin(), long(ti))->second;
    size_t first = nameIndex;
    putDir(typeDirs[ti], names, [&](uint32_t i) { return 0x80000000u | nameDirs[first + i]; });
    for (const auto& n : names) {
      uint32_t at = nameDirs[nameIndex++];
      Put16(out, at + 14, uint32_t(n.second.size()));
      uint32_t i = 0;
      for (const auto& l : n.second) {
        Put32(out, at + 16 + 8 * i, l.first);
        Put32(out, at + 20 + 8 * i, entry);
        // The data follows the tables, each piece 8-byte aligned.
        uint32_t dataAt = uint32_t(out.size());
        out += l.second.data;
        out.resize(AlignUp(uint32_t(out.size()), 8), '\0');
        Put32(out, entry, rva + dataAt);
        Put32(out, entry + 4, uint32_t(l.second.data.size()));
        Put32(out, entry + 8, l.second.codePage);
        entry += 16;
        ++i;
      }
    }
  }
  for (const auto& s : strings) {
    Put16(out, s.second, uint32_t(s.first.size()));
    for (size_t k = 0; k < s.first.size(); ++k) Put16(out, s.second + 2 + 2 * k, s.first[k]);
  }
  return out;
}

}  // namespace

std::string AddPeResource(const std::string& imageBytes, const std::string& name, const std::string& type,
                          const std::string& data, uint16_t language) {
  if (data.size() > 0x40000000u) Fail("データが大きすぎます");
  Image image(imageBytes);
  const size_t opt = image.optOffset;
  const uint32_t sectionAlignment = Get32(imageBytes, opt + 32), fileAlignment = Get32(imageBytes, opt + 36);
  const uint32_t sizeOfHeaders = Get32(imageBytes, opt + 60);
  if (sectionAlignment == 0 || fileAlignment == 0) Fail("ヘッダが壊れています");

  uint32_t imageEnd = 0, fileEnd = sizeOfHeaders, firstRaw = UINT32_MAX;
  for (const Section& s : image.sections) {
    imageEnd = std::max(imageEnd, AlignUp(s.virtualAddress + std::max(s.virtualSize, s.rawSize), sectionAlignment));
    if (s.rawSize) {
      fileEnd = std::max(fileEnd, s.rawPointer + s.rawSize);
      firstRaw = std::min(firstRaw, s.rawPointer);
    }
  }
  // The certificate table is the only data directory given as a file offset; a signature
  // would not survive the change anyway, so it is dropped.
  const size_t certificate = opt + 96 + 8 * 4;
  uint32_t certificateAt = Get32(imageBytes, certificate), certificateSize = Get32(imageBytes, certificate + 4);
  size_t contentEnd = imageBytes.size();
  if (certificateSize && uint64_t(certificateAt) + certificateSize == imageBytes.size() && certificateAt >= fileEnd)
    contentEnd = certificateAt;
  if (contentEnd > fileEnd) Fail("最後のセクションの後にデータがあります");
  Types types;
  const size_t resources = opt + 96 + 8 * 2;
  uint32_t resourceRva = Get32(imageBytes, resources), resourceSize = Get32(imageBytes, resources + 4);
  if (resourceRva && resourceSize) TreeReader(image, resourceRva, resourceSize).Read(types);
  Leaf leaf;
  leaf.data = data;
  types[KeyOf(type)][KeyOf(name)][language] = leaf;

  // A resource section that is the last section of the image, in memory and in the file,
  // is rewritten where it stands (as a second call finds the section the first one
  // added); otherwise a new section follows the last one.
  int reuse = -1;
  for (uint32_t i = 0; i < image.sectionCount; ++i) {
    const Section& s = image.sections[i];
    if (resourceRva && s.virtualAddress == resourceRva && s.rawSize &&
        AlignUp(s.virtualAddress + std::max(s.virtualSize, s.rawSize), sectionAlignment) == imageEnd &&
        s.rawPointer + s.rawSize == fileEnd)
      reuse = static_cast<int>(i);
  }
  const size_t header = reuse >= 0 ? image.sectionTable + 40 * size_t(reuse)
                                   : image.sectionTable + 40 * size_t(image.sectionCount);
  if (reuse < 0 && (header + 40 > sizeOfHeaders || header + 40 > firstRaw))
    Fail("セクションを追加する場所がありません");
  const uint32_t newRva = reuse >= 0 ? image.sections[reuse].virtualAddress : imageEnd;
  const uint32_t rawPointer = reuse >= 0 ? image.sections[reuse].rawPointer : AlignUp(fileEnd, fileAlignment);
  const uint32_t oldRawSize = reuse >= 0 ? image.sections[reuse].rawSize : 0;
  std::string section = WriteTree(types, newRva);
  const uint32_t rawSize = AlignUp(uint32_t(section.size()), fileAlignment);

  std::string out = imageBytes.substr(0, std::min<size_t>(fileEnd, rawPointer));
  out.resize(rawPointer, '\0');
  out += section;
  out.resize(size_t(rawPointer) + rawSize, '\0');
  if (reuse < 0) {
    static const char kName[8] = {'.', 'r', 's', 'r', 'c', 0, 0, 0};
    out.replace(header, 8, kName, 8);
    Put32(out, header + 12, newRva);
    Put32(out, header + 20, rawPointer);
    for (int k = 24; k < 36; ++k) out[header + k] = 0;
    Put32(out, header + 36, 0x40000040u);  // initialised data, readable
    Put16(out, image.peOffset + 6, image.sectionCount + 1);
  }
  Put32(out, header + 8, uint32_t(section.size()));
  Put32(out, header + 16, rawSize);
  Put32(out, opt + 8, Get32(out, opt + 8) - oldRawSize + rawSize);  // size of initialised data
  Put32(out, opt + 56, AlignUp(newRva + uint32_t(section.size()), sectionAlignment));  // size of image
  Put32(out, opt + 64, 0);  // checksum: not checked for programs
  Put32(out, resources, newRva);
  Put32(out, resources + 4, uint32_t(section.size()));
  Put32(out, certificate, 0);
  Put32(out, certificate + 4, 0);
  return out;
}

}  // namespace zarn

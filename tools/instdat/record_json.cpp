#include "record_json.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <vector>

namespace zarn {
namespace instdat {

namespace {

// A game on more discs than this is a typing mistake, not a product.
constexpr int64_t kMaxDiscs = 9999;

const char* const kDiscArrays[] = {"DiscProgramSizes", "DiscDataSizes", "DiscSoundSizes", "DiscMovieSizes"};

std::string Utf8(Platform& p, const std::string& sjis) { return p.SjisToUtf8(sjis); }

Json List(Platform& p, const TStringList& list) {
  Json a = Json::array();
  for (const std::string& s : list) a.push_back(Utf8(p, s));
  return a;
}

std::string TypeName(const Json& v) { return v.type_name(); }

std::string Text(Platform& p, const std::string& key, const Json& v) {
  if (!v.is_string()) throw JsonError("\"" + key + "\" must be a string, not " + TypeName(v));
  const std::string& utf8 = v.get_ref<const std::string&>();
  std::string sjis = p.Utf8ToSjis(utf8);
  if (p.SjisToUtf8(sjis) != utf8)
    throw JsonError("\"" + key + "\" holds characters that Shift-JIS (code page 932) cannot represent");
  return sjis;
}

int64_t Integer(const std::string& key, const Json& v, int64_t min, int64_t max) {
  if (!v.is_number_integer()) throw JsonError("\"" + key + "\" must be an integer, not " + TypeName(v));
  bool inRange;
  int64_t n = 0;
  if (v.is_number_unsigned()) {
    uint64_t u = v.get<uint64_t>();
    inRange = u <= static_cast<uint64_t>(max);
    n = inRange ? static_cast<int64_t>(u) : 0;
  } else {
    n = v.get<int64_t>();
    inRange = n >= min && n <= max;
  }
  if (!inRange)
    throw JsonError("\"" + key + "\" must lie between " + std::to_string(min) + " and " + std::to_string(max) +
                    ", not " + v.dump());
  return n;
}

bool Flag(const std::string& key, const Json& v) {
  if (!v.is_boolean()) throw JsonError("\"" + key + "\" must be true or false, not " + TypeName(v));
  return v.get<bool>();
}

void FillList(Platform& p, const std::string& key, const Json& v, TStringList& list) {
  if (!v.is_array()) throw JsonError("\"" + key + "\" must be an array of strings, not " + TypeName(v));
  list.Clear();
  for (size_t i = 0; i < v.size(); ++i) list.Add(Text(p, key + "[" + std::to_string(i) + "]", v[i]));
}

}  // namespace

Json RecordToJson(Platform& p, const TZarnInstallSet& r, int version) {
  Json j = Json::object();
  j["Version"] = version;
  j["DiscCount"] = r.DiscCount;
  j["InstalledFiles"] = List(p, r.InstalledFiles);
  j["SetupCaption"] = Utf8(p, r.SetupCaption);
  j["DiscIndex"] = r.DiscIndex;
  j["Title"] = Utf8(p, r.Title);
  j["SplashText"] = Utf8(p, r.SplashText);
  j["DefaultDir"] = Utf8(p, r.DefaultDir);
  j["ReadmeFile"] = Utf8(p, r.ReadmeFile);
  j["InstallKind"] = r.InstallKind;
  j["OpenReadme"] = r.OpenReadme;
  j["BackImage"] = Utf8(p, r.BackImage);
  j["BackLayout"] = r.BackLayout;
  j["ProgramFile"] = Utf8(p, r.ProgramFile);
  j["ImageKey"] = r.ImageKey;
  j["RuntimeSetup"] = r.RuntimeSetup;
  j["ReservedFlag"] = r.ReservedFlag;
  j["MediaName"] = Utf8(p, r.MediaName);
  j["RegistryKey"] = Utf8(p, r.RegistryKey);
  j["DiscProgramSizes"] = r.DiscProgramSizes;
  j["DiscDataSizes"] = r.DiscDataSizes;
  j["DiscSoundSizes"] = r.DiscSoundSizes;
  j["DiscMovieSizes"] = r.DiscMovieSizes;
  j["ProgramSize"] = r.ProgramSize;
  j["DataSize"] = r.DataSize;
  j["SoundSize"] = r.SoundSize;
  j["MovieSize"] = r.MovieSize;
  j["Installed"] = r.Installed;
  j["UpdateMode"] = r.UpdateMode;
  j["DataInstalled"] = r.DataInstalled;
  j["FilesInArchive"] = r.FilesInArchive;
  j["DiscFiles"] = List(p, r.DiscFiles);
  j["HelloText"] = Utf8(p, r.HelloText);
  j["LicenseText"] = Utf8(p, r.LicenseText);
  return j;
}

TZarnInstallSet RecordFromJson(Platform& p, const Json& j) {
  if (!j.is_object()) throw JsonError("the JSON must be one object, not " + TypeName(j));
  TZarnInstallSet r;
  using Setter = std::function<void(const std::string&, const Json&)>;
  auto text = [&p](std::string& field) -> Setter {
    return [&p, &field](const std::string& k, const Json& v) { field = Text(p, k, v); };
  };
  auto flag = [](bool& field) -> Setter {
    return [&field](const std::string& k, const Json& v) { field = Flag(k, v); };
  };
  auto byte = [](uint8_t& field) -> Setter {
    return [&field](const std::string& k, const Json& v) { field = static_cast<uint8_t>(Integer(k, v, 0, 255)); };
  };
  auto int64 = [](int64_t& field) -> Setter {
    return [&field](const std::string& k, const Json& v) {
      field = Integer(k, v, std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max());
    };
  };
  auto list = [&p](TStringList& field) -> Setter {
    return [&p, &field](const std::string& k, const Json& v) { FillList(p, k, v, field); };
  };
  const std::map<std::string, Setter> setters = {
      {"InstalledFiles", list(r.InstalledFiles)},
      {"SetupCaption", text(r.SetupCaption)},
      {"DiscIndex",
       [&r](const std::string& k, const Json& v) {
         r.DiscIndex = static_cast<int32_t>(Integer(k, v, INT32_MIN, INT32_MAX));
       }},
      {"Title", text(r.Title)},
      {"SplashText", text(r.SplashText)},
      {"DefaultDir", text(r.DefaultDir)},
      {"ReadmeFile", text(r.ReadmeFile)},
      {"InstallKind", byte(r.InstallKind)},
      {"OpenReadme", flag(r.OpenReadme)},
      {"BackImage", text(r.BackImage)},
      {"BackLayout", byte(r.BackLayout)},
      {"ProgramFile", text(r.ProgramFile)},
      {"ImageKey",
       [&r](const std::string& k, const Json& v) { r.ImageKey = static_cast<uint32_t>(Integer(k, v, 0, UINT32_MAX)); }},
      {"RuntimeSetup", flag(r.RuntimeSetup)},
      {"ReservedFlag", byte(r.ReservedFlag)},
      {"MediaName", text(r.MediaName)},
      {"RegistryKey", text(r.RegistryKey)},
      {"ProgramSize", int64(r.ProgramSize)},
      {"DataSize", int64(r.DataSize)},
      {"SoundSize", int64(r.SoundSize)},
      {"MovieSize", int64(r.MovieSize)},
      {"Installed", flag(r.Installed)},
      {"UpdateMode", flag(r.UpdateMode)},
      {"DataInstalled", flag(r.DataInstalled)},
      {"FilesInArchive", flag(r.FilesInArchive)},
      {"DiscFiles", list(r.DiscFiles)},
      {"HelloText", text(r.HelloText)},
      {"LicenseText", text(r.LicenseText)},
  };

  std::optional<int64_t> discCount;
  std::map<std::string, std::vector<int64_t>> discSizes;
  for (const auto& item : j.items()) {
    const std::string& key = item.key();
    const Json& v = item.value();
    if (key == "Version") {
      Integer(key, v, 0, 999);  // as dump prints it; the file is always written as 108
    } else if (key == "DiscCount") {
      discCount = Integer(key, v, 0, kMaxDiscs);
    } else if (std::find(std::begin(kDiscArrays), std::end(kDiscArrays), key) != std::end(kDiscArrays)) {
      if (!v.is_array()) throw JsonError("\"" + key + "\" must be an array of integers, not " + TypeName(v));
      if (static_cast<int64_t>(v.size()) > kMaxDiscs)
        throw JsonError("\"" + key + "\" has more than " + std::to_string(kMaxDiscs) + " entries");
      std::vector<int64_t>& sizes = discSizes[key];
      for (size_t i = 0; i < v.size(); ++i)
        sizes.push_back(Integer(key + "[" + std::to_string(i) + "]", v[i], std::numeric_limits<int64_t>::min(),
                                std::numeric_limits<int64_t>::max()));
    } else {
      auto s = setters.find(key);
      if (s == setters.end()) throw JsonError("unknown key \"" + key + "\"");
      s->second(key, v);
    }
  }

  // Without DiscCount the arrays give it; either way every array given has that length.
  if (!discCount && !discSizes.empty()) discCount = static_cast<int64_t>(discSizes.begin()->second.size());
  const int32_t discs = static_cast<int32_t>(discCount.value_or(0));
  for (const auto& a : discSizes)
    if (static_cast<int64_t>(a.second.size()) != discs)
      throw JsonError("\"" + a.first + "\" has " + std::to_string(a.second.size()) + " entries, but there are " +
                      std::to_string(discs) + " discs (DiscCount or the other per-disc arrays)");
  r.SetDiscCount(discs);
  for (const auto& a : discSizes) {
    if (a.first == "DiscProgramSizes") r.DiscProgramSizes = a.second;
    if (a.first == "DiscDataSizes") r.DiscDataSizes = a.second;
    if (a.first == "DiscSoundSizes") r.DiscSoundSizes = a.second;
    if (a.first == "DiscMovieSizes") r.DiscMovieSizes = a.second;
  }
  return r;
}

}  // namespace instdat
}  // namespace zarn

// The settings record as JSON: keys are the field names in declared order, after
// "Version"; texts are UTF-8 (the record holds Shift-JIS).
#pragma once

#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>

#include "platform/platform.h"
#include "settings/install_settings.h"

namespace zarn {
namespace instdat {

using Json = nlohmann::ordered_json;

// JSON that does not describe a record; the message is UTF-8 and names the key.
class JsonError : public std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The record and the version it was read as.
Json RecordToJson(Platform& platform, const TZarnInstallSet& record, int version);
// Fills a new record from JSON; absent keys keep the new-record values. Raises JsonError
// on an unknown key, a value of the wrong type or range, or a text Shift-JIS cannot hold.
TZarnInstallSet RecordFromJson(Platform& platform, const Json& json);

}  // namespace instdat
}  // namespace zarn

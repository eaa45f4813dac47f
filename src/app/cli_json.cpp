#include "app/cli_json.h"

#include <string>

#include "decoders/decode_error.h"

namespace quarvel::cli {

Json JsonObject(int formatVersion) { return Json{{"format_version", formatVersion}}; }

void WriteJsonLine(std::ostream& out, const Json& object) {
  out << object.dump(-1, ' ', false, Json::error_handler_t::replace) << '\n';
}

void AddOffset(Json& object, const char* key, std::uint64_t value) {
  object[key] = value;
  object[std::string(key) + "_hex"] = HexOffset(value);
}

}  // namespace quarvel::cli

// The JSON that quarvel-cli writes with --json: one compact object a line (JSON Lines).
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <ostream>

namespace quarvel::cli {

using Json = nlohmann::ordered_json;

// An object that begins with its "format_version": the version of its shape, raised
// whenever a key changes its meaning or goes.
Json JsonObject(int formatVersion);

// `object` on one line of its own, text that is not UTF-8 written with replacement
// characters.
void WriteJsonLine(std::ostream& out, const Json& object);

// An offset or a size as a number and as "0x..." text: {"offset": 4096, "offset_hex": "0x1000"}.
void AddOffset(Json& object, const char* key, std::uint64_t value);

}  // namespace quarvel::cli

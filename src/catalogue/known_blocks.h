// The games' known blocks as the project keeps them (data/catalogues/*.tsv): facts about
// the ROM image they belong to, then one block a line, "OFFSET<TAB>LETTER<TAB>description".
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "common/expected.h"

namespace quarvel {

struct KnownBlocks {
  std::map<std::string, std::string> facts;  // of the "# key<TAB>value" lines: "md5", "serial", ...
  std::vector<std::string> entries;          // as catalogue entries (FormatEntry)
};

// The facts and entries of a file's text; fails naming the first line that is neither.
Expected<KnownBlocks, std::string> ParseKnownBlocks(std::string_view text);

}  // namespace quarvel

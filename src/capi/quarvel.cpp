// The C library (include/quarvel/quarvel.h) over the codecs: each function checks what it
// is given as the command line does, and turns every failure, thrown ones included, into
// -1 and a reason.
#include "quarvel/quarvel.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/ascii.h"
#include "formats/accurate_check.h"
#include "formats/format_table.h"
#include "report/report_json.h"
#include "rom/rom_layout.h"

namespace quarvel {
namespace {

using Bytes = std::span<const std::uint8_t>;

// Why a call failed; empty when it did not.
using Problem = std::string;

void Say(char* error, std::size_t size, std::string_view message) {
  if (error == nullptr || size == 0) return;
  const std::size_t length = std::min(message.size(), size - 1);
  std::memcpy(error, message.data(), length);
  error[length] = '\0';
}

// Runs `work`, which returns its problem; -1 and the problem in `error` when there is one
// or when anything is thrown, else 0.
template <class Work>
int Guarded(char* error, std::size_t errorSize, Work work) {
  try {
    const Problem problem = work();
    if (problem.empty()) return 0;
    Say(error, errorSize, problem);
  } catch (const std::bad_alloc&) {
    Say(error, errorSize, "out of memory");
  } catch (const std::exception& e) {
    Say(error, errorSize, e.what());
  } catch (...) {
    Say(error, errorSize, "an unexpected failure");
  }
  return -1;
}

// Memory the caller frees with quarvel_free, holding `bytes` (and a NUL after them).
template <class T>
T* Handed(std::span<const std::uint8_t> bytes) {
  void* copy = std::malloc(bytes.size() + 1);
  if (copy == nullptr) throw std::bad_alloc();
  if (!bytes.empty()) std::memcpy(copy, bytes.data(), bytes.size());
  static_cast<char*>(copy)[bytes.size()] = '\0';
  return static_cast<T*>(copy);
}

// `json` as text (bytes that are not UTF-8, from a ROM header, as replacement characters).
char* HandedJson(const nlohmann::ordered_json& json) {
  const std::string text = json.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
  return Handed<char>({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

// 'text'
std::string Quoted(std::string_view text) { return std::string("'").append(text).append("'"); }

// The format `name` names, or the problem: "'x' is not a format: kosinski, ... (or kos, ...)".
Expected<Format, Problem> FormatOf(const char* name) {
  if (name == nullptr) return Fail(Problem("no format named"));
  const std::string_view given(name, strnlen(name, 64));
  if (const FormatInfo* info = FormatNamed(given)) return info->format;
  std::string names, shortNames;
  for (const auto& info : Formats()) {
    names.append(names.empty() ? "" : ", ").append(info.name);
    shortNames.append(shortNames.empty() ? "" : ", ").append(info.shortName);
  }
  return Fail(Quoted(given) + " is not a format: " + names + " (or " + shortNames + ")");
}

// `size` bytes at `bytes`, of at most `limit` (`what` says why), or the problem.
Expected<Bytes, Problem> Input(const unsigned char* bytes, std::size_t size, std::uint64_t limit, std::string_view what) {
  if (bytes == nullptr && size != 0) return Fail(Problem("no bytes given (a null pointer)"));
  if (size > limit) return Fail(std::to_string(size) + " bytes given; " + std::string(what));
  return Bytes(bytes, size);
}

constexpr std::string_view kRomLimit = "a ROM image is read up to 64 MiB";

// A ROM image as a file holds it: the plain image, de-interleaved from a dump (`held`
// then holds it), and how the file held it.
Bytes PlainOf(Bytes file, std::vector<std::uint8_t>& held, RomLayout& layout) {
  layout = DetectLayout(file);
  if (layout != RomLayout::Interleaved) return file;
  held = Deinterleave(file);
  return held;
}

// Sets the results the caller gets to nothing, for a failure; false when there is nowhere to put them.
template <class T>
bool Cleared(T** out, std::size_t* outSize = nullptr) {
  if (out != nullptr) *out = nullptr;
  if (outSize != nullptr) *outSize = 0;
  return out != nullptr;
}

// The JSON functions' shape: `report` of the checked input, handed back in `*json`.
template <class Report>
int JsonResult(char** json, char* error, std::size_t errorSize, Report report) {
  const bool given = Cleared(json);
  return Guarded(error, errorSize, [&]() -> Problem {
    if (!given) return "no place given for the result";
    auto made = report();
    if (!made) return made.error();
    *json = HandedJson(*made);
    return {};
  });
}

}  // namespace
}  // namespace quarvel

using namespace quarvel;

extern "C" {

const char* quarvel_version(void) { return QUARVEL_VERSION; }

int quarvel_decode(const char* format, const unsigned char* src, std::size_t src_size, std::size_t offset,
                   unsigned char** out, std::size_t* out_size, char* error, std::size_t error_size) {
  const bool given = Cleared(out, out_size) && out_size != nullptr;
  return Guarded(error, error_size, [&]() -> Problem {
    if (!given) return "no place given for the result";
    const auto chosen = FormatOf(format);
    if (!chosen) return chosen.error();
    const auto file = Input(src, src_size, kRomImageLimit, kRomLimit);
    if (!file) return file.error();
    std::vector<std::uint8_t> held;
    RomLayout layout;
    const Bytes image = PlainOf(*file, held, layout);
    constexpr auto kLargest = static_cast<std::size_t>(std::numeric_limits<std::int64_t>::max());
    const auto block = DecodeBlock(*chosen, image, static_cast<std::int64_t>(std::min(offset, kLargest)));
    if (!block) return block.error().message;
    *out = Handed<unsigned char>(block->bytes);
    *out_size = block->bytes.size();
    return {};
  });
}

int quarvel_compress(const char* format, const char* mode, const unsigned char* data, std::size_t size,
                     unsigned char** out, std::size_t* out_size, char* error, std::size_t error_size) {
  const bool given = Cleared(out, out_size) && out_size != nullptr;
  return Guarded(error, error_size, [&]() -> Problem {
    if (!given) return "no place given for the result";
    const auto chosen = FormatOf(format);
    if (!chosen) return chosen.error();
    // The games whose compressors wrote differently, and whether their Nemesis blocks are padded.
    constexpr std::pair<std::string_view, bool> kGames[] = {
        {"s1", false}, {"s2", false}, {"s3", true}, {"sk", true}, {"s3k", true}};
    const std::string_view asked = mode == nullptr ? "smallest" : std::string_view(mode, strnlen(mode, 16));
    const auto game = std::find_if(std::begin(kGames), std::end(kGames),
                                   [asked](const auto& g) { return EqualIgnoringAsciiCase(asked, g.first); });
    if (game == std::end(kGames) && !EqualIgnoringAsciiCase(asked, "smallest"))
      return Quoted(asked) + " is not a mode: smallest, s1, s2, s3, sk or s3k";
    const FormatInfo& info = InfoOf(*chosen);
    const auto input = Input(data, size, info.largestData,
                             "a " + std::string(info.title) + " block holds at most " + std::string(info.largestText));
    if (!input) return input.error();
    const FormatCodec& codec = CodecOf(*chosen);
    const auto block = game == std::end(kGames) ? codec.compress(*input)
                                                : codec.compressAccurate(*input, {.evenLength = game->second, .headerSize = {}});
    if (!block) return block.error();
    *out = Handed<unsigned char>(*block);
    *out_size = block->size();
    return {};
  });
}

int quarvel_check_accurate(const char* format, const unsigned char* block, std::size_t size, char** json, char* error,
                           std::size_t error_size) {
  return JsonResult(json, error, error_size, [&]() -> Expected<nlohmann::ordered_json, Problem> {
    const auto chosen = FormatOf(format);
    if (!chosen) return Fail(chosen.error());
    const auto input = Input(block, size, kRomImageLimit, kRomLimit);
    if (!input) return Fail(input.error());
    const auto check = CheckAccurate(*chosen, *input);
    if (!check) return Fail("the block is no " + std::string(InfoOf(*chosen).title) + " block: " + check.error().message);
    return AccurateCheckJson(*check);
  });
}

int quarvel_scan(const unsigned char* rom, std::size_t size, char** json, char* error, std::size_t error_size) {
  return JsonResult(json, error, error_size, [&]() -> Expected<nlohmann::ordered_json, Problem> {
    const auto file = Input(rom, size, kRomImageLimit, kRomLimit);
    if (!file) return Fail(file.error());
    std::vector<std::uint8_t> held;
    RomLayout layout;
    const auto found = ScanRom(PlainOf(*file, held, layout), {});
    if (!found) return Fail(found.error().message);
    auto blocks = nlohmann::ordered_json::array();
    for (const auto& candidate : *found) blocks.push_back(ScanCandidateJson(candidate));
    return blocks;
  });
}

int quarvel_identify(const unsigned char* rom, std::size_t size, char** json, char* error, std::size_t error_size) {
  return JsonResult(json, error, error_size, [&]() -> Expected<nlohmann::ordered_json, Problem> {
    const auto file = Input(rom, size, kRomImageLimit, kRomLimit);
    if (!file) return Fail(file.error());
    std::vector<std::uint8_t> held;
    RomLayout layout;
    const Bytes image = PlainOf(*file, held, layout);
    if (image.size() < 0x200)
      return Fail("the image holds " + std::to_string(image.size()) + " bytes, too few for a Mega Drive header (512)");
    return RomInfoJson(image, layout);
  });
}

void quarvel_free(void* p) { std::free(p); }

}  // extern "C"

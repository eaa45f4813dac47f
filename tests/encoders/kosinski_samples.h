// Kosinski samples of many shapes, and the greedy parse that the optimal one is held
// against: shared by the compressor's tests and its benchmark.
#pragma once

#include <random>
#include <string>
#include <vector>

#include "encoders/kosinski_matches.h"
#include "encoders/kosinski_writer.h"
#include "support/bytes.h"

namespace quarvel::testing {

// The baseline: at each position the longest copy there is, else a literal.
inline Bytes CompressGreedy(const Bytes& data) {
  const auto matches = FindKosinskiMatches(data);
  KosinskiWriter writer;
  for (std::size_t i = 0; i < data.size();) {
    const auto& m = matches[i];
    if (m.farLength >= 3) {
      writer.FullCopy(m.farDistance, m.farLength, m.farLength > 9);
      i += m.farLength;
    } else if (m.nearLength >= 2) {
      writer.InlineCopy(m.nearDistance, 2);
      i += 2;
    } else {
      writer.Literal(data[i++]);
    }
  }
  return writer.Finish();
}

struct Sample {
  std::string name;
  Bytes data;
};

inline std::vector<Sample> Samples() {
  std::mt19937 random(20261207);
  auto bytes = [&](std::size_t size, unsigned alphabet) {
    Bytes data(size);
    for (auto& b : data) b = static_cast<std::uint8_t>(random() % alphabet);
    return data;
  };
  auto pattern = [](std::size_t size, std::size_t period) {
    Bytes data(size);
    for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<std::uint8_t>(i % period * 37 + 11);
    return data;
  };
  std::vector<Sample> samples = {
      {"one byte", {42}},
      {"two bytes", {1, 1}},
      {"zeros 3", Bytes(3, 0)},
      {"zeros 1000", Bytes(1000, 0)},
      {"zeros 65536", Bytes(65536, 0)},
      {"random 17", bytes(17, 256)},
      {"random 4096", bytes(4096, 256)},
      {"random 65536", bytes(65536, 256)},
      {"two symbols 20000", bytes(20000, 2)},
      {"four symbols 65536", bytes(65536, 4)},
  };
  for (const std::size_t period : {2, 3, 255, 256, 257, 8191, 8192, 8193})
    samples.push_back({"period " + std::to_string(period), pattern(30000, period)});
  Bytes runs;  // runs of every length 1 to 600 of changing bytes
  for (unsigned length = 1; length <= 300; ++length) runs.insert(runs.end(), length, static_cast<std::uint8_t>(length));
  runs.resize(std::min<std::size_t>(runs.size(), 65536));
  samples.push_back({"runs", runs});
  Bytes text;
  const char* words[] = {"Sonic ", "the ", "hedgehog ", "runs ", "through ", "Green ", "Hill ", "zone. "};
  while (text.size() < 50000) {
    const std::string word = words[random() % 8];
    text.insert(text.end(), word.begin(), word.end());
  }
  samples.push_back({"words", text});
  return samples;
}

}  // namespace quarvel::testing

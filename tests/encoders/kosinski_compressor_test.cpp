#include "encoders/kosinski_compressor.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "decoders/kosinski.h"
#include "encoders/kosinski_matches.h"
#include "encoders/kosinski_writer.h"
#include "encoders/kosinski_samples.h"
#include "support/bytes.h"

namespace quarvel {
namespace {

using testing::Bytes;
using testing::CompressGreedy;
using testing::Samples;

TEST(KosinskiCompressor, DecodesBackToTheDataAndIsNeverLargerThanGreedy) {
  for (const auto& sample : Samples()) {
    const auto stream = CompressKosinski(sample.data);
    ASSERT_TRUE(stream) << sample.name << ": " << stream.error();
    const auto decoded = DecodeKosinski(*stream, 0);
    ASSERT_TRUE(decoded) << sample.name << ": " << decoded.error().message;
    ASSERT_EQ(decoded->bytes, sample.data) << sample.name;
    EXPECT_EQ(decoded->compressedSize, stream->size()) << sample.name;
    const Bytes greedy = CompressGreedy(sample.data);
    ASSERT_EQ(DecodeKosinski(greedy, 0)->bytes, sample.data) << sample.name;
    EXPECT_LE(stream->size(), greedy.size()) << sample.name;
  }
}

TEST(KosinskiCompressor, EverySizeUpToAFewHundredRoundTrips) {
  std::mt19937 random(7);
  for (std::size_t size = 1; size <= 300; ++size) {
    Bytes data(size);
    for (auto& b : data) b = static_cast<std::uint8_t>(random() % 3);
    const auto stream = CompressKosinski(data);
    ASSERT_TRUE(stream);
    ASSERT_EQ(DecodeKosinski(*stream, 0)->bytes, data) << size;
  }
}

// Every way to write short data, tried one by one: no stream is shorter than the
// compressor's.
std::size_t ShortestByTrial(const Bytes& data) {
  std::size_t best = SIZE_MAX;
  std::function<void(KosinskiWriter, std::size_t)> extend = [&](KosinskiWriter writer, std::size_t at) {
    if (at == data.size()) {
      best = std::min(best, writer.Finish().size());
      return;
    }
    KosinskiWriter literal = writer;
    literal.Literal(data[at]);
    extend(literal, at + 1);
    for (std::size_t distance = 1; distance <= at; ++distance) {
      std::size_t length = 0;
      while (at + length < data.size() && data[at + length] == data[at + length - distance]) ++length;
      for (std::size_t count = 2; count <= length; ++count) {
        if (count <= 5 && distance <= 256) {
          KosinskiWriter copy = writer;
          copy.InlineCopy(static_cast<unsigned>(distance), static_cast<unsigned>(count));
          extend(copy, at + count);
        }
        if (count >= 3) {
          KosinskiWriter copy = writer;
          copy.FullCopy(static_cast<unsigned>(distance), static_cast<unsigned>(count), count > 9);
          extend(copy, at + count);
        }
      }
    }
  };
  extend(KosinskiWriter(), 0);
  return best;
}

TEST(KosinskiCompressor, NoParseOfShortDataIsShorter) {
  std::mt19937 random(11);
  for (int round = 0; round < 60; ++round) {
    Bytes data(1 + random() % 8);
    for (auto& b : data) b = static_cast<std::uint8_t>(random() % 2);
    const auto stream = CompressKosinski(data);
    ASSERT_TRUE(stream);
    EXPECT_EQ(stream->size(), ShortestByTrial(data)) << testing::ToHex(data);
  }
}

TEST(KosinskiCompressor, RefusesEmptyAndOversizedData) {
  const auto empty = CompressKosinski({});
  ASSERT_FALSE(empty);
  EXPECT_NE(empty.error().find("empty"), std::string::npos);
  const auto large = CompressKosinski(Bytes(65537, 0));
  ASSERT_FALSE(large);
  EXPECT_NE(large.error().find("65537"), std::string::npos);
}

TEST(KosinskiMatches, AreTheLongestAndNearestThereAre) {
  std::mt19937 random(3);
  // Alphabet 0: a 100-byte pattern again and again, a byte in 200 changed (matches
  // longer than a copy, and the longest running into the data's end).
  for (const unsigned alphabet : {3u, 40u, 0u}) {
    Bytes data(alphabet == 3 ? 3000 : alphabet == 0 ? 1200 : 12000);
    for (std::size_t i = 0; i < data.size(); ++i) {
      const bool repeat = alphabet == 0 && i >= 100 && random() % 200 != 0;
      data[i] = static_cast<std::uint8_t>(repeat ? data[i - 100] : random() % (alphabet == 0 ? 256 : alphabet));
    }
    const auto matches = FindKosinskiMatches(data);
    for (std::size_t i = 0; i < data.size(); ++i) {
      KosinskiMatch expected;
      for (std::size_t distance = 1; distance <= std::min<std::size_t>(i, 8192); ++distance) {
        std::size_t length = 0;
        while (length < 256 && i + length < data.size() && data[i + length] == data[i + length - distance]) ++length;
        const auto l = static_cast<std::uint16_t>(length), d = static_cast<std::uint16_t>(distance);
        if (length >= 2 && distance <= 256 && l > expected.nearLength) expected.nearLength = l, expected.nearDistance = d;
        if ((length >= 3 || (length == 2 && distance <= 256)) && l > expected.farLength)
          expected.farLength = l, expected.farDistance = d;
      }
      ASSERT_EQ(matches[i].nearLength, expected.nearLength) << alphabet << " at " << i;
      ASSERT_EQ(matches[i].nearDistance, expected.nearDistance) << alphabet << " at " << i;
      ASSERT_EQ(matches[i].farLength, expected.farLength) << alphabet << " at " << i;
      ASSERT_EQ(matches[i].farDistance, expected.farDistance) << alphabet << " at " << i;
    }
  }
}

}  // namespace
}  // namespace quarvel

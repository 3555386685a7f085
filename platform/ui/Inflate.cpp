#include "platform/ui/Inflate.h"

#include <array>
#include <cstdint>

namespace platform {

namespace {

constexpr int kMaxBits = 15;
constexpr int kLiteralLengthCodes = 288;
constexpr int kDistanceCodes = 30;

constexpr std::array<std::uint16_t, 29> kLengthBase{3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                                    15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                                    67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<std::uint8_t, 29> kLengthExtra{0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                    2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<std::uint16_t, 30> kDistanceBase{
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<std::uint8_t, 30> kDistanceExtra{0, 0, 0,  0,  1,  1,  2,  2,  3,  3,
                                                      4, 4, 5,  5,  6,  6,  7,  7,  8,  8,
                                                      9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
// The order in which a dynamic block gives the code lengths of its code length code.
constexpr std::array<std::uint8_t, 19> kCodeLengthOrder{16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                        11, 4,  12, 3, 13, 2, 14, 1, 15};

class BitReader {
 public:
  explicit BitReader(std::string_view bytes) : bytes_(bytes) {}

  // The next `count` (at most 16) bits, least significant first; false past the end.
  bool bits(int count, std::uint32_t& value) {
    while (held_ < count) {
      if (at_ >= bytes_.size()) return false;
      buffer_ |= std::uint32_t(static_cast<unsigned char>(bytes_[at_++])) << held_;
      held_ += 8;
    }
    value = buffer_ & ((1u << count) - 1);
    buffer_ >>= count;
    held_ -= count;
    return true;
  }
  // Drops the bits left of the current byte; whole bytes follow.
  void alignToByte() {
    buffer_ = 0;
    held_ = 0;
  }
  bool bytes(std::size_t count, std::string_view& out) {
    if (bytes_.size() - at_ < count) return false;
    out = bytes_.substr(at_, count);
    at_ += count;
    return true;
  }

 private:
  std::string_view bytes_;
  std::size_t at_ = 0;
  std::uint32_t buffer_ = 0;
  int held_ = 0;
};

// A canonical Huffman code: how many codes of each length, and the symbols in code order.
struct Huffman {
  std::array<std::uint16_t, kMaxBits + 1> count{};
  std::array<std::uint16_t, kLiteralLengthCodes> symbol{};

  // False for lengths that give more codes than the bits can hold. An incomplete code is
  // allowed (a block with a single distance has one); its missing codes fail when read.
  bool build(const std::uint8_t* lengths, int n) {
    count.fill(0);
    for (int i = 0; i < n; ++i) ++count[lengths[i]];
    int left = 1;
    for (int len = 1; len <= kMaxBits; ++len) {
      left = left * 2 - count[len];
      if (left < 0) return false;
    }
    std::array<std::uint16_t, kMaxBits + 2> offset{};
    for (int len = 1; len <= kMaxBits; ++len) offset[len + 1] = offset[len] + count[len];
    for (int i = 0; i < n; ++i) {
      if (lengths[i] != 0) symbol[offset[lengths[i]]++] = static_cast<std::uint16_t>(i);
    }
    return true;
  }

  // The next symbol, or -1 for a code that does not exist or bits that ran out.
  int decode(BitReader& in) const {
    int code = 0, first = 0, index = 0;
    for (int len = 1; len <= kMaxBits; ++len) {
      std::uint32_t bit = 0;
      if (!in.bits(1, bit)) return -1;
      code |= static_cast<int>(bit);
      if (code - count[len] < first) return symbol[index + (code - first)];
      index += count[len];
      first = (first + count[len]) << 1;
      code <<= 1;
    }
    return -1;
  }
};

bool inflateCodes(BitReader& in, const Huffman& lengths, const Huffman& distances, std::string& out,
                  std::size_t maxOutput) {
  while (true) {
    int symbol = lengths.decode(in);
    if (symbol < 0) return false;
    if (symbol < 256) {
      if (out.size() >= maxOutput) return false;
      out.push_back(static_cast<char>(symbol));
      continue;
    }
    if (symbol == 256) return true;
    symbol -= 257;
    if (symbol >= static_cast<int>(kLengthBase.size())) return false;
    std::uint32_t extra = 0;
    if (!in.bits(kLengthExtra[symbol], extra)) return false;
    std::size_t length = kLengthBase[symbol] + extra;
    int code = distances.decode(in);
    if (code < 0 || code >= kDistanceCodes) return false;
    if (!in.bits(kDistanceExtra[code], extra)) return false;
    std::size_t distance = kDistanceBase[code] + extra;
    if (distance > out.size() || length > maxOutput - out.size()) return false;
    // Byte by byte: a copy may overlap what it writes.
    for (std::size_t i = 0; i < length; ++i) out.push_back(out[out.size() - distance]);
  }
}

bool inflateStored(BitReader& in, std::string& out, std::size_t maxOutput) {
  in.alignToByte();
  std::string_view header, data;
  if (!in.bytes(4, header)) return false;
  auto byte = [&](int i) { return std::uint32_t(static_cast<unsigned char>(header[i])); };
  std::uint32_t length = byte(0) | byte(1) << 8;
  if ((byte(2) | byte(3) << 8) != (~length & 0xFFFFu)) return false;
  if (length > maxOutput - out.size() || !in.bytes(length, data)) return false;
  out.append(data);
  return true;
}

bool inflateFixed(BitReader& in, std::string& out, std::size_t maxOutput) {
  static const auto codes = [] {
    std::array<std::uint8_t, kLiteralLengthCodes> lengths{};
    for (int i = 0; i < kLiteralLengthCodes; ++i) {
      lengths[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
    }
    std::array<std::uint8_t, kDistanceCodes> distances{};
    distances.fill(5);
    std::pair<Huffman, Huffman> built;
    built.first.build(lengths.data(), kLiteralLengthCodes);
    built.second.build(distances.data(), kDistanceCodes);
    return built;
  }();
  return inflateCodes(in, codes.first, codes.second, out, maxOutput);
}

// Reads the code lengths of a dynamic block's two codes into `lengths`.
bool readDynamicLengths(BitReader& in, std::uint8_t* lengths, int total) {
  std::uint32_t count = 0;
  if (!in.bits(4, count)) return false;
  std::array<std::uint8_t, 19> codeLengths{};
  for (std::uint32_t i = 0; i < count + 4; ++i) {
    std::uint32_t length = 0;
    if (!in.bits(3, length)) return false;
    codeLengths[kCodeLengthOrder[i]] = static_cast<std::uint8_t>(length);
  }
  Huffman lengthCode;
  if (!lengthCode.build(codeLengths.data(), 19)) return false;
  for (int index = 0; index < total;) {
    int symbol = lengthCode.decode(in);
    if (symbol < 0) return false;
    if (symbol < 16) {
      lengths[index++] = static_cast<std::uint8_t>(symbol);
      continue;
    }
    std::uint8_t value = 0;
    std::uint32_t repeat = 0;
    if (symbol == 16) {
      if (index == 0 || !in.bits(2, repeat)) return false;
      value = lengths[index - 1];
      repeat += 3;
    } else if (symbol == 17) {
      if (!in.bits(3, repeat)) return false;
      repeat += 3;
    } else {
      if (!in.bits(7, repeat)) return false;
      repeat += 11;
    }
    if (index + static_cast<int>(repeat) > total) return false;
    while (repeat-- > 0) lengths[index++] = value;
  }
  return true;
}

bool inflateDynamic(BitReader& in, std::string& out, std::size_t maxOutput) {
  std::uint32_t lengthCount = 0, distanceCount = 0;
  if (!in.bits(5, lengthCount) || !in.bits(5, distanceCount)) return false;
  lengthCount += 257;
  distanceCount += 1;
  if (lengthCount > 286 || distanceCount > kDistanceCodes) return false;
  std::array<std::uint8_t, 286 + kDistanceCodes> lengths{};
  if (!readDynamicLengths(in, lengths.data(), static_cast<int>(lengthCount + distanceCount))) {
    return false;
  }
  if (lengths[256] == 0) return false;  // no end of block
  Huffman lengthCode, distanceCode;
  if (!lengthCode.build(lengths.data(), static_cast<int>(lengthCount)) ||
      !distanceCode.build(lengths.data() + lengthCount, static_cast<int>(distanceCount))) {
    return false;
  }
  return inflateCodes(in, lengthCode, distanceCode, out, maxOutput);
}

std::uint32_t adler32(std::string_view bytes) {
  std::uint32_t a = 1, b = 0;
  for (char c : bytes) {
    a = (a + static_cast<unsigned char>(c)) % 65521;
    b = (b + a) % 65521;
  }
  return b << 16 | a;
}

}  // namespace

std::optional<std::string> zlibInflate(std::string_view stream, std::size_t maxOutput) {
  if (stream.size() < 6) return std::nullopt;
  auto cmf = static_cast<unsigned char>(stream[0]), flags = static_cast<unsigned char>(stream[1]);
  // Deflate with a window of at most 32 KiB, a valid check and no preset dictionary.
  if ((cmf & 0x0F) != 8 || (cmf >> 4) > 7 || (cmf * 256 + flags) % 31 != 0 || (flags & 0x20)) {
    return std::nullopt;
  }
  BitReader in(stream.substr(2));
  std::string out;
  for (std::uint32_t last = 0; !last;) {
    std::uint32_t type = 0;
    if (!in.bits(1, last) || !in.bits(2, type)) return std::nullopt;
    bool ok = type == 0   ? inflateStored(in, out, maxOutput)
              : type == 1 ? inflateFixed(in, out, maxOutput)
              : type == 2 ? inflateDynamic(in, out, maxOutput)
                          : false;
    if (!ok) return std::nullopt;
  }
  in.alignToByte();
  std::string_view sum;
  if (!in.bytes(4, sum)) return std::nullopt;
  std::uint32_t expected = 0;
  for (char c : sum) expected = expected << 8 | static_cast<unsigned char>(c);
  if (expected != adler32(out)) return std::nullopt;
  return out;
}

}  // namespace platform

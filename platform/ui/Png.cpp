#include "platform/ui/Png.h"

#include <array>
#include <cstdlib>
#include <string>

#include "platform/ui/Inflate.h"

namespace platform {

namespace {

constexpr std::string_view kSignature("\x89PNG\r\n\x1a\n", 8);
// Chunk lengths are 31-bit numbers.
constexpr std::uint32_t kMaxChunkLength = 0x7FFFFFFFu;

constexpr std::array<std::uint32_t, 256> makeCrcTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}
constexpr auto kCrcTable = makeCrcTable();

std::uint32_t readBig32(std::string_view bytes, std::size_t at) {
  auto b = [&](std::size_t i) { return std::uint32_t(static_cast<unsigned char>(bytes[at + i])); };
  return b(0) << 24 | b(1) << 16 | b(2) << 8 | b(3);
}

bool isChunkType(std::string_view type) {
  for (char c : type) {
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return false;
  }
  return true;
}

bool validDepth(std::uint8_t colorType, std::uint8_t depth) {
  switch (colorType) {
    case 0:
      return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case 3:
      return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case 2:
    case 4:
    case 6:
      return depth == 8 || depth == 16;
    default:
      return false;
  }
}

std::optional<PngHeader> readIhdr(std::string_view data) {
  if (data.size() != 13) return std::nullopt;
  PngHeader header;
  header.width = readBig32(data, 0);
  header.height = readBig32(data, 4);
  header.bitDepth = static_cast<std::uint8_t>(data[8]);
  header.colorType = static_cast<std::uint8_t>(data[9]);
  auto compression = static_cast<std::uint8_t>(data[10]);
  auto filter = static_cast<std::uint8_t>(data[11]);
  auto interlace = static_cast<std::uint8_t>(data[12]);
  if (header.width == 0 || header.height == 0 || header.width > kMaxPngSide ||
      header.height > kMaxPngSide || !validDepth(header.colorType, header.bitDepth) ||
      compression != 0 || filter != 0 || interlace > 1) {
    return std::nullopt;
  }
  header.interlaced = interlace == 1;
  return header;
}

// The image data: every IDAT chunk's data in order, from bytes that readPngHeader accepted.
std::string imageData(std::string_view bytes) {
  std::string data;
  for (std::size_t at = kSignature.size(); bytes.size() - at >= 12;) {
    std::uint32_t length = readBig32(bytes, at);
    if (bytes.substr(at + 4, 4) == "IDAT") data.append(bytes.substr(at + 8, length));
    if (bytes.substr(at + 4, 4) == "IEND") break;
    at += 12 + std::size_t(length);
  }
  return data;
}

std::uint8_t paeth(int left, int up, int upLeft) {
  int estimate = left + up - upLeft;
  int toLeft = std::abs(estimate - left), toUp = std::abs(estimate - up),
      toUpLeft = std::abs(estimate - upLeft);
  if (toLeft <= toUp && toLeft <= toUpLeft) return static_cast<std::uint8_t>(left);
  return static_cast<std::uint8_t>(toUp <= toUpLeft ? up : upLeft);
}

// Undoes each row's filter in place; false for an unknown filter type.
bool unfilter(std::string& raw, std::size_t rowBytes, std::size_t rows, std::size_t pixelBytes) {
  auto* data = reinterpret_cast<std::uint8_t*>(raw.data());
  for (std::size_t y = 0; y < rows; ++y) {
    std::uint8_t* row = data + y * (rowBytes + 1);
    const std::uint8_t filter = row[0];
    std::uint8_t* cur = row + 1;
    const std::uint8_t* prior = y > 0 ? cur - (rowBytes + 1) : nullptr;
    for (std::size_t x = 0; x < rowBytes; ++x) {
      int left = x >= pixelBytes ? cur[x - pixelBytes] : 0;
      int up = prior ? prior[x] : 0;
      int upLeft = prior && x >= pixelBytes ? prior[x - pixelBytes] : 0;
      switch (filter) {
        case 0:
          break;
        case 1:
          cur[x] = static_cast<std::uint8_t>(cur[x] + left);
          break;
        case 2:
          cur[x] = static_cast<std::uint8_t>(cur[x] + up);
          break;
        case 3:
          cur[x] = static_cast<std::uint8_t>(cur[x] + (left + up) / 2);
          break;
        case 4:
          cur[x] = static_cast<std::uint8_t>(cur[x] + paeth(left, up, upLeft));
          break;
        default:
          return false;
      }
    }
  }
  return true;
}

}  // namespace

std::optional<PngPixels> decodePng(std::string_view bytes) {
  auto header = readPngHeader(bytes);
  if (!header || header->bitDepth != 8 || header->interlaced) return std::nullopt;
  const std::size_t channels = header->colorType == 0   ? 1
                               : header->colorType == 2 ? 3
                               : header->colorType == 4 ? 2
                               : header->colorType == 6 ? 4
                                                        : 0;
  const std::uint64_t pixels = std::uint64_t(header->width) * header->height;
  if (channels == 0 || pixels > kMaxDecodedPngPixels) return std::nullopt;
  const std::size_t rowBytes = header->width * channels;
  const std::size_t expected = (rowBytes + 1) * header->height;
  auto raw = zlibInflate(imageData(bytes), expected);
  if (!raw || raw->size() != expected || !unfilter(*raw, rowBytes, header->height, channels)) {
    return std::nullopt;
  }
  PngPixels out{header->width, header->height, {}};
  out.rgba.reserve(pixels * 4);
  for (std::size_t y = 0; y < header->height; ++y) {
    const auto* row = reinterpret_cast<const std::uint8_t*>(raw->data()) + y * (rowBytes + 1) + 1;
    for (std::size_t x = 0; x < header->width; ++x) {
      const std::uint8_t* p = row + x * channels;
      bool grey = channels < 3;
      out.rgba.push_back(p[0]);
      out.rgba.push_back(grey ? p[0] : p[1]);
      out.rgba.push_back(grey ? p[0] : p[2]);
      out.rgba.push_back(channels == 2 ? p[1] : channels == 4 ? p[3] : 255);
    }
  }
  return out;
}

std::uint32_t pngCrc32(std::string_view bytes, std::uint32_t crc) {
  crc = ~crc;
  for (char c : bytes) crc = kCrcTable[(crc ^ static_cast<unsigned char>(c)) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

std::optional<PngHeader> readPngHeader(std::string_view bytes) {
  if (!bytes.starts_with(kSignature)) return std::nullopt;
  std::optional<PngHeader> header;
  bool palette = false, imageData = false;
  std::size_t at = kSignature.size();
  while (true) {
    if (bytes.size() - at < 12) return std::nullopt;  // length, type and CRC at the least
    std::uint32_t length = readBig32(bytes, at);
    if (length > kMaxChunkLength || length > bytes.size() - at - 12) return std::nullopt;
    std::string_view type = bytes.substr(at + 4, 4);
    std::string_view data = bytes.substr(at + 8, length);
    if (!isChunkType(type) ||
        pngCrc32(bytes.substr(at + 4, 4 + length)) != readBig32(bytes, at + 8 + length)) {
      return std::nullopt;
    }
    at += 12 + std::size_t(length);
    if (!header) {
      if (type != "IHDR" || !(header = readIhdr(data))) return std::nullopt;
    } else if (type == "IHDR") {
      return std::nullopt;
    } else if (type == "PLTE") {
      if (imageData || palette || length == 0 || length % 3 != 0 || length > 256 * 3) {
        return std::nullopt;
      }
      palette = true;
    } else if (type == "IDAT") {
      if (header->colorType == 3 && !palette) return std::nullopt;
      imageData = true;
    } else if (type == "IEND") {
      if (length != 0 || !imageData) return std::nullopt;
      return header;
    } else if (type[0] >= 'A' && type[0] <= 'Z') {
      return std::nullopt;  // a critical chunk that no decoder here understands
    }
  }
}

}  // namespace platform

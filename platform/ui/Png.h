#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace platform {

// Checks that bytes are a well-formed PNG file and reads its header, for Image. Called with
// untrusted bytes (ad pages, built-in images): every length is checked before it is used, so
// any input gives an answer or nothing. The pixel data is not inflated.
struct PngHeader {
  std::uint32_t width = 0;   // pixels
  std::uint32_t height = 0;  // pixels
  std::uint8_t bitDepth = 0;
  std::uint8_t colorType = 0;  // 0 grey, 2 RGB, 3 palette, 4 grey and alpha, 6 RGBA
  bool interlaced = false;
};

// Larger sides are refused, so that a later drawing of the image cannot be made to allocate
// without bound.
inline constexpr std::uint32_t kMaxPngSide = 16384;

// The header of a PNG: the signature, IHDR first with valid values, every chunk within the
// bytes with a matching CRC, a palette where the colour type needs one, at least one IDAT and
// an IEND. Nothing for anything else. Bytes after IEND are ignored, as decoders do.
std::optional<PngHeader> readPngHeader(std::string_view bytes);

// A decoded picture: 8-bit red, green, blue and alpha for each pixel, rows top to bottom.
struct PngPixels {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint8_t> rgba;
};

// Pictures with more pixels are not decoded (64 MiB of RGBA).
inline constexpr std::uint64_t kMaxDecodedPngPixels = 4096ull * 4096;

// The pixels of a well-formed PNG (as readPngHeader accepts it) of 8-bit grey, RGB, grey and
// alpha or RGBA, not interlaced: the kinds screenshots come in, for tools and tests that look
// at a picture. Nothing for other kinds, damaged image data or too many pixels.
std::optional<PngPixels> decodePng(std::string_view bytes);

// The CRC-32 of PNG chunks (ISO 3309, as zlib computes it).
std::uint32_t pngCrc32(std::string_view bytes, std::uint32_t crc = 0);

}  // namespace platform

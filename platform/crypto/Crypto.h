#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

using Md5Digest = std::array<std::uint8_t, 16>;
using Aes128Key = std::array<std::uint8_t, 16>;
using Aes128Vector = std::array<std::uint8_t, 16>;

Md5Digest md5(std::string_view bytes);

// AES-128 in CBC mode with no padding of its own: the input must be whole 16-byte blocks.
// Null when it is not, or when the cipher fails.
std::optional<std::string> aes128CbcEncryptNoPadding(const Aes128Key& key, const Aes128Vector& iv,
                                                     std::string_view plain);
std::optional<std::string> aes128CbcDecryptNoPadding(const Aes128Key& key, const Aes128Vector& iv,
                                                     std::string_view cipher);

}  // namespace platform

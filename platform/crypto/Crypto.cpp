#include "platform/crypto/Crypto.h"

#include <openssl/evp.h>

#include <climits>
#include <memory>

namespace platform {

namespace {

constexpr std::size_t kBlock = 16;

std::optional<std::string> aes128Cbc(bool encrypt, const Aes128Key& key, const Aes128Vector& iv,
                                     std::string_view input) {
  if (input.size() % kBlock != 0 || input.size() > INT_MAX - kBlock) return std::nullopt;
  std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> context(EVP_CIPHER_CTX_new(),
                                                                          EVP_CIPHER_CTX_free);
  if (!context ||
      EVP_CipherInit_ex(context.get(), EVP_aes_128_cbc(), nullptr, key.data(), iv.data(),
                        encrypt ? 1 : 0) != 1 ||
      EVP_CIPHER_CTX_set_padding(context.get(), 0) != 1) {
    return std::nullopt;
  }
  std::string output(input.size() + kBlock, '\0');
  auto* out = reinterpret_cast<unsigned char*>(output.data());
  int written = 0, last = 0;
  if (EVP_CipherUpdate(context.get(), out, &written,
                       reinterpret_cast<const unsigned char*>(input.data()),
                       static_cast<int>(input.size())) != 1 ||
      EVP_CipherFinal_ex(context.get(), out + written, &last) != 1) {
    return std::nullopt;
  }
  output.resize(static_cast<std::size_t>(written + last));
  return output;
}

}  // namespace

Md5Digest md5(std::string_view bytes) {
  Md5Digest digest{};
  unsigned int length = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest.data(), &length, EVP_md5(), nullptr);
  return digest;
}

std::optional<std::string> aes128CbcEncryptNoPadding(const Aes128Key& key, const Aes128Vector& iv,
                                                     std::string_view plain) {
  return aes128Cbc(true, key, iv, plain);
}

std::optional<std::string> aes128CbcDecryptNoPadding(const Aes128Key& key, const Aes128Vector& iv,
                                                     std::string_view cipher) {
  return aes128Cbc(false, key, iv, cipher);
}

}  // namespace platform

// Base-64 encoding and decoding of 1 KiB and 1 MiB buffers with GTMStringEncoding and with
// OpenSSL's EVP_EncodeBlock/EVP_DecodeBlock in one run; prints GB/s and our ratio to OpenSSL.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "ads/support/GTMStringEncoding.h"
#include "bench/ThroughputReporter.h"

namespace {

constexpr std::size_t kSizes[] = {1024, 1024 * 1024};

std::string bytesOf(std::size_t size) {
  std::string bytes(size, '\0');
  std::uint64_t state = 0x9E3779B97F4A7C15ull;
  for (char& c : bytes) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    c = static_cast<char>(state);
  }
  return bytes;
}

const GTMStringEncoding& encoder() {
  static const GTMStringEncoding encoding = GTMStringEncoding::rfc4648Base64StringEncoding();
  return encoding;
}

// Throughput is counted in raw bytes both ways, so the directions compare.
void oursEncode(benchmark::State& state, std::size_t size) {
  std::string bytes = bytesOf(size);
  for (auto _ : state) benchmark::DoNotOptimize(encoder().encode(bytes));
  state.SetBytesProcessed(state.iterations() * size);
}

void oursDecode(benchmark::State& state, std::size_t size) {
  std::string text = encoder().encode(bytesOf(size));
  for (auto _ : state) benchmark::DoNotOptimize(encoder().decode(text));
  state.SetBytesProcessed(state.iterations() * size);
}

// Each round makes its output as ours does, so both pay for the buffer.
void opensslEncode(benchmark::State& state, std::size_t size) {
  std::string bytes = bytesOf(size);
  for (auto _ : state) {
    std::string out((size + 2) / 3 * 4 + 1, '\0');
    int written = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                  reinterpret_cast<const unsigned char*>(bytes.data()),
                                  static_cast<int>(size));
    out.resize(static_cast<std::size_t>(written));
    benchmark::DoNotOptimize(out);
  }
  state.SetBytesProcessed(state.iterations() * size);
}

void opensslDecode(benchmark::State& state, std::size_t size) {
  std::string text = encoder().encode(bytesOf(size));
  for (auto _ : state) {
    std::string out(text.size() / 4 * 3, '\0');
    int written = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                  reinterpret_cast<const unsigned char*>(text.data()),
                                  static_cast<int>(text.size()));
    if (written < 0) state.SkipWithError("EVP_DecodeBlock refused the text");
    out.resize(static_cast<std::size_t>(written < 0 ? 0 : written));
    benchmark::DoNotOptimize(out);
  }
  state.SetBytesProcessed(state.iterations() * size);
}

std::string label(std::size_t size) {
  return size >= 1024 * 1024 ? "1MiB" : "1KiB";
}

class RatioReporter : public ThroughputReporter {
 public:
  void printRatios() const {
    std::printf("\n%-14s %10s %10s %8s\n", "base64", "ours GB/s", "EVP GB/s", "ratio");
    for (const char* direction : {"encode", "decode"}) {
      for (std::size_t size : kSizes) {
        std::string suffix = std::string(direction) + "/" + label(size);
        double ours = bytesPerSecond("ours_" + suffix) / 1e9;
        double theirs = bytesPerSecond("openssl_" + suffix) / 1e9;
        if (ours == 0 || theirs == 0) continue;
        std::printf("%-14s %10.2f %10.2f %8.2f\n", suffix.c_str(), ours, theirs, ours / theirs);
      }
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  for (std::size_t size : kSizes) {
    benchmark::RegisterBenchmark(("ours_encode/" + label(size)).c_str(), oursEncode, size);
    benchmark::RegisterBenchmark(("openssl_encode/" + label(size)).c_str(), opensslEncode, size);
    benchmark::RegisterBenchmark(("ours_decode/" + label(size)).c_str(), oursDecode, size);
    benchmark::RegisterBenchmark(("openssl_decode/" + label(size)).c_str(), opensslDecode, size);
  }
  return runWithRatios<RatioReporter>(argc, argv);
}

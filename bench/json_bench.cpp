// Reading and writing four shapes of JSON document with ZUV_SBJSON, nlohmann::json and
// RapidJSON in one run; prints each one's MB/s and our ratio to the others.
#include <benchmark/benchmark.h>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cstdint>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "ads/support/ZUV_SBJSON.h"
#include "bench/ThroughputReporter.h"

namespace {

// A small deterministic generator, so every run measures the same documents.
class Random {
 public:
  std::uint32_t next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return static_cast<std::uint32_t>(state_);
  }
  int below(int n) { return static_cast<int>(next() % static_cast<std::uint32_t>(n)); }
  double between(double low, double high) { return low + (high - low) * (next() / 4294967296.0); }

 private:
  std::uint64_t state_ = 0x9E3779B97F4A7C15ull;
};

std::string number(double value, int decimals) {
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  return buffer;
}

// A map of coordinates: routes made of many longitude/latitude pairs.
std::string numbersDocument() {
  Random random;
  std::string out = "{\"type\":\"FeatureCollection\",\"features\":[";
  for (int feature = 0; out.size() < 4'000'000; ++feature) {
    if (feature) out += ',';
    out += "{\"type\":\"Feature\",\"id\":" + std::to_string(feature) +
           ",\"properties\":{\"length\":" + number(random.between(0, 5000), 2) +
           ",\"lanes\":" + std::to_string(1 + random.below(4)) +
           "},\"geometry\":{\"type\":\"LineString\",\"coordinates\":[";
    double lng = random.between(-180, 180);
    double lat = random.between(-85, 85);
    for (int point = 0; point < 60; ++point) {
      if (point) out += ',';
      lng += random.between(-0.001, 0.001);
      lat += random.between(-0.001, 0.001);
      out += '[' + number(lng, 7) + ',' + number(lat, 7) + ']';
    }
    out += "]}}";
  }
  return out + "]}";
}

std::string words(Random& random, int count) {
  static const char* const kWords[] = {"the",
                                       "sound",
                                       "board",
                                       "caf\xc3\xa9",
                                       "morning",
                                       "\\\"quoted\\\"",
                                       "playing",
                                       "loud",
                                       "clip",
                                       "na\xc3\xafve",
                                       "tonight",
                                       "line\\nbreak",
                                       "\xf0\x9f\x8e\xb5",
                                       "friends",
                                       "weekend",
                                       "\xe2\x82\xac"
                                       "5",
                                       "ticket",
                                       "amazing"};
  std::string out;
  for (int i = 0; i < count; ++i) {
    if (i) out += ' ';
    out += kWords[random.below(sizeof kWords / sizeof *kWords)];
  }
  return out;
}

// Social-media posts: mostly text, with a few short fields.
std::string stringsDocument() {
  Random random;
  std::string out = "[";
  for (int post = 0; out.size() < 4'000'000; ++post) {
    if (post) out += ',';
    const std::string user = "user_" + std::to_string(random.below(100000));
    out += "{\"id\":\"" + std::to_string(1'000'000'000 + post) + "\",\"created_at\":\"2024-0" +
           std::to_string(1 + random.below(9)) + "-1" + std::to_string(random.below(10)) +
           "T12:34:56Z\",\"user\":{\"screen_name\":\"" + user + "\",\"name\":\"" +
           words(random, 2) + "\",\"bio\":\"" + words(random, 12) + "\"},\"text\":\"" +
           words(random, 30 + random.below(30)) + "\",\"lang\":\"en\",\"tags\":[\"" +
           words(random, 1) + "\",\"" + words(random, 1) +
           "\"],\"reply\":" + (random.below(2) ? "true" : "false") + ",\"quoted\":null}";
  }
  return out + "]";
}

// A catalogue: departments, categories and products, each an object keyed by name.
std::string catalogueDocument() {
  Random random;
  std::string out = "{\"catalogue\":{";
  for (int department = 0; out.size() < 4'000'000; ++department) {
    if (department) out += ',';
    out += "\"department-" + std::to_string(department) + "\":{";
    for (int category = 0; category < 12; ++category) {
      if (category) out += ',';
      out += "\"category-" + std::to_string(category) + "\":{";
      for (int product = 0; product < 20; ++product) {
        if (product) out += ',';
        out += "\"product-" + std::to_string(product) + "\":{\"sku\":\"SKU" +
               std::to_string(random.next()) +
               "\",\"price\":{\"amount\":" + number(random.between(1, 500), 2) +
               ",\"currency\":\"EUR\"},\"attributes\":{\"colour\":\"c" +
               std::to_string(random.below(20)) + "\",\"size\":\"s" +
               std::to_string(random.below(8)) + "\",\"material\":\"m" +
               std::to_string(random.below(12)) +
               "\"},\"stock\":{\"north\":" + std::to_string(random.below(100)) +
               ",\"south\":" + std::to_string(random.below(100)) +
               ",\"east\":" + std::to_string(random.below(100)) + "}}";
      }
      out += '}';
    }
    out += '}';
  }
  return out + "}}";
}

// One object of 200,000 members: the cost of finding each key while the object is built.
std::string wideDocument() {
  Random random;
  std::string out = "{";
  for (int member = 0; member < 200'000; ++member) {
    if (member) out += ',';
    out += "\"member-" + std::to_string(member) + "\":" + std::to_string(random.below(100000));
  }
  return out + "}";
}

const std::string& document(int shape) {
  static const std::string documents[] = {numbersDocument(), stringsDocument(), catalogueDocument(),
                                          wideDocument()};
  return documents[shape];
}

const char* const kShapes[] = {"numbers", "strings", "catalogue", "wide"};
constexpr int kShapeCount = sizeof kShapes / sizeof *kShapes;

void readOurs(benchmark::State& state, int shape) {
  const std::string& text = document(shape);
  for (auto _ : state) {
    ZUV_SBJSON json;
    auto value = json.objectWithStringError(text);
    if (!value) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(value);
  }
  state.SetBytesProcessed(state.iterations() * text.size());
}

void readNlohmann(benchmark::State& state, int shape) {
  const std::string& text = document(shape);
  for (auto _ : state) {
    auto value = nlohmann::json::parse(text);
    benchmark::DoNotOptimize(value);
  }
  state.SetBytesProcessed(state.iterations() * text.size());
}

void readRapid(benchmark::State& state, int shape) {
  const std::string& text = document(shape);
  for (auto _ : state) {
    rapidjson::Document value;
    value.Parse(text.c_str(), text.size());
    if (value.HasParseError()) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(value);
  }
  state.SetBytesProcessed(state.iterations() * text.size());
}

void writeOurs(benchmark::State& state, int shape) {
  ZUV_SBJSON json;
  const platform::Value value = json.objectWithStringError(document(shape)).value();
  std::size_t bytes = 0;
  for (auto _ : state) {
    auto text = json.stringWithObjectError(value);
    bytes += text ? text->size() : 0;
    benchmark::DoNotOptimize(text);
  }
  state.SetBytesProcessed(bytes);
}

void writeNlohmann(benchmark::State& state, int shape) {
  const auto value = nlohmann::json::parse(document(shape));
  std::size_t bytes = 0;
  for (auto _ : state) {
    std::string text = value.dump();
    bytes += text.size();
    benchmark::DoNotOptimize(text);
  }
  state.SetBytesProcessed(bytes);
}

void writeRapid(benchmark::State& state, int shape) {
  rapidjson::Document value;
  value.Parse(document(shape).c_str());
  std::size_t bytes = 0;
  for (auto _ : state) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    value.Accept(writer);
    bytes += buffer.GetSize();
    benchmark::DoNotOptimize(buffer.GetString());
  }
  state.SetBytesProcessed(bytes);
}

class RatioReporter : public ThroughputReporter {
 public:
  void printRatios() const {
    std::printf("\n%-10s %-6s %10s %10s %10s %12s %12s\n", "shape", "op", "ours MB/s", "nlohmann",
                "rapidjson", "ours/nlohm", "ours/rapid");
    for (const char* shape : kShapes) {
      for (const char* op : {"read", "write"}) {
        const double ours = at(std::string(op) + "/" + shape + "/ours");
        const double nlohmann = at(std::string(op) + "/" + shape + "/nlohmann");
        const double rapid = at(std::string(op) + "/" + shape + "/rapidjson");
        std::printf("%-10s %-6s %10.1f %10.1f %10.1f %12.2f %12.2f\n", shape, op, ours, nlohmann,
                    rapid, nlohmann > 0 ? ours / nlohmann : 0, rapid > 0 ? ours / rapid : 0);
      }
    }
  }

 private:
  double at(const std::string& name) const { return bytesPerSecond(name) / 1e6; }
};

void registerAll() {
  using Bench = void (*)(benchmark::State&, int);
  const struct {
    const char* op;
    const char* library;
    Bench bench;
  } kinds[] = {{"read", "ours", readOurs},           {"read", "nlohmann", readNlohmann},
               {"read", "rapidjson", readRapid},     {"write", "ours", writeOurs},
               {"write", "nlohmann", writeNlohmann}, {"write", "rapidjson", writeRapid}};
  for (int shape = 0; shape < kShapeCount; ++shape) {
    for (const auto& kind : kinds) {
      const std::string name = std::string(kind.op) + "/" + kShapes[shape] + "/" + kind.library;
      benchmark::RegisterBenchmark(name.c_str(), kind.bench, shape)->Unit(benchmark::kMillisecond);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  for (int shape = 0; shape < kShapeCount; ++shape) {
    std::printf("%s document: %.1f MB\n", kShapes[shape], document(shape).size() / 1e6);
  }
  registerAll();
  return runWithRatios<RatioReporter>(argc, argv);
}

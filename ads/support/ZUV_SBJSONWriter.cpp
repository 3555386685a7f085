// The writing half of ZUV_SBJSON: appends the JSON text of a value to a growing text.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <vector>

#include "ads/support/ZUVValueText.h"
#include "ads/support/ZUV_SBJSON.h"
#include "ads/support/ZUV_SBJSONText.h"
#include "platform/foundation/Text.h"

using platform::Array;
using platform::Dictionary;
using platform::Error;
using platform::Value;

namespace {

Error unsupported(const std::string& what) {
  return Error::make(ZUV_SBJSONErrorDomain, 1, "JSON serialisation not supported for " + what);
}

// Cold: the member's own error is dropped for one that names its key.
[[gnu::noinline]] bool unsupportedValueForKey(Error& error, const std::string& key) {
  error = Error::make(ZUV_SBJSONErrorDomain, 1, "Unsupported value for key " + key + " in object");
  return false;
}

// Walking a large tree is bound by memory latency: each nested container lives in two heap
// blocks (its header and its elements). Asking for the header two elements ahead and the
// elements one ahead overlaps those misses with the work on the current element.
void prefetchHeader(const Value& value) {
  if (value.isArray()) {
    __builtin_prefetch(&value.arrayValue());
  } else if (value.isDictionary()) {
    __builtin_prefetch(&value.dictionaryValue());
  }
}

void prefetchElements(const Value& value) {
  if (value.isArray()) {
    __builtin_prefetch(value.arrayValue().data());
  } else if (value.isDictionary() && !value.dictionaryValue().empty()) {
    __builtin_prefetch(&*value.dictionaryValue().begin());
  }
}

template <typename Sequence, typename Project>
void prefetchAhead(const Sequence& sequence, std::size_t index, Project project) {
  if (index + 2 < sequence.size()) prefetchHeader(project(sequence.begin()[index + 2]));
  if (index + 1 < sequence.size()) prefetchElements(project(sequence.begin()[index + 1]));
}

void appendEscape(unsigned char byte, std::string& out) {
  switch (byte) {
    case '"':
      out += "\\\"";
      break;
    case '\\':
      out += "\\\\";
      break;
    case '\b':
      out += "\\b";
      break;
    case '\t':
      out += "\\t";
      break;
    case '\n':
      out += "\\n";
      break;
    case '\f':
      out += "\\f";
      break;
    case '\r':
      out += "\\r";
      break;
    default: {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04x", byte);
      out += buffer;
    }
  }
}

}  // namespace

bool ZUV_SBJSON::appendValueIntoError(const Value& value, std::string& out, Error& error) {
  switch (value.kind()) {
    case Value::Kind::Dictionary:
      return appendDictionaryIntoError(value.dictionaryValue(), out, error);
    case Value::Kind::Array:
      return appendArrayIntoError(value.arrayValue(), out, error);
    case Value::Kind::String:
      return appendStringIntoError(value.stringValue(), out, error);
    case Value::Kind::Boolean:
      out += value.boolValue() ? "true" : "false";
      return true;
    case Value::Kind::Integer:
    case Value::Kind::Real:
    case Value::Kind::Decimal:
      return appendNumberIntoError(value, out, error);
    case Value::Kind::Null:
      out += "null";
      return true;
    case Value::Kind::Data:
    case Value::Kind::Date:
      // Values without a JSON form of their own are written as their text form, which keeps
      // their content.
      return appendStringIntoError(ZUVTextForm(value), out, error);
  }
  error = unsupported(value.debugDescription());
  return false;
}

// Leaves of the recursion stay out of line to keep its frames small.
[[gnu::noinline]] bool ZUV_SBJSON::appendNumberIntoError(const Value& number, std::string& out,
                                                         Error& error) {
  char buffer[32];
  std::to_chars_result result{};
  switch (number.kind()) {
    case Value::Kind::Integer:
      result = std::to_chars(buffer, buffer + sizeof buffer, number.integerValue());
      break;
    case Value::Kind::Real: {
      // NaN and the infinities have no JSON form; finite reals get their shortest exact text.
      const double real = number.doubleValue();
      if (!std::isfinite(real)) {
        error = unsupported("number " + number.debugDescription());
        return false;
      }
      result = std::to_chars(buffer, buffer + sizeof buffer, real);
      break;
    }
    default: {
      const std::string& text = number.decimalText();
      if (!zuv_sbjson::isJSONNumber(text)) {
        error = unsupported("number " + text);
        return false;
      }
      out += text;
      return true;
    }
  }
  out.append(buffer, result.ptr);
  return true;
}

void ZUV_SBJSON::appendIndentInto(std::string& out) const {
  out += '\n';
  out.append(2 * static_cast<std::size_t>(depth_), ' ');
}

bool ZUV_SBJSON::appendDictionaryIntoError(const Dictionary& dictionary, std::string& out,
                                           Error& error) {
  out += '{';
  if (++depth_ > kHardMaxDepth) return fail(error, 7, "Nested too deep");
  if (sortKeys_) {
    if (!appendSortedMembersIntoError(dictionary, out, error)) return false;
  } else {
    const std::size_t count = dictionary.size();
    for (std::size_t i = 0; i < count; ++i) {
      prefetchAhead(dictionary, i,
                    [](const auto& member) -> const Value& { return member.second; });
      if (!appendMemberIntoError(dictionary.begin()[i], i == 0, out, error)) return false;
    }
  }
  --depth_;
  if (humanReadable_ && !dictionary.empty()) appendIndentInto(out);
  out += '}';
  return true;
}

// Apart from appendDictionaryIntoError so that the sorted list takes no room in the frames of
// unsorted nesting.
[[gnu::noinline]] bool ZUV_SBJSON::appendSortedMembersIntoError(const Dictionary& dictionary,
                                                                std::string& out, Error& error) {
  std::vector<const Dictionary::Entry*> members;
  members.reserve(dictionary.size());
  for (const auto& member : dictionary) members.push_back(&member);
  std::sort(members.begin(), members.end(),
            [](const auto* a, const auto* b) { return a->first < b->first; });
  bool first = true;
  for (const auto* member : members) {
    if (!appendMemberIntoError(*member, first, out, error)) return false;
    first = false;
  }
  return true;
}

bool ZUV_SBJSON::appendMemberIntoError(const Dictionary::Entry& member, bool first,
                                       std::string& out, Error& error) {
  if (!first) out += ',';
  if (humanReadable_) appendIndentInto(out);
  if (!appendStringIntoError(member.first, out, error)) return false;
  out += humanReadable_ ? " : " : ":";
  if (!appendValueIntoError(member.second, out, error))
    return unsupportedValueForKey(error, member.first);
  return true;
}

bool ZUV_SBJSON::appendArrayIntoError(const Array& array, std::string& out, Error& error) {
  out += '[';
  if (++depth_ > kHardMaxDepth) return fail(error, 7, "Nested too deep");
  for (std::size_t i = 0; i < array.size(); ++i) {
    prefetchAhead(array, i, [](const Value& element) -> const Value& { return element; });
    if (i > 0) out += ',';
    if (humanReadable_) appendIndentInto(out);
    if (!appendValueIntoError(array[i], out, error)) return false;
  }
  --depth_;
  if (humanReadable_ && !array.empty()) appendIndentInto(out);
  out += ']';
  return true;
}

[[gnu::noinline]] bool ZUV_SBJSON::appendStringIntoError(std::string_view text, std::string& out,
                                                         Error& error) {
  using zuv_sbjson::kByteClasses;
  out += '"';
  const char* p = text.data();
  const char* const end = p + text.size();
  const char* run = p;
  while (p < end) {
    const unsigned char byteClass = kByteClasses[static_cast<unsigned char>(*p)];
    if (byteClass == zuv_sbjson::kPlain) {
      ++p;
    } else if (byteClass == zuv_sbjson::kMultiByte) {
      // A text that is not UTF-8 would make text that is not JSON.
      const std::size_t length =
          platform::text::utf8SequenceLength({p, static_cast<std::size_t>(end - p)}, 0);
      if (length == 0) {
        error = unsupported("text that is not UTF-8");
        return false;
      }
      p += length;
    } else {
      out.append(run, p);
      appendEscape(static_cast<unsigned char>(*p), out);
      run = ++p;
    }
  }
  out.append(run, p);
  out += '"';
  return true;
}

std::string ZUV_SBJSON::scriptSafe(std::string_view json) {
  std::string safe;
  safe.reserve(json.size());
  for (std::size_t i = 0; i < json.size(); ++i) {
    if (json[i] == '<') {
      safe += "\\u003c";
    } else if (json.substr(i, 3) == "\xE2\x80\xA8") {
      safe += "\\u2028";
      i += 2;
    } else if (json.substr(i, 3) == "\xE2\x80\xA9") {
      safe += "\\u2029";
      i += 2;
    } else {
      safe += json[i];
    }
  }
  return safe;
}

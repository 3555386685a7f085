#include "tools/vozave/CheckReport.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "platform/foundation/Text.h"
#include "platform/foundation/Value.h"
#include "platform/web/JsonCodec.h"

namespace vozave {

namespace {

const char* severityName(Severity severity) {
  return severity == Severity::Failure ? "failure" : "warning";
}

std::string seconds(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.2f", value);
  return buffer;
}

platform::Value stepsValue(const CheckReport& report) {
  platform::Array steps;
  for (const CheckStep& step : report.steps) {
    platform::Dictionary entry;
    entry.set("name", platform::Value(step.name));
    entry.set("outcome", platform::Value(step.outcome));
    if (!step.picture.empty()) entry.set("picture", platform::Value(step.picture));
    steps.emplace_back(std::move(entry));
  }
  return platform::Value(std::move(steps));
}

platform::Value findingsValue(const CheckReport& report) {
  platform::Array findings;
  for (const Finding& finding : report.findings) {
    platform::Dictionary entry;
    entry.set("kind", platform::Value(finding.kind));
    entry.set("severity", platform::Value(severityName(report.severity(finding))));
    entry.set("step", platform::Value(finding.step));
    entry.set("evidence", platform::Value(finding.evidence));
    findings.emplace_back(std::move(entry));
  }
  return platform::Value(std::move(findings));
}

platform::Value measurementsValue(const CheckReport& report) {
  platform::Dictionary hosts;
  for (const auto& [host, count] : report.requestsByHost) {
    hosts.set(host, platform::Value(static_cast<long long>(count)));
  }
  platform::Dictionary measurements;
  measurements.set("processorSeconds", platform::Value(report.processorSeconds));
  measurements.set("networkBytes", platform::Value(static_cast<long long>(report.networkBytes)));
  measurements.set("pageBytes", platform::Value(static_cast<long long>(report.pageBytes)));
  measurements.set("requestsByHost", platform::Value(std::move(hosts)));
  return platform::Value(std::move(measurements));
}

// `text` on one line; the log's lines of page text are escaped already, and stay as they are.
std::string oneLine(std::string_view text) {
  std::string line = platform::text::singleLine(text);
  std::string doubled;
  for (char c : text) doubled.append(c == '\\' ? 2 : 1, c);
  return line == doubled ? std::string(text) : line;
}

std::string attribute(std::string_view text) {
  return platform::text::markupEscaped(text);
}

}  // namespace

const std::vector<FindingKind>& findingKinds() {
  static const std::vector<FindingKind> kinds{
      {"load-failed", Severity::Failure, "the ad did not load or did not finish loading in time"},
      {"left-without-tap", Severity::Failure,
       "the page tried to leave, open a screen or count a click without the user's tap"},
      {"runaway", Severity::Failure, "the page passed a runaway limit and was unloaded"},
      {"blocked-request", Severity::Failure, "the page requested a host of the block list"},
      {"close-failed", Severity::Failure, "the ad did not go back to its place when closed"},
      {"mraid-error", Severity::Warning, "an MRAID call ended in an error event"},
      {"console-error", Severity::Warning,
       "the page logged an error or threw an exception it did not catch"},
      {"console-hidden", Severity::Warning,
       "the page replaced console.error or console.warn, which hides its errors from the check"},
      {"insecure-request", Severity::Warning, "the page requested something over plain http"},
      {"offline-request", Severity::Warning,
       "the page requested a host beyond the check's ad server; --offline refused it"},
      {"not-ready", Severity::Warning, "the MRAID ad never became ready"},
      {"heavy-page", Severity::Warning, "the page and what it fetched came to more than 1 MiB"},
      {"busy-page", Severity::Warning, "the page used more than 5 s of processor time"},
  };
  return kinds;
}

void CheckReport::add(std::string_view kind, std::string step, std::string_view evidence) {
  auto same = std::count_if(findings.begin(), findings.end(),
                            [&](const Finding& finding) { return finding.kind == kind; });
  if (static_cast<std::size_t>(same) >= kMaxFindingsOfAKind) {
    ++omitted[std::string(kind)];
    return;
  }
  findings.push_back(Finding{std::string(kind), std::move(step), oneLine(evidence)});
}

Severity CheckReport::severity(const Finding& finding) const {
  if (strict) return Severity::Failure;
  for (const FindingKind& kind : findingKinds()) {
    if (finding.kind == kind.id) return kind.severity;
  }
  return Severity::Failure;
}

std::size_t CheckReport::count(Severity wanted) const {
  return static_cast<std::size_t>(
      std::count_if(findings.begin(), findings.end(),
                    [&](const Finding& finding) { return severity(finding) == wanted; }));
}

const char* CheckReport::result() const {
  if (count(Severity::Failure) > 0) return "fail";
  return count(Severity::Warning) > 0 ? "warnings" : "pass";
}

std::string summaryText(const CheckReport& report) {
  std::ostringstream out;
  out << "\n"
      << report.creative << " as a " << report.width << "x" << report.height << " " << report.format
      << ": " << report.result() << " (" << report.count(Severity::Failure) << " failures, "
      << report.count(Severity::Warning) << " warnings)\n";
  for (const Finding& finding : report.findings) {
    out << "  " << severityName(report.severity(finding)) << " " << finding.kind << " at "
        << finding.step << ": " << finding.evidence << "\n";
  }
  for (const auto& [kind, count] : report.omitted) {
    out << "  and " << count << " more " << kind << " findings\n";
  }
  out << "processor " << seconds(report.processorSeconds) << " s, network " << report.networkBytes
      << " bytes, page " << report.pageBytes << " bytes\n";
  for (const auto& [host, count] : report.requestsByHost) {
    out << "requests to " << host << ": " << count << "\n";
  }
  return out.str();
}

std::string jsonText(const CheckReport& report) {
  platform::Dictionary omitted;
  for (const auto& [kind, count] : report.omitted) {
    omitted.set(kind, platform::Value(static_cast<long long>(count)));
  }
  platform::Dictionary root;
  root.set("creative", platform::Value(report.creative));
  root.set("format", platform::Value(report.format));
  root.set("width", platform::Value(report.width));
  root.set("height", platform::Value(report.height));
  root.set("strict", platform::Value(report.strict));
  root.set("result", platform::Value(report.result()));
  root.set("steps", stepsValue(report));
  root.set("findings", findingsValue(report));
  root.set("omittedFindings", platform::Value(std::move(omitted)));
  root.set("measurements", measurementsValue(report));
  return platform::JsonCodec::write(platform::Value(std::move(root))) + "\n";
}

// One test case a kind of finding, so that a CI system lists what was checked; a kind with a
// failing finding fails, with every finding of it as the text.
std::string junitText(const CheckReport& report) {
  std::ostringstream cases;
  std::size_t failed = 0;
  for (const FindingKind& kind : findingKinds()) {
    std::string evidence;
    bool fails = false;
    for (const Finding& finding : report.findings) {
      if (finding.kind != kind.id) continue;
      fails = fails || report.severity(finding) == Severity::Failure;
      evidence += finding.step + ": " + finding.evidence + "\n";
    }
    cases << "  <testcase classname=\"vozave.check\" name=\"" << kind.id << "\">\n";
    if (fails) {
      ++failed;
      cases << "    <failure message=\"" << attribute(kind.meaning) << "\">"
            << platform::text::markupEscaped(evidence) << "</failure>\n";
    } else if (!evidence.empty()) {
      cases << "    <system-out>" << platform::text::markupEscaped(evidence) << "</system-out>\n";
    }
    cases << "  </testcase>\n";
  }
  std::ostringstream out;
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "<testsuite name=\"" << attribute("vozave check " + report.creative) << "\" tests=\""
      << findingKinds().size() << "\" failures=\"" << failed << "\" errors=\"0\">\n"
      << cases.str() << "</testsuite>\n";
  return out.str();
}

}  // namespace vozave

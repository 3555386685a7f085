#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The outcome of one `vozave check` run: the walk's steps, the findings with their evidence
// and the measurements, and the three forms it is written in (the terminal summary, JSON and
// JUnit XML). The walk fills it; the check command writes it and takes its exit status.
namespace vozave {

enum class Severity { Warning, Failure };

// One kind of finding: its name in the reports, whether it fails the check, and a line on
// what it means. The table is docs/CHECK.md's.
struct FindingKind {
  const char* id;
  Severity severity;
  const char* meaning;
};
const std::vector<FindingKind>& findingKinds();

struct Finding {
  std::string kind;  // a FindingKind's id
  std::string step;  // the step of the walk under way when it came
  std::string evidence;
};

struct CheckStep {
  std::string name;
  std::string outcome;  // one line: what the phone saw
  std::string picture;  // the PNG's path; empty without --pictures or when it failed
};

struct CheckReport {
  // Findings kept of one kind; the rest are counted, so that a page that floods the log
  // cannot flood the report.
  static constexpr std::size_t kMaxFindingsOfAKind = 20;

  std::string creative;
  std::string format;  // "banner" or "interstitial"
  int width = 0, height = 0;
  bool strict = false;  // warnings fail too
  std::vector<CheckStep> steps;
  std::vector<Finding> findings;
  std::map<std::string, std::size_t> omitted;  // findings past the cap, by kind
  double processorSeconds = 0;
  std::int64_t networkBytes = 0;
  std::size_t pageBytes = 0;  // the creative's markup as served
  std::map<std::string, std::size_t> requestsByHost;

  // Adds a finding of kind `kind` (one of the table's); its evidence is put on one line.
  void add(std::string_view kind, std::string step, std::string_view evidence);
  Severity severity(const Finding& finding) const;
  std::size_t count(Severity severity) const;
  // 0 when nothing failed, 1 otherwise.
  int exitStatus() const { return count(Severity::Failure) > 0 ? 1 : 0; }
  // "pass", "warnings" or "fail".
  const char* result() const;
};

std::string summaryText(const CheckReport& report);
std::string jsonText(const CheckReport& report);
std::string junitText(const CheckReport& report);

}  // namespace vozave

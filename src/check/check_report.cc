#include "check/check_report.h"

#include "data/json_document.h"

namespace tarn {
namespace {

const char* SeverityName(CheckProblem::Severity severity) {
  return severity == CheckProblem::Severity::kError ? "error" : "warning";
}

}  // namespace

void CheckReport::Add(const std::string& path, const std::string& source, CheckProblem problem) {
  Page& page = pages_[path];
  if (page.path.empty()) {
    page.path = path;
    page.source = source;
  }
  ++(problem.severity == CheckProblem::Severity::kError ? errors_ : warnings_);
  page.problems.push_back(std::move(problem));
}

std::vector<const CheckReport::Page*> CheckReport::Pages() const {
  std::vector<const Page*> pages;
  for (const auto& [path, page] : pages_) pages.push_back(&page);
  return pages;
}

std::string CheckReport::Text(bool errors_only) const {
  std::string text;
  for (const Page* page : Pages()) {
    std::string lines;
    for (const CheckProblem& problem : page->problems)
      if (!errors_only || problem.severity == CheckProblem::Severity::kError)
        lines += std::string("  ") + SeverityName(problem.severity) + ": " + problem.message + "\n";
    if (lines.empty()) continue;
    text += page->path;
    if (!page->source.empty() && page->source != page->path) text += " (from " + page->source + ")";
    text += ":\n" + lines;
  }
  text += "tarn check: " + std::to_string(errors_) + " error(s), " + std::to_string(warnings_) +
          " warning(s)\n";
  return text;
}

std::string CheckReport::Json() const {
  JsonDocument report = JsonDocument::NewObject();
  report.SetInt("errors", errors_);
  report.SetInt("warnings", warnings_);
  report.SetEmptyArray("pages");
  for (const Page* page : Pages()) {
    JsonDocument entry = JsonDocument::NewObject();
    entry.SetText("path", page->path);
    entry.SetText("source", page->source);
    entry.SetEmptyArray("problems");
    for (const CheckProblem& problem : page->problems) {
      JsonDocument item = JsonDocument::NewObject();
      item.SetText("severity", SeverityName(problem.severity));
      item.SetText("kind", problem.kind);
      item.SetText("message", problem.message);
      item.SetText("target", problem.target);
      entry.Append("problems", std::move(item));
    }
    report.Append("pages", std::move(entry));
  }
  return report.ToText() + "\n";
}

}  // namespace tarn

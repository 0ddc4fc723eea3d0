#include "import/import_report.h"

#include "import/site_files.h"

namespace tarn {

ImportReport::ImportReport(Sink sink) : sink_(std::move(sink)) {}

void ImportReport::Add(Entry::Kind kind, std::string text) const {
  if (sink_) sink_(Entry{kind, std::move(text)});
}

void ImportReport::ContentSkipped(const std::string& shown, const std::string& why) const {
  left_behind_.push_back(shown);
  Skipped(shown + ": " + why);
}

void ImportReport::SymbolicLink(const std::filesystem::path& link) const {
  Skipped(Shown(link) + ": a symbolic link, not followed");
}

std::string ImportReport::Shown(const std::filesystem::path& path) const {
  std::string inside = SiteFiles::Inside(path, site_);
  return inside.empty() ? path.string() : inside;
}

}  // namespace tarn

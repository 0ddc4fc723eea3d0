#include "render/public_record.h"

#include <filesystem>
#include <string_view>

#include "data/text_file.h"

namespace tarn {
namespace {

constexpr char kDrafts[] = "drafts";
constexpr char kFuture[] = "future";
constexpr std::string_view kAlias = "alias ";
constexpr std::string_view kPage = "page ";

// Whether line is prefix and a path, which goes to *paths.
bool TakePath(std::string_view line, std::string_view prefix, std::vector<std::string>* paths) {
  if (line.size() <= prefix.size() || line.substr(0, prefix.size()) != prefix) return false;
  paths->emplace_back(line.substr(prefix.size()));
  return true;
}

}  // namespace

std::string PublicRecord::PathOf(const Workspace& workspace) {
  return workspace.StatePath("public-build");
}

PublicRecord PublicRecord::Load(const Workspace& workspace) {
  PublicRecord record;
  std::string text;
  if (!ReadTextFile(PathOf(workspace), &text)) return record;
  std::string_view rest = text;
  while (!rest.empty()) {
    std::size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (line == kDrafts) {
      record.drafts = true;
    } else if (line == kFuture) {
      record.future = true;
    } else if (!TakePath(line, kAlias, &record.aliases)) {
      TakePath(line, kPage, &record.pages);
    }
  }
  return record;
}

bool PublicRecord::Save(const Workspace& workspace, std::string* error) const {
  std::string path = PathOf(workspace);
  std::error_code ec;
  if (!drafts && !future && aliases.empty() && pages.empty()) {
    if (std::filesystem::remove(path, ec) || !ec) return true;
    *error = path + ": cannot be removed: " + ec.message();
    return false;
  }
  std::string text = drafts ? std::string(kDrafts) + "\n" : "";
  if (future) text += std::string(kFuture) + "\n";
  for (const std::string& alias : aliases) text += std::string(kAlias) + alias + "\n";
  for (const std::string& page : pages) text += std::string(kPage) + page + "\n";
  std::string written;
  if (ReadTextFile(path, &written) && written == text) return true;  // no write, no flush
  std::filesystem::create_directories(workspace.state_dir(), ec);
  return WriteTextFile(path, text, error);
}

}  // namespace tarn

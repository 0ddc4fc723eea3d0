#include "render/public_record.h"

#include <filesystem>
#include <string_view>

#include "data/text_file.h"

namespace tarn {
namespace {

constexpr char kDrafts[] = "drafts";
constexpr std::string_view kAlias = "alias ";

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
    } else if (line.size() > kAlias.size() && line.substr(0, kAlias.size()) == kAlias) {
      record.aliases.emplace_back(line.substr(kAlias.size()));
    }
  }
  return record;
}

bool PublicRecord::Save(const Workspace& workspace, std::string* error) const {
  std::string path = PathOf(workspace);
  std::error_code ec;
  if (!drafts && aliases.empty()) {
    if (std::filesystem::remove(path, ec) || !ec) return true;
    *error = path + ": cannot be removed: " + ec.message();
    return false;
  }
  std::string text = drafts ? std::string(kDrafts) + "\n" : "";
  for (const std::string& alias : aliases) text += std::string(kAlias) + alias + "\n";
  std::string written;
  if (ReadTextFile(path, &written) && written == text) return true;  // no write, no flush
  std::filesystem::create_directories(workspace.state_dir(), ec);
  return WriteTextFile(path, text, error);
}

}  // namespace tarn

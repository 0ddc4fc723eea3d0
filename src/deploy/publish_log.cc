#include "deploy/publish_log.h"

#include <filesystem>
#include <sstream>

#include "content/front_matter.h"
#include "data/text_file.h"
#include "workspace/workspace.h"

namespace tarn {
namespace {

// text with line breaks and tabs as spaces: one line a run.
std::string OneLine(std::string_view text) {
  std::string line(text);
  for (char& c : line)
    if (c == '\n' || c == '\r' || c == '\t') c = ' ';
  return line;
}

}  // namespace

PublishLog::PublishLog(const Workspace& workspace, std::size_t kept_lines)
    : path_(Workspace::Path(workspace.state_dir(), "publish-due.log")),
      shown_path_(Workspace::Path(workspace.state_dir(), "publish-due.shown")),
      kept_lines_(kept_lines) {}

bool PublishLog::Append(std::time_t when, std::string_view outcome, std::string_view detail,
                        std::string* error) const {
  std::string text;
  ReadTextFile(path_, &text);  // a missing log starts empty
  text += FrontMatter::FormatNow(when) + "\t" + OneLine(outcome) + "\t" + OneLine(detail) + "\n";
  std::size_t lines = 0;
  std::size_t keep_from = text.size();
  while (keep_from > 0 && lines <= kept_lines_) {
    keep_from = text.rfind('\n', keep_from - 1);
    if (keep_from == std::string::npos) {
      keep_from = 0;
      break;
    }
    ++lines;
  }
  if (lines > kept_lines_) text.erase(0, keep_from + 1);
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path_).parent_path(), ec);
  return WriteTextFile(path_, text, error);
}

std::string PublishLog::UnshownFailure() const {
  std::string text;
  if (!ReadTextFile(path_, &text)) return "";
  std::istringstream lines(text);
  std::string line, failed;
  while (std::getline(lines, line)) {
    std::size_t tab = line.find('\t');
    if (tab != std::string::npos && line.compare(tab + 1, 7, "failed\t") == 0) failed = line;
  }
  std::string shown;
  if (failed.empty() || (ReadTextFile(shown_path_, &shown) && shown == failed + "\n")) return "";
  return failed;
}

bool PublishLog::MarkShown(const std::string& line, std::string* error) const {
  return WriteTextFile(shown_path_, line + "\n", error);
}

std::string PublishLog::Last() const {
  std::string text;
  if (!ReadTextFile(path_, &text) || text.empty()) return "";
  if (text.back() == '\n') text.pop_back();
  std::size_t start = text.rfind('\n');
  return start == std::string::npos ? text : text.substr(start + 1);
}

}  // namespace tarn

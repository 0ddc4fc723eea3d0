#include "deploy/post_history.h"

#include <glib.h>

#include <ctime>
#include <filesystem>
#include <sstream>
#include <string_view>
#include <utility>

#include "content/post_index.h"
#include "data/json_document.h"
#include "deploy/command_runner.h"
#include "deploy/git_deployer.h"
#include "workspace/contained_path.h"
#include "workspace/workspace.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

constexpr char kRecordStart = '\x1e';
constexpr char kFieldEnd = '\x1f';

// A path as git printed it: unquoted when git put it in C-style quotes.
std::string Unquote(const std::string& text) {
  if (text.size() < 2 || text.front() != '"' || text.back() != '"') return text;
  std::string out;
  for (std::size_t i = 1; i + 1 < text.size(); ++i) {
    char c = text[i];
    if (c != '\\' || i + 2 >= text.size()) {
      out += c;
      continue;
    }
    char next = text[++i];
    if (next >= '0' && next <= '7') {
      // Up to three octal digits make one byte (git writes exactly three).
      int value = next - '0';
      for (int digits = 1;
           digits < 3 && i + 2 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '7'; ++digits)
        value = value * 8 + (text[++i] - '0');
      out += static_cast<char>(value);
      continue;
    }
    // The letters of C's escapes and the bytes they stand for.
    constexpr std::string_view kLetters = "abtnvfr";
    constexpr char kBytes[] = "\a\b\t\n\v\f\r";
    std::size_t letter = kLetters.find(next);
    out += letter == std::string_view::npos ? next : kBytes[letter];
  }
  return out;
}

// True for a relative path whose every part is a plain name: nothing git
// could take for an option, an absolute path or a step out of the tree.
bool IsPlainRelativePath(const std::string& path) {
  if (path.empty()) return false;
  std::size_t start = 0;
  while (true) {
    std::size_t slash = path.find('/', start);
    std::string_view part(path.data() + start,
                          (slash == std::string::npos ? path.size() : slash) - start);
    if (!ContainedPath::IsPlainName(part)) return false;
    if (slash == std::string::npos) return true;
    start = slash + 1;
  }
}

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

}  // namespace

PostHistory::PostHistory(std::string workspace) : workspace_(std::move(workspace)) {}

bool PostHistory::IsCommitId(std::string_view text) {
  if (text.size() < 4 || text.size() > 64) return false;
  for (char c : text) {
    if (!g_ascii_isxdigit(c)) return false;
  }
  return true;
}

std::string PostHistory::DateText(std::int64_t time) {
  std::time_t when = static_cast<std::time_t>(time);
  std::tm local{};
  if (!localtime_r(&when, &local)) return "";
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
  return text;
}

std::string PostHistory::ToJson(const PostHistoryListing& listing) {
  JsonDocument json = JsonDocument::NewObject();
  json.SetText("reason", listing.reason);
  json.SetEmptyArray("versions");
  for (const PostVersion& version : listing.versions) {
    JsonDocument record = JsonDocument::NewObject();
    record.SetText("commit", version.commit);
    record.SetText("date", DateText(version.time));
    record.SetInt64("time", version.time);
    record.SetText("subject", version.subject);
    json.Append("versions", std::move(record));
  }
  return json.ToText();
}

std::vector<PostVersion> PostHistory::ParseLog(const std::string& output,
                                               const std::string& current_path) {
  std::vector<PostVersion> versions;
  std::size_t at = output.find(kRecordStart);
  while (at != std::string::npos) {
    std::size_t end = output.find(kRecordStart, at + 1);
    std::string record = output.substr(at + 1, end == std::string::npos ? end : end - at - 1);
    at = end;
    std::istringstream lines(record);
    std::string header;
    std::getline(lines, header);
    std::size_t first = header.find(kFieldEnd);
    std::size_t second = first == std::string::npos ? first : header.find(kFieldEnd, first + 1);
    if (second == std::string::npos) continue;
    PostVersion version;
    version.commit = header.substr(0, first);
    std::string time = header.substr(first + 1, second - first - 1);
    version.subject = Trimmed(header.substr(second + 1));
    if (!IsCommitId(version.commit) || time.empty() ||
        time.find_first_not_of("0123456789") != std::string::npos)
      continue;
    version.time = std::stoll(time);
    for (std::string line; std::getline(lines, line);) {
      line = Trimmed(line);
      if (line.empty()) continue;
      version.path = Unquote(line);
      break;
    }
    versions.push_back(std::move(version));
  }
  // A commit listed without the path kept the name of the older version
  // before it; failing that, of the newer one after it.
  std::string older;
  for (auto it = versions.rbegin(); it != versions.rend(); ++it) {
    if (it->path.empty()) it->path = older;
    older = it->path;
  }
  std::string newer = current_path;
  for (PostVersion& version : versions) {
    if (version.path.empty()) version.path = newer;
    newer = version.path;
  }
  return versions;
}

std::string PostHistory::RelativePostPath(const std::string& post_path, std::string* reason) const {
  fs::path post(post_path);
  std::string name = post.filename().string();
  std::error_code error;
  fs::path folder = fs::canonical(post.parent_path().empty() ? "." : post.parent_path(), error);
  fs::path posts = fs::canonical(Workspace(workspace_).posts_dir(), error);
  std::string resolved;
  std::string ignored;
  if (error || folder != posts || !PostIndex::IsPostName(name) ||
      !ContainedPath::Resolve(posts.string(), name, &resolved, &ignored)) {
    *reason = _(kNotAPost);
    return "";
  }
  return Workspace::Path(Workspace::kPostsDir, name);
}

PostHistoryListing PostHistory::List(const std::string& post_path) const {
  PostHistoryListing listing;
  std::string path = RelativePostPath(post_path, &listing.reason);
  if (path.empty()) return listing;
  std::string git_dir = workspace_ + "/.git";
  ProgramOptions options = GitDeployer::GitOptions(workspace_);
  if (!g_file_test(git_dir.c_str(), G_FILE_TEST_EXISTS)) {
    listing.reason = _(kNoRepository);
    return listing;
  }
  // Exit status 1: a repository without a commit; anything else but 0 is
  // git refusing the repository (ownership, corruption), said as it is.
  CommandResult head =
      CommandRunner::RunProgram({"git", "rev-parse", "-q", "--verify", "HEAD^{commit}"}, options);
  if (!head.succeeded()) {
    listing.reason = head.started && head.exit_status == 1
                         ? _(kNoRepository)
                         : _("无法读取历史版本：") + Trimmed(head.output + head.error);
    return listing;
  }
  CommandResult log = CommandRunner::RunProgram(
      {"git", "-c", "core.quotePath=false", "log", "--follow", "--no-color", "--name-only",
       "--diff-merges=first-parent", "--format=%x1e%H%x1f%ct%x1f%s", "-n",
       std::to_string(kMaxVersions), "--", path},
      options);
  if (!log.succeeded()) {
    listing.reason = _("无法读取历史版本：git log 失败\n") + Trimmed(log.output + log.error);
    return listing;
  }
  listing.versions = ParseLog(log.output, path);
  if (listing.versions.empty()) listing.reason = _(kNeverBackedUp);
  return listing;
}

bool PostHistory::Read(const PostVersion& version, std::string* text, std::string* error) const {
  if (!IsCommitId(version.commit)) {
    *error = "\"" + version.commit + "\" is no commit id";
    return false;
  }
  if (!IsPlainRelativePath(version.path)) {
    *error = "\"" + version.path + "\" is no path of a post in the workspace";
    return false;
  }
  CommandResult show =
      CommandRunner::RunProgram({"git", "show", "--no-color", version.commit + ":" + version.path},
                                GitDeployer::GitOptions(workspace_));
  if (!show.succeeded()) {
    *error = workspace_ + ": git cannot show " + version.path + " in commit " + version.commit +
             ": " + Trimmed(show.output + show.error);
    return false;
  }
  *text = std::move(show.output);
  return true;
}

}  // namespace tarn

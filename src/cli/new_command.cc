// tarn new TITLE: starts a post, as `hexo new` does. Creates
// _posts/TITLE.md holding front matter (title, date now with the local
// offset, an empty tags list) and prints its path. Words after the command
// are joined by spaces, so quoting the title is optional. Never overwrites a
// post and never writes outside _posts/: a title that is a path (a "/" or
// "\", a leading dot, control characters) is refused.

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>

#include "cli/command.h"
#include "content/front_matter.h"
#include "content/post_index.h"
#include "data/text_file.h"
#include "workspace/workspace.h"

namespace tarn {
namespace {

constexpr char kUsage[] = "usage: tarn [-w DIR] new TITLE\n";

// Why title cannot name a post file; "" when it can.
std::string TitleProblem(const std::string& title) {
  if (title.empty()) return "the title is empty";
  if (title[0] == '.') return "a title must not start with a dot";
  for (char c : title) {
    unsigned char u = static_cast<unsigned char>(c);
    if (c == '/' || c == '\\') return "a title must not hold \"/\" or \"\\\"";
    if (u < 0x20 || u == 0x7F) return "a title must not hold control characters";
  }
  std::string_view rest(title);
  if (PostIndex::IsPostName(rest)) rest.remove_suffix(3);
  if (rest.empty()) return "the title is empty";
  return "";
}

int RunNew(const CommandContext& context) {
  if (context.args.empty()) {
    std::fprintf(stderr, "tarn new: a title is needed\n%s", kUsage);
    return kUsageError;
  }
  std::string title;
  for (const std::string& word : context.args) title += (title.empty() ? "" : " ") + word;
  if (std::string problem = TitleProblem(title); !problem.empty()) {
    std::fprintf(stderr, "tarn new: %s: %s\n", title.c_str(), problem.c_str());
    return kUsageError;
  }
  std::error_code ec;
  if (!std::filesystem::is_directory(context.workspace, ec)) {
    std::fprintf(stderr, "tarn new: %s: no such workspace folder\n", context.workspace.c_str());
    return 1;
  }
  std::string folder = Workspace::Path(context.workspace, Workspace::kPostsDir);
  std::filesystem::create_directory(folder, ec);
  std::string name = PostIndex::IsPostName(title) ? title : title + ".md";
  std::string path = folder + "/" + name;
  std::string error;
  // Never over a post that is there: the new one appears complete or not
  // at all.
  if (!CreateTextFile(path, FrontMatter::NewPostText(PostIndex::TitleOf(name), std::time(nullptr)),
                      &error)) {
    std::fprintf(stderr, "tarn new: %s; nothing is overwritten\n", error.c_str());
    return 1;
  }
  std::printf("%s\n", path.c_str());
  return 0;
}

const Command kNew("new", "new TITLE", "start a post with front matter in _posts/", RunNew);

}  // namespace
}  // namespace tarn

// tarn new TITLE: starts a post, as `hexo new` does. Creates
// _posts/TITLE.md holding front matter (title, date now with the local
// offset, an empty tags list) and prints its path. Words after the command
// are joined by spaces, so quoting the title is optional. Never overwrites a
// post and never writes outside _posts/: a title that is a path (a "/" or
// "\", a leading dot, control characters), is not UTF-8 (the build could
// not name the post) or is too long for a file name is refused.

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

// The longest file name Linux file systems take.
constexpr std::size_t kMaxFileNameBytes = 255;

// Why title cannot name a post file; "" when it can.
std::string TitleProblem(const std::string& title) {
  if (title.empty()) return "the title is empty";
  if (title[0] == '.') return "a title must not start with a dot";
  for (char c : title) {
    unsigned char u = static_cast<unsigned char>(c);
    if (c == '/' || c == '\\') return "a title must not hold \"/\" or \"\\\"";
    if (u < 0x20 || u == 0x7F) return "a title must not hold control characters";
  }
  if (!PostIndex::IsUtf8Name(title)) return "a title must be UTF-8 text";
  std::string_view rest(title);
  if (PostIndex::IsPostName(rest)) rest.remove_suffix(3);
  if (rest.empty()) return "the title is empty";
  if (rest.size() + 3 > kMaxFileNameBytes)
    return "a title must fit a file name (" + std::to_string(kMaxFileNameBytes - 3) +
           " bytes; the post's name ends in \".md\")";
  return "";
}

int RunNew(const CommandContext& context) {
  std::string title;
  for (const std::string& word : context.args.words()) title += (title.empty() ? "" : " ") + word;
  if (std::string problem = TitleProblem(title); !problem.empty()) {
    std::fprintf(stderr, "tarn new: %s: %s\n", title.c_str(), problem.c_str());
    return kUsageError;
  }
  Workspace workspace(context.workspace);
  std::error_code ec;
  std::filesystem::create_directory(workspace.posts_dir(), ec);
  std::string name = PostIndex::IsPostName(title) ? title : title + ".md";
  std::string path = workspace.PostPath(name);
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

// Every argument is a word of the title, even one that starts with '-'.
const Command kNew("new", "new TITLE", "start a post with front matter in _posts/", RunNew,
                   {.min_words = 1,
                    .max_words = OptionParser::kAnyNumber,
                    .keep_unknown = true,
                    .missing_word = "a title is needed"});

}  // namespace
}  // namespace tarn

// tarn import [--section NAME] DIR: brings a Hexo, Hugo or Jekyll site's
// posts, drafts and static files into the workspace (see SiteImporter),
// printing each file it copied or skipped and why. --section names the Hugo
// sections or Jekyll collections (separated by commas) whose pages are the
// posts, instead of every one with dated pages.

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/command.h"
#include "import/site_importer.h"

namespace tarn {
namespace {

constexpr OptionRule kOptions[] = {
    {.name = "section",
     .kind = OptionKind::kText,
     .help = "import only these Hugo sections or Jekyll collections (NAME,NAME,...)",
     .value_name = "NAME",
     .needs = "a section name"},
};

// The names of a comma-separated list, without empty ones.
std::vector<std::string> Names(const std::string& list) {
  std::vector<std::string> names;
  size_t begin = 0;
  while (begin <= list.size()) {
    size_t comma = std::min(list.find(',', begin), list.size());
    if (comma > begin) names.push_back(list.substr(begin, comma - begin));
    begin = comma + 1;
  }
  return names;
}

int RunImport(const CommandContext& context) {
  auto print = [](const SiteImporter::Entry& entry) {
    using Kind = SiteImporter::Entry::Kind;
    switch (entry.kind) {
      case Kind::kCopied:
        std::printf("copied  %s\n", entry.text.c_str());
        break;
      case Kind::kSkipped:
        std::printf("skipped %s\n", entry.text.c_str());
        break;
      case Kind::kNote:
        std::printf("note    %s\n", entry.text.c_str());
        break;
      case Kind::kError:
        std::fflush(stdout);
        std::fprintf(stderr, "tarn import: %s\n", entry.text.c_str());
        break;
    }
    std::fflush(stdout);
  };
  SiteImporter importer(context.args.words().front(), context.workspace, print);
  importer.ChooseSections(Names(context.args.Text("section")));
  int count = importer.Run();
  if (count < 0) return 1;
  std::printf("%d file(s) imported\n", count);
  return count > 0 && importer.posts() > 0 ? 0 : 1;
}

// One folder; anything else, another option or an empty argument too, gets
// the usage alone.
const Command kImport("import", "import [--section NAME] SITE-FOLDER",
                      "bring a Hexo, Hugo or Jekyll site's posts and files into the workspace",
                      RunImport,
                      {.options = kOptions,
                       .min_words = 1,
                       .max_words = 1,
                       .unknown_option = nullptr,
                       .extra_word = nullptr});

}  // namespace
}  // namespace tarn

// tarn import DIR: brings a Hexo, Hugo or Jekyll site's posts, drafts and
// static files into the workspace (see SiteImporter), printing each file it
// copied or skipped and why.

#include <cstdio>
#include <string>

#include "cli/command.h"
#include "import/site_importer.h"

namespace tarn {
namespace {

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
  int count = importer.Run();
  if (count < 0) return 1;
  std::printf("%d file(s) imported\n", count);
  return count > 0 && importer.posts() > 0 ? 0 : 1;
}

// One folder; anything else, an option or an empty argument too, gets the
// usage alone.
const Command kImport(
    "import", "import SITE-FOLDER",
    "bring a Hexo, Hugo or Jekyll site's posts and files into the workspace", RunImport,
    {.min_words = 1, .max_words = 1, .unknown_option = nullptr, .extra_word = nullptr});

}  // namespace
}  // namespace tarn

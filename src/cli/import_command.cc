// tarn import DIR: brings a Hexo, Hugo or Jekyll site's posts, drafts and
// static files into the workspace (see SiteImporter), printing each file it
// copied or skipped and why.

#include <cstdio>
#include <string>

#include "cli/command.h"
#include "import/site_importer.h"

namespace tarn {
namespace {

constexpr char kUsage[] = "usage: tarn [-w DIR] import SITE-FOLDER\n";

int RunImport(const CommandContext& context) {
  if (context.args.size() != 1 || context.args[0].empty() || context.args[0][0] == '-') {
    std::fputs(kUsage, stderr);
    return kUsageError;
  }
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
  SiteImporter importer(context.args[0], context.workspace, print);
  int count = importer.Run();
  if (count < 0) return 1;
  std::printf("%d file(s) imported\n", count);
  return count > 0 ? 0 : 1;
}

const Command kImport("import", "import SITE-FOLDER",
                      "bring a Hexo, Hugo or Jekyll site's posts and files into the workspace",
                      RunImport);

}  // namespace
}  // namespace tarn

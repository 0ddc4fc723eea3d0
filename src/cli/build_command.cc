// tarn build: the manager page's Rendering command without a window. The
// page functions (markToHtml) come from the workspace's manager page,
// template/index copy.html, run on headless script hosts (see
// render/parallel_build.h).

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cli/command.h"
#include "render/parallel_build.h"
#include "render/site_builder.h"

namespace tarn {
namespace {

constexpr char kUsage[] = "usage: tarn [-w DIR] build [-j N] [--no-cache] [--drafts]\n";

// -j N (also -jN): script hosts converting Markdown, 1 to 64; without it,
// one per processor. --no-cache: convert every post, neither reading nor
// writing the workspace's Markdown cache. --drafts: build drafts too.
struct BuildOptions {
  int jobs = 0;  // one per processor
  bool cache = true;
  bool drafts = false;
};

bool ParseOptions(const std::vector<std::string>& args, BuildOptions* options) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--no-cache") {
      options->cache = false;
      continue;
    }
    if (arg == "--drafts") {
      options->drafts = true;
      continue;
    }
    std::string value;
    if (arg == "-j" || arg == "--jobs") {
      if (i + 1 == args.size()) {
        std::fprintf(stderr, "tarn build: %s needs a number\n%s", arg.c_str(), kUsage);
        return false;
      }
      value = args[++i];
    } else if (arg.rfind("-j", 0) == 0) {
      value = arg.substr(2);
    } else {
      std::fprintf(stderr, "tarn build: unexpected argument '%s'\n%s", arg.c_str(), kUsage);
      return false;
    }
    char* end = nullptr;
    long jobs = std::strtol(value.c_str(), &end, 10);
    if (value.empty() || *end != '\0' || jobs < 1 || jobs > 64) {
      std::fprintf(stderr, "tarn build: -j takes a number from 1 to 64, not '%s'\n%s",
                   value.c_str(), kUsage);
      return false;
    }
    options->jobs = static_cast<int>(jobs);
  }
  return true;
}

int RunBuild(const CommandContext& context) {
  BuildOptions options;
  if (!ParseOptions(context.args, &options)) return kUsageError;
  std::error_code ec;
  if (!std::filesystem::is_directory(context.workspace, ec)) {
    std::fprintf(stderr, "tarn build: %s: no such workspace folder\n", context.workspace.c_str());
    return 1;
  }
  DiagnosticSink sink = [](const std::string& message) {
    std::fprintf(stderr, "%s\n", message.c_str());
    std::fflush(stderr);
  };
  SiteBuilder builder(context.workspace, nullptr, sink);
  builder.set_include_drafts(options.drafts);
  builder.LoadConfig();
  bool built = ParallelBuild::Run(&builder, {options.jobs, options.cache}, sink);
  std::fputs(built ? "渲染完成\n" : "渲染出错\n", stdout);
  std::fflush(stdout);
  return built ? 0 : 1;
}

const Command kBuild("build", "build [-j N] [--no-cache] [--drafts]",
                     "render the whole site into public/", RunBuild);

}  // namespace
}  // namespace tarn

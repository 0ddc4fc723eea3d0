// tarn build: the manager page's Rendering command without a window. The
// page functions (markToHtml) come from the workspace's manager page,
// template/index copy.html, run on headless script hosts (see
// render/parallel_build.h).

#include <glib/gi18n.h>

#include <cstdio>

#include <string>

#include "cli/command.h"
#include "render/parallel_build.h"
#include "render/site_builder.h"

namespace tarn {
namespace {

constexpr OptionRule kOptions[] = {
    {.name = "jobs",
     .short_name = 'j',
     .kind = OptionKind::kNumber,
     .help = "script hosts converting Markdown (default: one per processor)",
     .value_name = "N",
     .needs = "a number",
     .min = 1,
     .max = 64,
     .invalid = "-j takes a number from 1 to 64, not '{}'"},
    {.name = "no-cache",
     .help = "convert and render every page, neither reading nor writing the workspace's "
             "Markdown cache and page memo"},
    {.name = "drafts", .help = "build drafts too"},
    {.name = "future", .help = "build posts dated later too, as they will be once due"},
};

int RunBuild(const CommandContext& context) {
  DiagnosticSink sink = [](const std::string& message) {
    std::fprintf(stderr, "%s\n", message.c_str());
    std::fflush(stderr);
  };
  SiteBuilder builder(context.workspace, nullptr, sink);
  builder.set_include_drafts(context.args.Has("drafts"));
  builder.set_include_future(context.args.Has("future"));
  builder.LoadConfig();
  int jobs = static_cast<int>(context.args.Number("jobs", 0));  // 0: one per processor
  bool built = ParallelBuild::Run(
      &builder, {.jobs = jobs, .cache = !context.args.Has("no-cache"), .first_engine = true}, sink);
  std::fputs(built ? _("渲染完成\n") : _("渲染出错\n"), stdout);
  std::fflush(stdout);
  return built ? 0 : 1;
}

const Command kBuild("build", "build [-j N] [--no-cache] [--drafts] [--future]",
                     "render the whole site into public/", RunBuild, {.options = kOptions});

}  // namespace
}  // namespace tarn

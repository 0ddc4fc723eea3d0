// tarn build: the manager page's Rendering command without a window. The
// page functions (markToHtml) come from the workspace's manager page,
// template/index copy.html, run on the headless script host.

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "cli/command.h"
#include "script/jsc_script_host.h"
#include "site/site_builder.h"

namespace tarn {
namespace {

int RunBuild(const CommandContext& context) {
  if (!context.args.empty()) {
    std::fprintf(stderr, "tarn build: unexpected argument '%s'\nusage: tarn [-w DIR] build\n",
                 context.args[0].c_str());
    return kUsageError;
  }
  std::error_code ec;
  if (!std::filesystem::is_directory(context.workspace, ec)) {
    std::fprintf(stderr, "tarn build: %s: no such workspace folder\n", context.workspace.c_str());
    return 1;
  }
  DiagnosticSink sink = [](const std::string& message) {
    std::fprintf(stderr, "%s\n", message.c_str());
    std::fflush(stderr);
  };
  // Without the page the build still runs; it fails at the first post it
  // cannot convert, saying why.
  std::unique_ptr<JscScriptHost> host =
      JscScriptHost::Load(context.workspace + "/template/index copy.html", sink);
  SiteBuilder builder(context.workspace, host.get(), sink);
  builder.LoadConfig();
  bool built = builder.Build();
  std::fputs(built ? "渲染完成\n" : "渲染出错\n", stdout);
  std::fflush(stdout);
  return built ? 0 : 1;
}

const Command kBuild("build", "build", "render the whole site into public/", RunBuild);

}  // namespace
}  // namespace tarn

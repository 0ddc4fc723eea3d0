// tarn check: reads the built site as readers meet it and reports what is
// broken (errors: links, fragments and images that lead nowhere, front
// matter that did not parse) and what is worth fixing (warnings), grouped by
// page with the post each page came from. Builds first when public/ is older
// than the sources. --external asks external links too, each request
// bounded by TARN_CHECK_TIMEOUT_MS milliseconds when that is set (for
// tests), else ExternalLinks' default. Exits 1 when it found errors, 0
// otherwise.

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "check/external_links.h"
#include "check/site_check.h"
#include "cli/command.h"
#include "cli/publish_check.h"
#include "render/parallel_build.h"
#include "render/site_builder.h"

namespace tarn {
namespace {

constexpr OptionRule kOptions[] = {
    {.name = "json", .help = "print the report as one JSON object"},
    {.name = "external", .help = "check external links too (HEAD requests, answers kept a day)"},
};

// How long one external request may take: TARN_CHECK_TIMEOUT_MS when set
// (for tests), else ExternalLinks' default.
long ExternalTimeoutMs() {
  const char* value = std::getenv("TARN_CHECK_TIMEOUT_MS");
  long ms = value ? std::strtol(value, nullptr, 10) : 0;
  return ms > 0 ? ms : ExternalLinks::kDefaultTimeoutMs;
}

int RunCheck(const CommandContext& context) {
  Workspace workspace(context.workspace);
  SiteBuilder site(context.workspace, nullptr, PrintReason);
  site.LoadConfig();
  if (SiteCheck::NeedsBuild(workspace, site.config().theme_dir())) {
    if (!ParallelBuild::Run(&site, {.first_engine = true}, PrintReason)) {
      PrintReason("tarn check: the site did not build (see above); nothing was checked");
      return 1;
    }
  }
  DiagnosticSink quiet = [](const std::string&) {};  // the build reported them
  SiteCheck check(workspace);
  if (context.args.Has("external")) check.set_external(ExternalTimeoutMs());
  CheckReport report = check.Run(std::time(nullptr), quiet);
  std::string text = context.args.Has("json") ? report.Json() : report.Text();
  std::fputs(text.c_str(), stdout);
  std::fflush(stdout);
  return report.errors() ? 1 : 0;
}

const Command kCheck("check", "check [--external] [--json]",
                     "check the built site for broken links, missing images and other mistakes",
                     RunCheck, {.options = kOptions});

}  // namespace

bool PublishCheckStops(const Workspace& workspace, bool force, std::string* found) {
  DiagnosticSink quiet = [](const std::string&) {};  // the build reported them
  CheckReport report = SiteCheck(workspace).Run(std::time(nullptr), quiet);
  found->clear();
  if (report.errors() || report.warnings())
    *found = "the check found " + std::to_string(report.errors()) + " error(s) and " +
             std::to_string(report.warnings()) + " warning(s)";
  if (!report.errors()) {
    if (report.warnings())
      PrintReason("tarn check: " + std::to_string(report.warnings()) +
                  " warning(s); run tarn check to see them");
    return false;
  }
  std::fflush(stdout);
  std::fputs(report.Text(true).c_str(), stderr);
  if (force) {
    PrintReason("tarn publish: publishing despite " + std::to_string(report.errors()) +
                " error(s) (--force-check)");
    return false;
  }
  PrintReason("tarn publish: the check found " + std::to_string(report.errors()) +
              " error(s); nothing was committed or pushed. Fix them, or publish anyway with "
              "--force-check");
  return true;
}

}  // namespace tarn

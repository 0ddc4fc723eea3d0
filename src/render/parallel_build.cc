#include "render/parallel_build.h"

#include <cstdlib>
#include <memory>

#include "convert/markdown_converter.h"
#include "render/site_builder.h"
#include "script/jsc_script_host.h"
#include "workspace/workspace.h"

namespace tarn {

std::string ParallelBuild::PagePath(const std::string& root) {
  return Workspace(root).manager_page_template();
}

std::string ParallelBuild::CachePath(const std::string& root) {
  return Workspace(root).StatePath("markdown-cache.bin");
}

bool ParallelBuild::Run(SiteBuilder* site, const Options& options, const DiagnosticSink& sink) {
  const std::string page = PagePath(site->root());
  std::unique_ptr<JscScriptHost> host = JscScriptHost::Load(page, sink);
  std::unique_ptr<MarkdownConverter> converter;
  if (host) {
    MarkdownConverter::Options convert;
    convert.jobs = options.jobs;
    convert.scripts_digest = host->ScriptsDigest();
    if (options.cache) convert.cache_path = CachePath(site->root());
    // Tests that must see worker processes convert a handful of short posts.
    if (const char* bytes = std::getenv("TARN_TEST_BYTES_PER_WORKER"))
      convert.bytes_per_worker = std::strtoul(bytes, nullptr, 10);
    converter = std::make_unique<MarkdownConverter>(
        host.get(), MarkdownConverter::WorkerFactory(page, convert.scripts_digest), convert, sink);
  }
  ScriptHost* previous = site->script_host();
  site->set_script_host(host.get());
  site->set_markdown_converter(converter.get());
  bool built = site->Build();
  site->set_markdown_converter(nullptr);
  site->set_script_host(previous);
  return built;
}

}  // namespace tarn

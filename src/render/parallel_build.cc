#include "render/parallel_build.h"

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "content/post_index.h"
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

std::uintmax_t ParallelBuild::ChangedMarkdownBytes(const std::string& root, bool cache) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::file_time_type since = fs::file_time_type::min();
  if (cache) {
    fs::file_time_type written = fs::last_write_time(CachePath(root), ec);
    if (!ec) since = written;
  }
  const Workspace workspace(root);
  std::uintmax_t bytes = 0;
  for (const std::string& folder : {workspace.posts_dir(), workspace.pages_dir()}) {
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
      std::error_code entry_ec;
      if (!PostIndex::IsPostName(it->path().filename().string())) continue;
      if (it->last_write_time(entry_ec) <= since && !entry_ec) continue;
      std::uintmax_t size = it->file_size(entry_ec);
      if (!entry_ec) bytes += size;
    }
  }
  return bytes;
}

bool ParallelBuild::Run(SiteBuilder* site, const Options& options, const DiagnosticSink& sink) {
  const std::string page = PagePath(site->root());
  const bool optimizing_tier =
      ChangedMarkdownBytes(site->root(), options.cache) >= kOptimizingTierBytes;
  if (options.first_engine) JscScriptHost::UseOptimizingTier(optimizing_tier);
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
        host.get(), MarkdownConverter::WorkerFactory(page, convert.scripts_digest, optimizing_tier),
        convert, sink);
  }
  ScriptHost* previous = site->script_host();
  site->set_script_host(host.get());
  site->set_markdown_converter(converter.get());
  site->set_keep_article_texts(options.cache);
  site->set_render_memo(options.cache);
  bool built = site->Build();
  site->set_render_memo(false);
  site->set_keep_article_texts(false);
  site->set_markdown_converter(nullptr);
  site->set_script_host(previous);
  return built;
}

}  // namespace tarn

// ParallelBuild: the whole-site Build as tarn's front ends run it. The
// posts' Markdown is converted by a script host loaded with the workspace's
// manager page (template/index copy.html) on the calling thread and by up
// to jobs - 1 worker processes loaded with the same page, reusing the HTML
// of posts that have not changed since the last build with the same scripts
// (the conversion cache in .tarn/), keeping the articles' plain text,
// heading ids and contents likewise (ArticleTextCache), and leaving alone
// the pages whose inputs did not change (the render memo,
// SiteBuilder::set_render_memo). The command line and the desktop program
// both build this way, so the same workspace gives the same bytes
// whichever of them builds it; tarn serve's staged builds keep neither.
//
// Thread safety: Run may be called on any thread (the desktop program calls
// it off its window's thread); nothing else may use the SiteBuilder until
// it returns.
#pragma once

#include <cstdint>
#include <string>

#include "data/diagnostics.h"

namespace tarn {

class SiteBuilder;

class ParallelBuild {
 public:
  struct Options {
    int jobs = 0;  // script hosts in all; 0: one per processor
    // false: neither read nor write the caches, and keep no RenderMemo
    // (every page renders)
    bool cache = true;
    // The process has started no JavaScript engine yet (the command line):
    // the build chooses its JIT tier too, not only its workers'.
    bool first_engine = false;
  };

  // Markdown to convert from which the script engines compile hot code with
  // the optimizing tier (see JscScriptHost::UseOptimizingTier). Measured on
  // 6 KB posts: no difference at 6 MB, twice as fast at 60 MB; below it the
  // tier only costs (small posts at 3 MB, every one-post edit).
  static constexpr std::uintmax_t kOptimizingTierBytes = 8 * 1024 * 1024;

  // The bytes of posts and pages changed since the conversion cache was
  // last written (all of them without a cache): what a build will convert,
  // as far as file times tell, without reading a post.
  static std::uintmax_t ChangedMarkdownBytes(const std::string& root, bool cache);

  // The manager page whose markToHtml converts the posts.
  static std::string PagePath(const std::string& root);
  // The conversion cache file of the workspace.
  static std::string CachePath(const std::string& root);

  // site->Build() with the converter described above; returns its result.
  // The site's script host is the loaded page during the build and is put
  // back afterwards. Without the page the build still runs and fails at the
  // first post it cannot convert, saying why on the site's sink. Messages
  // about the page go to sink.
  static bool Run(SiteBuilder* site, const Options& options, const DiagnosticSink& sink);
};

}  // namespace tarn

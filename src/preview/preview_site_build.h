// PreviewSiteBuild: the build a preview runs for `tarn serve`, as the
// PreviewBuilder's BuildFunction. Each call builds the staging workspace
// with a fresh SiteBuilder (which reads base.json and conf.ini again),
// drafts included when asked.
//
// The page's functions come from a script host loaded at the first build
// and again whenever a path under template/ changed; between those its
// markToHtml results are remembered (RememberingHost), so a rebuild converts
// only the posts that changed. When the page cannot be loaded the build
// runs without a host, as `tarn build` would, and reports why.
//
// The staging workspace links to the workspace's folders, so messages that
// name a file by its stage path are rewritten to name it in the workspace.
//
// Thread safety: made on any thread; once called, called and destroyed on
// that thread only (the builder's), since the host it keeps (a JavaScript
// context) stays on the thread that loaded it. Copies made before the
// first call share nothing that matters.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "data/diagnostics.h"
#include "script/script_host.h"

namespace tarn {

class RememberingHost;

class PreviewSiteBuild {
 public:
  // Loads the page whose functions the build calls; returns null after
  // telling the sink why when it cannot.
  using HostLoader =
      std::function<std::unique_ptr<ScriptHost>(const std::string& page, const DiagnosticSink&)>;

  // workspace: the real workspace's root. load_host defaults to a headless
  // JavaScriptCore host of the workspace's manager page template.
  PreviewSiteBuild(std::string workspace, bool include_drafts, HostLoader load_host = nullptr);

  // Whether posts scheduled for later are built too (SiteBuilder).
  void set_include_future(bool include) { include_future_ = include; }

  // Builds the staging workspace at stage_root; changed lists the source
  // paths (relative to the workspace) changed since the last call. Reasons
  // go to sink. Returns true when the configuration loaded and every page
  // was built.
  bool operator()(const std::string& stage_root, const std::vector<std::string>& changed,
                  const DiagnosticSink& sink);

  // text with every "stage_root/" replaced by "workspace/". Pure.
  static std::string NameWorkspaceFiles(std::string text, const std::string& stage_root,
                                        const std::string& workspace);

 private:
  std::string workspace_;
  bool include_drafts_;
  bool include_future_ = false;
  HostLoader load_host_;
  std::shared_ptr<RememberingHost> host_;
};

}  // namespace tarn

#include "preview/preview_site_build.h"

#include <utility>

#include "convert/remembering_host.h"
#include "render/site_builder.h"
#include "script/jsc_script_host.h"
#include "workspace/workspace.h"

namespace tarn {

PreviewSiteBuild::PreviewSiteBuild(std::string workspace, bool include_drafts, HostLoader load_host)
    : workspace_(std::move(workspace)),
      include_drafts_(include_drafts),
      load_host_(std::move(load_host)) {
  if (!load_host_) {
    load_host_ = [](const std::string& page,
                    const DiagnosticSink& sink) -> std::unique_ptr<ScriptHost> {
      return JscScriptHost::Load(page, sink);
    };
  }
}

std::string PreviewSiteBuild::NameWorkspaceFiles(std::string text, const std::string& stage_root,
                                                 const std::string& workspace) {
  const std::string stage_prefix = stage_root + "/";
  for (size_t at = 0; (at = text.find(stage_prefix, at)) != std::string::npos;) {
    text.replace(at, stage_root.size(), workspace);
    at += workspace.size() + 1;
  }
  return text;
}

bool PreviewSiteBuild::operator()(const std::string& stage_root,
                                  const std::vector<std::string>& changed,
                                  const DiagnosticSink& sink) {
  DiagnosticSink named = [&](const std::string& message) {
    sink(NameWorkspaceFiles(message, stage_root, workspace_));
  };
  bool pages_changed = false;
  for (const std::string& path : changed)
    if (path.rfind(Workspace::Path(Workspace::kTemplateDir, ""), 0) == 0) pages_changed = true;
  if (!host_ || pages_changed) {
    host_.reset();
    std::unique_ptr<ScriptHost> page =
        load_host_(Workspace::Path(workspace_, Workspace::kManagerPageTemplate), named);
    if (page) host_ = std::make_shared<RememberingHost>(std::move(page));
  }
  if (host_) host_->StartBuild();
  SiteBuilder builder(stage_root, host_.get(), named);
  builder.set_include_drafts(include_drafts_);
  builder.set_include_future(include_future_);
  bool configured = builder.LoadConfig();
  bool built = builder.Build();
  return configured && built;
}

}  // namespace tarn

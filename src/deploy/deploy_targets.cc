#include "deploy/deploy_targets.h"

#include <algorithm>

#include "deploy/git_target.h"
#include "deploy/rclone_target.h"
#include "deploy/rsync_target.h"

namespace tarn {
namespace {

bool IsObject(const JsonDocument& doc, const std::string& path) {
  return doc.GetType(path) == JsonDocument::kObject;
}
bool IsArray(const JsonDocument& doc, const std::string& path) {
  return doc.GetType(path) == JsonDocument::kArray;
}

const char* ResultText(TargetResult result) {
  switch (result) {
    case TargetResult::kPublished:
      return "published";
    case TargetResult::kFailed:
      return "failed; the output above says why";
    case TargetResult::kRefused:
      return "refused; nothing was sent (the reason is above)";
    case TargetResult::kForeignSite:
      return "stopped: the folder holds files that tarn did not publish (it has no .tarn-site); "
             "nothing was sent. Run again with --replace to replace them";
  }
  return "";
}

}  // namespace

DeployTargets::DeployTargets(const JsonDocument& settings, GitDeployer* git) {
  if (!Configured(settings)) {
    std::string url = settings.GetText("system.deployUrl");
    if (!url.empty()) Add("", "git", std::make_unique<GitTarget>(git, url), "");
    return;
  }
  if (!IsArray(settings, kSetting)) {
    Add("deploy", "", nullptr, "system.deploy in config/base.json is not a list of targets");
    return;
  }
  for (int i = 0; i < settings.GetCount(kSetting); ++i) {
    std::string path = std::string(kSetting) + "[" + std::to_string(i) + "]";
    std::string error;
    std::unique_ptr<DeployTarget> target = Make(settings, path, git, &error);
    Add(settings.GetText(path + ".name"), settings.GetText(path + ".type"), std::move(target),
        error);
  }
}

DeployTargets::~DeployTargets() = default;

std::unique_ptr<DeployTarget> DeployTargets::Make(const JsonDocument& settings,
                                                  const std::string& path, GitDeployer* git,
                                                  std::string* error) {
  std::string where = "config/base.json: " + path;
  if (!IsObject(settings, path)) {
    *error = where + " is not an object ({\"type\": ..., ...})";
    return nullptr;
  }
  std::string type = settings.GetText(path + ".type");
  if (type == "git") {
    std::string url = settings.GetText(path + ".url");
    if (url.empty()) url = settings.GetText("system.deployUrl");
    return std::make_unique<GitTarget>(git, url);
  }
  if (type == "rsync")
    return std::make_unique<RsyncTarget>(settings.GetText(path + ".target"),
                                         settings.GetText(path + ".port"),
                                         settings.GetText(path + ".keyFile"));
  if (type == "rclone") return std::make_unique<RcloneTarget>(settings.GetText(path + ".remote"));
  *error = where + ": unknown \"type\" \"" + type + "\" (git, rsync or rclone)";
  return nullptr;
}

void DeployTargets::Add(std::string name, const std::string& type,
                        std::unique_ptr<DeployTarget> target, std::string error) {
  if (name.empty()) {
    std::string base = type.empty() ? "target" : type;
    name = base;
    for (int n = 2; Has(name); ++n) name = base + "-" + std::to_string(n);
  } else if (Has(name)) {
    // --target NAME must name one target.
    target.reset();
    error = "config/base.json: system.deploy names two targets \"" + name + "\"; rename one";
  }
  entries_.push_back({std::move(name), std::move(target), std::move(error)});
}

std::vector<std::string> DeployTargets::names() const {
  std::vector<std::string> names;
  for (const Entry& entry : entries_) names.push_back(entry.name);
  return names;
}

bool DeployTargets::Has(const std::string& name) const {
  return std::any_of(entries_.begin(), entries_.end(),
                     [&](const Entry& entry) { return entry.name == name; });
}

std::vector<TargetOutcome> DeployTargets::Publish(const TargetRun& run, const std::string& only) {
  std::vector<TargetOutcome> outcomes;
  for (Entry& entry : entries_) {
    if (!only.empty() && entry.name != only) continue;
    TargetOutcome outcome{entry.name, entry.name, TargetResult::kRefused};
    if (!entry.target) {
      if (run.sink) run.sink(entry.error);
    } else {
      outcome.label +=
          std::string(" (") + entry.target->kind() + " " + entry.target->address() + ")";
      if (run.output) run.output("Publishing to " + outcome.label + "\n");
      outcome.result = entry.target->Publish(run);
    }
    outcomes.push_back(std::move(outcome));
  }
  return outcomes;
}

std::string DeployTargets::Describe(const std::vector<TargetOutcome>& outcomes) {
  std::string text;
  for (const TargetOutcome& outcome : outcomes)
    text += outcome.label + ": " + ResultText(outcome.result) + "\n";
  return text;
}

}  // namespace tarn

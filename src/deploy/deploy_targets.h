// DeployTargets: the places a publish sends the site to, in the order
// base.json lists them under system.deploy:
//   "deploy": [{"type": "git", "url": "..."},
//              {"type": "rsync", "name": "vps", "target": "me@host:/srv/blog/"},
//              {"type": "rclone", "remote": "r2:bucket/blog"}]
// Without system.deploy the list is the one git target of
// system.deployUrl (none when that is empty), so a blog that uses none of
// this publishes exactly as before. A target is called by its "name", or
// by its type (the second of a type "rsync-2", and so on).
//
// An entry that cannot be used (not an object, an unknown type, a name an
// earlier entry has) stays in
// the list as a refused target, so the others are still published and the
// outcome names it.
//
// Thread safety: none; one thread builds and publishes.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "data/json_document.h"
#include "deploy/deploy_target.h"

namespace tarn {

// How one target's publish ended, for the outcome message.
struct TargetOutcome {
  std::string name;
  std::string label;  // "NAME (KIND ADDRESS)", secrets masked
  TargetResult result;
};

class DeployTargets {
 public:
  static constexpr char kSetting[] = "system.deploy";

  // Builds the list from base.json's settings. git is not owned; it must
  // outlive this object and have been initialised on public/.
  DeployTargets(const JsonDocument& settings, GitDeployer* git);
  ~DeployTargets();

  // Whether base.json has system.deploy (in any form).
  static bool Configured(const JsonDocument& settings) { return settings.Exists(kSetting); }

  bool empty() const { return entries_.empty(); }
  // The targets' names, in order.
  std::vector<std::string> names() const;
  bool Has(const std::string& name) const;

  // Publishes to every target in order, or only to the one named only when
  // that is not empty; a failed target does not stop the next. Returns one
  // outcome per target tried.
  std::vector<TargetOutcome> Publish(const TargetRun& run, const std::string& only);

  // One line per outcome: "NAME (KIND ADDRESS): published" and what went
  // wrong otherwise.
  static std::string Describe(const std::vector<TargetOutcome>& outcomes);

 private:
  struct Entry {
    std::string name;
    std::unique_ptr<DeployTarget> target;  // null: refused, error says why
    std::string error;
  };

  // The target the entry at path describes; null with *error when none.
  static std::unique_ptr<DeployTarget> Make(const JsonDocument& settings, const std::string& path,
                                            GitDeployer* git, std::string* error);
  void Add(std::string name, const std::string& type, std::unique_ptr<DeployTarget> target,
           std::string error);

  std::vector<Entry> entries_;
};

}  // namespace tarn

// PreviewBuilder: rebuilds a site on a thread of its own while a preview
// server keeps answering, and keeps a copy of each good build for it.
//
// Builds run in a staging workspace inside the stage folder (best on a
// memory file system): its _posts, config, static, template and themes are links to
// the workspace's own, its public/ starts as a copy of the workspace's
// (without .git). A build writes every page it renders, which on a disk
// costs more than rendering it; in the stage that is cheap, and a build that
// fails half-way never touches the workspace's public/.
//
// When a build succeeds, its public/ is copied into a new numbered folder
// (symbolic links copied as links), which the server then serves, and the
// files that differ are written into the workspace's public/ (atomically;
// files the build removed are removed there too), so public/ is what
// `tarn build` would have left, and so is the build's record of it
// (render/public_record.h), which the stage starts from too. A failed
// build leaves both the served copy and public/ as they were, and so does
// every build when public/ is left alone or is itself a symbolic link.
// Copies no longer served are deleted on the builder's thread.
//
// Requests made while a build runs are gathered into one more build after
// it. The build function runs on the builder's thread only, and is also
// destroyed there: it may own objects that must stay on one thread (a
// JavaScriptCore context). Results are delivered on the GLib main context
// that was the thread default when the builder was created.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "data/diagnostics.h"

namespace tarn {

class PreviewBuilder {
 public:
  // Builds the workspace at root (the staging workspace) into root/public.
  // changed: the source paths that changed since the last build (empty for
  // the first). Reasons go to sink. Returns true when the site is good.
  using BuildFunction =
      std::function<bool(const std::string& root, const std::vector<std::string>& changed,
                         const DiagnosticSink& sink)>;

  struct Result {
    int number = 0;  // 1 for the first build
    bool ok = false;
    std::string snapshot;      // the folder to serve when ok
    std::string messages;      // what the build reported, one message a line
    double seconds = 0;        // build and copies
    double build_seconds = 0;  // the build alone
    double cpu_seconds = 0;    // processor time of the builder's thread
    // A second result follows a good build once the workspace's public/ has
    // been brought up to date: public_updated set, snapshot empty, ok false
    // when some file could not be written (messages say which). When
    // another build was asked for meanwhile, that one's update replaces it.
    bool public_updated = false;
    int written = 0;  // files written into or removed from public/
  };
  using ResultCallback = std::function<void(const Result& result)>;

  // workspace: the workspace root. stage_dir: an existing, empty folder
  // owned by the builder from now on (removed when it ends). update_public
  // false: the workspace's public/ is never written, only served copies
  // are made (a preview with drafts: push reads public/).
  PreviewBuilder(std::string workspace, std::string stage_dir, BuildFunction build,
                 ResultCallback done, bool update_public = true);
  // Waits for a running build to end, then removes the stage folder.
  ~PreviewBuilder();
  PreviewBuilder(const PreviewBuilder&) = delete;
  PreviewBuilder& operator=(const PreviewBuilder&) = delete;

  // Asks for a build; changed joins those of other waiting requests.
  void Request(const std::vector<std::string>& changed);

  // Copies the folder from to a new folder to (which must not exist), as a
  // snapshot is made: .git at the top left out, links copied as links.
  // Returns false with *error on failure.
  static bool CopySite(const std::string& from, const std::string& to, std::string* error);

  // Makes a new, empty folder to give the builder as its stage_dir: under
  // XDG_RUNTIME_DIR or /dev/shm (memory file systems, since builds write
  // every page there) when it can, else the temporary folder. Returns its
  // path, or "" with *error naming the last place tried. Any thread.
  static std::string MakeStageFolder(std::string* error);

  // The staging workspace's root (where builds run); its messages name
  // workspace files by this path.
  std::string StageRoot() const { return stage_dir_ + "/site"; }

 private:
  struct Shared;
  void Run(BuildFunction build);
  // One build in the stage and, when good, its snapshot; timed.
  Result BuildOnce(const BuildFunction& build, int number, const std::vector<std::string>& changed,
                   bool prepared, const std::string& prepare_error);
  // Mirrors the last good build into the workspace's public/ and delivers
  // that second result, unless another build is waiting.
  void UpdatePublic(int number);
  bool Prepare(std::string* error);
  // Writes what differs from stage public/ into the workspace's public/;
  // returns the files written or removed, or -1 when it stopped early
  // because another build is waiting (which brings public/ up to date in
  // turn: the update compares texts, so what was done is not done again).
  int Mirror(std::string* messages);
  bool Waiting();
  void Deliver(Result result);

  std::string workspace_;
  std::string stage_dir_;
  bool update_public_;
  std::set<std::string> mirrored_;  // public/ files the builds own (builder thread)
  std::shared_ptr<Shared> shared_;
  std::thread thread_;
};

}  // namespace tarn

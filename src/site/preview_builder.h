// PreviewBuilder: rebuilds a site on a thread of its own while a preview
// server keeps answering, and keeps a copy of each good build for it.
//
// The build itself writes into the workspace's public/, as every build
// does. Only when it succeeds is public/ copied into a new numbered folder
// under the snapshot folder (public/.git left out, symbolic links copied as
// links), which the server then serves; a failed build leaves the last good
// copy in place. Copies no longer served are deleted on the builder's
// thread.
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
#include <string>
#include <thread>
#include <vector>

#include "data/diagnostics.h"

namespace tarn {

class PreviewBuilder {
 public:
  // Builds the site into public/. changed: the source paths that changed
  // since the last build (empty for the first). Reasons go to sink. Returns
  // true when the site is good.
  using BuildFunction =
      std::function<bool(const std::vector<std::string>& changed, const DiagnosticSink& sink)>;

  struct Result {
    int number = 0;        // 1 for the first build
    bool ok = false;
    std::string snapshot;  // the folder to serve when ok
    std::string messages;  // what the build reported, one message a line
    double seconds = 0;    // build and copy
  };
  using ResultCallback = std::function<void(const Result& result)>;

  // public_dir: the folder the build writes. snapshot_dir: an existing,
  // empty folder owned by the builder from now on (removed when it ends).
  PreviewBuilder(std::string public_dir, std::string snapshot_dir, BuildFunction build,
                 ResultCallback done);
  // Waits for a running build to end, then removes the snapshot folder.
  ~PreviewBuilder();
  PreviewBuilder(const PreviewBuilder&) = delete;
  PreviewBuilder& operator=(const PreviewBuilder&) = delete;

  // Asks for a build; changed joins those of other waiting requests.
  void Request(const std::vector<std::string>& changed);

  // Copies the folder from to a new folder to (which must not exist), as a
  // snapshot is made: .git at the top left out, links copied as links.
  // Returns false with *error on failure.
  static bool CopySite(const std::string& from, const std::string& to, std::string* error);

 private:
  struct Shared;
  void Run(BuildFunction build);
  void Deliver(Result result);

  std::string public_dir_;
  std::string snapshot_dir_;
  std::shared_ptr<Shared> shared_;
  std::thread thread_;
};

}  // namespace tarn

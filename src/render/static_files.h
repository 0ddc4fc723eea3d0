// StaticFiles: the workspace's static/ folder, copied into public/ as it is
// (CNAME, favicon.ico, robots.txt, images), keeping sub-folders.
//
// A file the build writes itself wins over a static file of the same path,
// with a warning. A ".git" anywhere is never copied. A symbolic link is
// followed only when it leads to a file inside the workspace; anything else
// that is not a plain file (FIFOs, sockets, devices) is skipped. Nothing is
// written outside public/, and never through a symbolic link in it. Files
// are streamed, never read whole, and a copy an earlier build made is left
// alone while the file keeps its size and modification time. A file or
// folder an earlier build left where a static file's path now goes (the
// static file was a folder, or the other way round) makes way for it.
//
// Thread safety: the function keeps no state.
#pragma once

#include <functional>
#include <string>

#include "data/diagnostics.h"
#include "render/public_folder.h"
#include "workspace/workspace.h"

namespace tarn {

class StaticFiles {
 public:
  // Copies the workspace's static/ into out, giving way to what out notes
  // as generated and, silently, to the files published says another step
  // published from static/ (relative to public/). Returns false when a file
  // could not be read or written (reported); skipped files are reported but
  // are no failure. A missing static/ copies nothing and is fine.
  static bool Copy(const Workspace& workspace, PublicFolder* out, const DiagnosticSink& sink,
                   const std::function<bool(const std::string&)>& published = nullptr);
};

}  // namespace tarn

// tarn serve: builds the site, serves it on 127.0.0.1 and rebuilds it when
// its sources change, so that open pages show every save. With --drafts
// the drafts are served but public/, which push publishes, is left alone.
//
// The main thread runs the GLib main loop: the HTTP server, the file
// watcher and the signals. Builds run on the preview builder's thread
// (preview/preview_builder.h, preview/preview_site_build.h), so pages are served
// while a build runs.

#include <glib-unix.h>
#include <glib.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "cli/command.h"
#include "net/preview_server.h"
#include "preview/preview_builder.h"
#include "preview/preview_site_build.h"
#include "preview/site_watcher.h"
#include "workspace/workspace.h"

namespace tarn {
namespace {

constexpr int kDefaultPort = 4000;

constexpr OptionRule kOptions[] = {
    {.name = "port",
     .short_name = 'p',
     .kind = OptionKind::kNumber,
     .help = "the port on 127.0.0.1 (default: 4000; 0: any free one)",
     .value_name = "N",
     .needs = "a number",
     .min = 0,
     .max = 65535,
     .invalid = "'{}' is not a port (0 to 65535)"},
    {.name = "drafts", .help = "build drafts too"},
    {.name = "future", .help = "build posts dated later too, as they will be once due"},
};

void Print(FILE* out, const std::string& text) {
  std::fputs(text.c_str(), out);
  std::fputc('\n', out);
  std::fflush(out);
}

std::string Milliseconds(double seconds) {
  return std::to_string(static_cast<long>(seconds * 1000 + 0.5)) + " ms";
}

// Shows one build's result: a good site goes to the server, a failed one
// becomes the server's error panel; both are told on the terminal. The
// address is announced after the first result, with the public/ folder
// kept up to date ("" when it is left alone: the site is served with
// extras, "its drafts").
class ResultPrinter {
 public:
  ResultPrinter(PreviewServer* server, std::string public_dir, std::string extras)
      : server_(server), public_dir_(std::move(public_dir)), extras_(std::move(extras)) {}

  void operator()(const PreviewBuilder::Result& result) {
    if (result.public_updated) {
      PrintPublicUpdate(result);
      return;
    }
    if (result.ok) {
      server_->ShowSite(result.snapshot, result.messages);
      if (!result.messages.empty()) Print(stderr, result.messages);
      Print(stdout, std::string(result.number == 1 ? "built" : "rebuilt") + " in " +
                        Milliseconds(result.seconds) + " (build " +
                        Milliseconds(result.build_seconds) + ", processor " +
                        Milliseconds(result.cpu_seconds) + ")");
    } else {
      std::string what = result.number == 1 ? "the site could not be built"
                                            : "the site could not be rebuilt; the last good "
                                              "site is still served";
      server_->ShowError(result.messages);
      Print(stderr, "tarn serve: " + what + ":\n" + result.messages);
    }
    if (!announced_) {
      announced_ = true;
      if (public_dir_.empty()) {
        Print(stdout, "serving the site with " + extras_ + " at " + server_->Url() +
                          " (Ctrl+C stops); public/ is left as it is");
      } else {
        Print(stdout, "serving " + public_dir_ + " at " + server_->Url() + " (Ctrl+C stops)");
      }
    }
  }

 private:
  static void PrintPublicUpdate(const PreviewBuilder::Result& result) {
    if (!result.ok) {
      Print(stderr, "tarn serve: public/ could not be brought up to date:\n" + result.messages);
    } else if (result.written > 0) {
      Print(stdout, "public/: " + std::to_string(result.written) + " files updated");
    }
  }

  PreviewServer* server_;
  std::string public_dir_;
  std::string extras_;
  bool announced_ = false;
};

// "changed: a, b, c, ..." for the first three paths.
std::string DescribeChanges(const std::vector<std::string>& changed) {
  std::string list;
  for (size_t i = 0; i < changed.size() && i < 3; ++i) list += (i ? ", " : "") + changed[i];
  if (changed.size() > 3) list += ", ...";
  return "changed: " + list;
}

// Runs the main loop until SIGINT or SIGTERM.
void RunUntilStopped() {
  GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
  auto quit = [](gpointer data) -> gboolean {
    g_main_loop_quit(static_cast<GMainLoop*>(data));
    return G_SOURCE_CONTINUE;
  };
  guint on_int = g_unix_signal_add(SIGINT, quit, loop);
  guint on_term = g_unix_signal_add(SIGTERM, quit, loop);
  g_main_loop_run(loop);
  g_source_remove(on_int);
  g_source_remove(on_term);
  g_main_loop_unref(loop);
}

// Serves the workspace until stopped; stage_dir goes to the preview
// builder, which removes it. Returns the exit status.
int Serve(const Workspace& workspace, const std::string& stage_dir, const ParsedArgs& args) {
  PreviewServer server([](const std::string& message) { Print(stderr, message); });
  std::string error;
  if (!server.Listen(static_cast<int>(args.Number("port", kDefaultPort)), &error)) {
    Print(stderr, "tarn serve: " + error);
    std::error_code ec;
    std::filesystem::remove_all(stage_dir, ec);
    return 1;
  }
  const std::string& root = workspace.root();
  // Drafts and scheduled posts are previewed, never written where push
  // reads.
  bool drafts = args.Has("drafts");
  bool future = args.Has("future");
  const char* extras = !future  ? "its drafts"
                       : drafts ? "its drafts and scheduled posts"
                                : "its scheduled posts";
  PreviewSiteBuild site_build(root, drafts);
  site_build.set_include_future(future);
  bool preview_only = drafts || future;
  PreviewBuilder builder(root, stage_dir, std::move(site_build),
                         ResultPrinter(&server, preview_only ? "" : workspace.public_dir(), extras),
                         !preview_only);
  SiteWatcher watcher(root, [&](const std::vector<std::string>& changed) {
    Print(stdout, DescribeChanges(changed));
    builder.Request(changed);
  });
  if (!watcher.Start(&error)) {
    Print(stderr, "tarn serve: " + error);
    return 1;
  }
  builder.Request({});
  RunUntilStopped();
  Print(stdout, "stopping");
  return 0;  // the builder waits for a build in progress and removes its copies
}

int RunServe(const CommandContext& context) {
  Workspace workspace(context.workspace);
  // The build writes into public/; a missing one is created as the desktop
  // program does at start.
  std::error_code ec;
  std::filesystem::create_directory(workspace.public_dir(), ec);

  std::string error;
  std::string stage_dir = PreviewBuilder::MakeStageFolder(&error);
  if (stage_dir.empty()) {
    Print(stderr, "tarn serve: cannot create a temporary folder: " + error);
    return 1;
  }
  return Serve(workspace, stage_dir, context.args);
}

const Command kServe("serve", "serve [--port N] [--drafts] [--future]",
                     "build the site, serve it on 127.0.0.1 and rebuild it on changes", RunServe,
                     {.options = kOptions});

}  // namespace
}  // namespace tarn

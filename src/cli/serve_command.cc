// tarn serve: builds the site, serves it on 127.0.0.1 and rebuilds it when
// its sources change, so that open pages show every save.
//
// The main thread runs the GLib main loop: the HTTP server, the file
// watcher and the signals. Builds run on the preview builder's thread
// (preview/preview_builder.h, preview/preview_site_build.h), so pages are served
// while a build runs.

#include <glib-unix.h>
#include <glib.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "cli/command.h"
#include "net/preview_server.h"
#include "preview/preview_builder.h"
#include "preview/preview_site_build.h"
#include "preview/site_watcher.h"

namespace tarn {
namespace {

constexpr int kDefaultPort = 4000;
constexpr const char kUsage[] = "usage: tarn [-w DIR] serve [--port N] [--drafts]\n";

void Print(FILE* out, const std::string& text) {
  std::fputs(text.c_str(), out);
  std::fputc('\n', out);
  std::fflush(out);
}

bool ParsePort(const std::string& text, int* port) {
  if (text.empty() || text.size() > 5) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  *port = std::atoi(text.c_str());
  return *port <= 65535;
}

std::string Milliseconds(double seconds) {
  return std::to_string(static_cast<long>(seconds * 1000 + 0.5)) + " ms";
}

struct ServeOptions {
  int port = kDefaultPort;
  bool drafts = false;
};

// Reads serve's arguments into *options. Returns false after printing the
// reason and the usage.
bool ParseServeArgs(const std::vector<std::string>& args, ServeOptions* options) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::string value;
    if (arg == "--drafts") {
      options->drafts = true;
      continue;
    }
    if (arg == "--port" || arg == "-p") {
      if (i + 1 >= args.size()) {
        std::fprintf(stderr, "tarn serve: %s needs a number\n%s", arg.c_str(), kUsage);
        return false;
      }
      value = args[++i];
    } else if (arg.rfind("--port=", 0) == 0) {
      value = arg.substr(7);
    } else {
      std::fprintf(stderr, "tarn serve: unexpected argument '%s'\n%s", arg.c_str(), kUsage);
      return false;
    }
    if (!ParsePort(value, &options->port)) {
      std::fprintf(stderr, "tarn serve: '%s' is not a port (0 to 65535)\n%s", value.c_str(),
                   kUsage);
      return false;
    }
  }
  return true;
}

// Shows one build's result: a good site goes to the server, a failed one
// becomes the server's error panel; both are told on the terminal. The
// address is announced after the first result.
class ResultPrinter {
 public:
  ResultPrinter(PreviewServer* server, std::string root)
      : server_(server), root_(std::move(root)) {}

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
      Print(stdout, "serving " + root_ + "/public at " + server_->Url() + " (Ctrl+C stops)");
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
  std::string root_;
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

// Serves root until stopped; stage_dir goes to the preview builder, which
// removes it. Returns the exit status.
int Serve(const std::string& root, const std::string& stage_dir, const ServeOptions& options) {
  PreviewServer server([](const std::string& message) { Print(stderr, message); });
  std::string error;
  if (!server.Listen(options.port, &error)) {
    Print(stderr, "tarn serve: " + error);
    std::error_code ec;
    std::filesystem::remove_all(stage_dir, ec);
    return 1;
  }
  PreviewBuilder builder(root, stage_dir, PreviewSiteBuild(root, options.drafts),
                         ResultPrinter(&server, root));
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
  ServeOptions options;
  if (!ParseServeArgs(context.args, &options)) return kUsageError;
  const std::string& root = context.workspace;
  std::error_code ec;
  if (!std::filesystem::is_directory(root, ec)) {
    Print(stderr, "tarn serve: " + root + ": no such workspace folder");
    return 1;
  }
  // The build writes into public/; a missing one is created as the desktop
  // program does at start.
  std::filesystem::create_directory(root + "/public", ec);

  std::string error;
  std::string stage_dir = PreviewBuilder::MakeStageFolder(&error);
  if (stage_dir.empty()) {
    Print(stderr, "tarn serve: cannot create a temporary folder: " + error);
    return 1;
  }
  return Serve(root, stage_dir, options);
}

const Command kServe("serve", "serve [--port N] [--drafts]",
                     "build the site, serve it on 127.0.0.1 and rebuild it on changes", RunServe);

}  // namespace
}  // namespace tarn

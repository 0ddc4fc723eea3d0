// JscScriptHost: the page functions (markToHtml, TplRender) without a window.
// It reads an HTML page and runs its scripts on JavaScriptCore as a browser
// would, in document order (deferred src scripts last): inline scripts and
// local <script src> files, resolved against the page's folder. There is no
// DOM: the global object is also `window` and `self`; `console` exists (warn
// and error go to the sink, log/info/debug nowhere), and `setTimeout`,
// `setInterval` and `addEventListener` exist but never call back. Scripts get
// no access to files, processes or the network.
//
// What does not run, each reported to the sink with the page and line:
// remote scripts (http:, https:, "//": pages must work offline), module
// scripts and import maps, src files that cannot be read, unterminated
// <script> elements. Data blocks (type="text/template", "application/json")
// are skipped silently. A script that throws is reported as
// "FILE:LINE: message" and the next one still runs.
//
// A library the build copies in for use on demand (vendor/on-demand/: one
// statement, `(globalThis.tarnOnDemand = globalThis.tarnOnDemand || {}).NAME
// = function () {` ... `;return NAME;\n};`) is not even parsed at load: a
// stand-in for tarnOnDemand.NAME runs the file when it is first called, then
// calls what the file defined. Parsing the highlighter and the maths
// typesetter costs more than the rest of the page, and most builds use
// neither. The digest covers the file all the same.
//
// Every entry into the engine (one script, one call) is bounded by a time
// limit, so a page that loops forever makes that script or call fail
// instead of hanging the build. An engine that has once stopped a script
// is not trusted to stop the next: it is replaced by a fresh one with the
// page run again (state the page's functions kept is lost then), and a
// script that ran out of time at load is not run again.
//
// Each host owns its engine (a JavaScriptCore context group of its own) and
// uses no global state: hosts on different threads run independently, but
// one host must be used by one thread at a time.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "data/diagnostics.h"
#include "script/script_host.h"

namespace tarn {

struct PageScript;
struct ScriptAddress;
struct DeferredScript;

class JscScriptHost : public ScriptHost {
 public:
  static constexpr double kDefaultTimeLimitSeconds = 30;

  // The limit hosts get unless told otherwise: kDefaultTimeLimitSeconds, or
  // TARN_SCRIPT_TIMEOUT (seconds, more than 0 and at most an hour) from the
  // environment, so that tests of pages that never finish end quickly. A
  // malformed value is ignored. Any thread.
  static double DefaultTimeLimitSeconds();

  // Whether engines compile hot code with JavaScriptCore's optimizing tier
  // (DFG). It pays only when one engine converts many megabytes: on a small
  // build or a one-post edit, compiling markdown-it's large functions costs
  // more CPU than the faster code saves (measured: a fifth of a 250-post
  // build, a third of an edit of a 10,000-post one). JavaScriptCore takes
  // its options once, when it starts: call this only in a process where
  // nothing has started it (no host made, no WebKit: the command line), on
  // the main thread; after a host of this class was made it does nothing.
  // A worker process gets the choice through its environment:
  // kNoOptimizingTier.
  static void UseOptimizingTier(bool on);
  static constexpr char kNoOptimizingTier[] = "JSC_useDFGJIT=false";

  // Reads the page at page_path and runs its scripts. Returns null, after
  // telling the sink why, when the page cannot be read or the engine cannot
  // be created; script failures are reported and do not make it fail.
  // Origin() is page_path as given.
  static std::unique_ptr<JscScriptHost> Load(const std::string& page_path, DiagnosticSink sink,
                                             double time_limit_seconds = DefaultTimeLimitSeconds());

  // As Load, for page text already in memory; src files are looked up beside
  // page_path, which need not exist.
  static std::unique_ptr<JscScriptHost> LoadFromText(
      std::string_view html, const std::string& page_path, DiagnosticSink sink,
      double time_limit_seconds = DefaultTimeLimitSeconds());

  ~JscScriptHost() override;
  JscScriptHost(const JscScriptHost&) = delete;
  JscScriptHost& operator=(const JscScriptHost&) = delete;

  bool HasFunction(const std::string& name) override;
  bool CallFunction(const std::string& name, const std::vector<std::string>& args,
                    std::string* result, std::string* error) override;
  std::string Origin() const override;

  // A SHA-256 (hex) over the scripts the page runs or tries to run, in order,
  // with the names of their files: it changes whenever the page's code
  // changes, so results computed with these scripts can be cached under it.
  std::string ScriptsDigest() const;

  // The number of scripts that ran to completion / that threw or could not
  // be run. For tests and summaries.
  int scripts_run() const { return scripts_run_; }
  int scripts_failed() const { return scripts_failed_; }

 private:
  struct Engine;
  struct Pass;

  JscScriptHost(const std::string& page_path, DiagnosticSink sink, double time_limit_seconds);
  bool CreateEngine();
  // Runs the page's scripts; after each one that does not finish in time,
  // again in a fresh engine without it. quiet: say nothing (run before).
  void RunPage(bool quiet);
  // One pass over the page's scripts, stopping at the first that does not
  // finish in time and returning its index (npos when all ran). Scripts in
  // *spoken were reported on by an earlier pass and stay silent; the
  // others are added.
  std::size_t RunScripts(bool quiet, std::set<std::size_t>* spoken);
  // Reports a script that is not classic JavaScript (nothing for data).
  void ReportNotRun(const PageScript& script);
  // Runs one classic script, inline or from its file, unless it ran away
  // at load before; a script that runs out of time becomes pass->stopped.
  void RunClassic(const PageScript& script, std::size_t index, Pass* pass);
  // Reads a src script's code into *code; false after reporting why not.
  bool LoadSource(const ScriptAddress& address, int tag_line, std::string* code);
  // False when the script threw because it ran out of time.
  bool RunScript(const std::string& code, const std::string& file, int line);
  // Defines the stand-in for code when it is an on-demand library (see
  // above); false when it is not, and must run now.
  bool Defer(const std::string& code, const std::string& file);
  // Replaces the engine by a fresh one with no page run; false (reported)
  // when none can be made.
  bool NewEngine();
  void Report(const std::string& message) const;

  std::string page_path_;
  DiagnosticSink sink_;
  DiagnosticSink console_sink_;  // what the page's console.warn/error reach
  double time_limit_seconds_;
  std::unique_ptr<Engine> engine_;                         // null only when a restart failed
  std::string html_;                                       // the page, run again in each new engine
  std::set<std::size_t> skipped_scripts_;                  // ran out of time at load: not run again
  std::vector<std::unique_ptr<DeferredScript>> deferred_;  // this engine's stand-ins' files
  bool quiet_ = false;                                     // Report says nothing (a page run again)
  std::string digest_;
  int scripts_run_ = 0;
  int scripts_failed_ = 0;
};

}  // namespace tarn

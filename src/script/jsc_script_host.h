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
// Every entry into the engine (one script, one call) is bounded by a time
// limit, so a page that loops forever makes that script or call fail
// instead of hanging the build.
//
// Each host owns its engine (a JavaScriptCore context group of its own) and
// uses no global state: hosts on different threads run independently, but
// one host must be used by one thread at a time.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/diagnostics.h"
#include "script/script_host.h"

namespace tarn {

class JscScriptHost : public ScriptHost {
 public:
  static constexpr double kDefaultTimeLimitSeconds = 30;

  // Reads the page at page_path and runs its scripts. Returns null, after
  // telling the sink why, when the page cannot be read or the engine cannot
  // be created; script failures are reported and do not make it fail.
  // Origin() is page_path as given.
  static std::unique_ptr<JscScriptHost> Load(const std::string& page_path, DiagnosticSink sink,
                                             double time_limit_seconds = kDefaultTimeLimitSeconds);

  // As Load, for page text already in memory; src files are looked up beside
  // page_path, which need not exist.
  static std::unique_ptr<JscScriptHost> LoadFromText(
      std::string_view html, const std::string& page_path, DiagnosticSink sink,
      double time_limit_seconds = kDefaultTimeLimitSeconds);

  ~JscScriptHost() override;
  JscScriptHost(const JscScriptHost&) = delete;
  JscScriptHost& operator=(const JscScriptHost&) = delete;

  bool HasFunction(const std::string& name) override;
  bool CallFunction(const std::string& name, const std::vector<std::string>& args,
                    std::string* result, std::string* error) override;
  std::string Origin() const override;

  // A SHA-256 (hex) over the scripts that were run, in order, with the names
  // of their files: it changes whenever the page's code changes, so results
  // computed with these scripts can be cached under it.
  std::string ScriptsDigest() const;

  // The number of scripts that ran to completion / that threw or could not
  // be run. For tests and summaries.
  int scripts_run() const { return scripts_run_; }
  int scripts_failed() const { return scripts_failed_; }

 private:
  struct Engine;

  JscScriptHost(const std::string& page_path, DiagnosticSink sink, double time_limit_seconds);
  bool CreateEngine();
  void RunPage(std::string_view html);
  void RunScript(const std::string& code, const std::string& file, int line);
  void Report(const std::string& message) const;

  std::string page_path_;
  DiagnosticSink sink_;
  DiagnosticSink console_sink_;  // what the page's console.warn/error reach
  double time_limit_seconds_;
  std::unique_ptr<Engine> engine_;
  std::string digest_;
  int scripts_run_ = 0;
  int scripts_failed_ = 0;
};

}  // namespace tarn

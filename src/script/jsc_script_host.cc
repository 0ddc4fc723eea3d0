#include "script/jsc_script_host.h"

#include <JavaScriptCore/JavaScript.h>
#include <glib.h>
#include <jsc/jsc.h>
#include <openssl/evp.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <unordered_map>
#include <utility>

#include "data/hex_text.h"
#include "data/text_file.h"
#include "data/utf8.h"
#include "script/jsc_support.h"
#include "script/page_scripts.h"
#include "script/script_address.h"

namespace tarn {
namespace {

// Runs once per engine before the page: the little of a browser's global
// environment that scripts commonly touch at load time.
constexpr char kBootstrap[] = R"JS((function (global, report) {
  'use strict';
  function text(args) {
    var parts = [];
    for (var i = 0; i < args.length; i++) {
      try { parts.push(String(args[i])); } catch (e) { parts.push('[unprintable]'); }
    }
    return parts.join(' ');
  }
  function quiet() {}
  function timer() { return 0; }
  global.console = {
    log: quiet, info: quiet, debug: quiet, trace: quiet, dir: quiet, table: quiet,
    group: quiet, groupCollapsed: quiet, groupEnd: quiet, time: quiet, timeEnd: quiet,
    count: quiet,
    assert: function (ok) {
      if (!ok) report('console.assert: ' + text(Array.prototype.slice.call(arguments, 1)));
    },
    warn: function () { report('console.warn: ' + text(arguments)); },
    error: function () { report('console.error: ' + text(arguments)); }
  };
  global.setTimeout = timer;
  global.setInterval = timer;
  global.clearTimeout = quiet;
  global.clearInterval = quiet;
  global.addEventListener = quiet;
  global.removeEventListener = quiet;
  Object.defineProperty(global, 'window', { value: global, enumerable: true });
  global.self = global;
}))JS";

std::string FormatSeconds(double seconds) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", seconds);
  return buf;
}

}  // namespace

// An on-demand library's file, run by its stand-in on the first call.
struct DeferredScript {
  std::string code;
  std::string file;
  bool ran = false;
};

namespace {

// The stand-in's way to run its file: once, with a thrown error passed on
// to the caller of the library.
JSValueRef RunDeferred(JSContextRef ctx, JSObjectRef function, JSObjectRef, size_t,
                       const JSValueRef[], JSValueRef* exception) {
  auto* deferred = static_cast<DeferredScript*>(JSObjectGetPrivate(function));
  if (deferred && !deferred->ran) {
    deferred->ran = true;
    JSStringRef source = NewJsString(deferred->code);
    JSStringRef url = NewJsString(deferred->file);
    JSEvaluateScript(ctx, source, nullptr, url, 1, exception);
    JSStringRelease(source);
    JSStringRelease(url);
  }
  return JSValueMakeUndefined(ctx);
}

// The name of the on-demand library that code is, or "" (see the header).
std::string OnDemandName(std::string_view code) {
  constexpr std::string_view kHead = "(globalThis.tarnOnDemand = globalThis.tarnOnDemand || {}).";
  constexpr std::string_view kOpen = " = function () {\n";
  if (!code.starts_with(kHead)) return "";
  std::size_t end = kHead.size();
  while (end < code.size() && (g_ascii_isalnum(code[end]) || code[end] == '_' || code[end] == '$'))
    ++end;
  std::string name(code.substr(kHead.size(), end - kHead.size()));
  if (name.empty() || g_ascii_isdigit(name[0]) || code.substr(end, kOpen.size()) != kOpen)
    return "";
  std::string tail = ";return " + name + ";\n};\n";
  return code.size() > end + kOpen.size() + tail.size() && code.ends_with(tail) ? name : "";
}

// Makes tarnOnDemand.NAME the stand-in, given the function that runs the
// library's file (which defines the real tarnOnDemand.NAME).
constexpr char kStandIn[] = R"JS((function (name, run) {
  var demand = globalThis.tarnOnDemand = globalThis.tarnOnDemand || {};
  var standIn = demand[name] = function () {
    run();
    if (demand[name] === standIn) throw new Error(name + ': the on-demand library did not load');
    return demand[name].apply(this, arguments);
  };
}))JS";

}  // namespace

struct JscScriptHost::Engine {
  JSContextGroupRef group = nullptr;
  JSGlobalContextRef context = nullptr;
  JSObjectRef global = nullptr;
  JSClassRef reporter_class = nullptr;
  JSClassRef deferred_class = nullptr;
  JSObjectRef stand_in = nullptr;         // kStandIn, protected
  JSObjectRef string_function = nullptr;  // the engine's own String, protected
  std::unordered_map<std::string, JSStringRef> names;
  std::atomic<bool> timed_out{false};

  ~Engine() {
    if (context) {
      if (string_function) JSValueUnprotect(context, string_function);
      if (stand_in) JSValueUnprotect(context, stand_in);
      for (auto& entry : names) JSStringRelease(entry.second);
      JSGlobalContextRelease(context);
    }
    if (group) JSContextGroupRelease(group);
    if (reporter_class) JSClassRelease(reporter_class);
    if (deferred_class) JSClassRelease(deferred_class);
  }

  JSStringRef Name(const std::string& name) {
    auto it = names.find(name);
    if (it != names.end()) return it->second;
    JSStringRef s = NewJsString(name);
    names.emplace(name, s);
    return s;
  }

  // String(value) as the page would get it; false when that throws.
  bool ToText(JSValueRef value, std::string* text, JSValueRef* exception) {
    JSValueRef str =
        JSObjectCallAsFunction(context, string_function, nullptr, 1, &value, exception);
    if (!str || *exception) return false;
    JSStringRef s = JSValueToStringCopy(context, str, exception);
    if (!s) return false;
    *text = JsStringToUtf8(s);
    JSStringRelease(s);
    return true;
  }

  // "FILE:LINE: Name: message" for a thrown value, as far as it tells.
  std::string Describe(JSValueRef exception, double time_limit) {
    if (timed_out) return "did not finish within " + FormatSeconds(time_limit) + " seconds";
    if (!exception) return "unknown error";
    std::string message;
    JSValueRef ignored = nullptr;
    if (!ToText(exception, &message, &ignored)) message = "an exception that cannot be shown";
    if (!JSValueIsObject(context, exception)) return message;
    JSObjectRef object = JSValueToObject(context, exception, nullptr);
    std::string file;
    JSValueRef url = JSObjectGetProperty(context, object, Name("sourceURL"), nullptr);
    if (url && JSValueIsString(context, url)) ToText(url, &file, &ignored);
    JSValueRef line = JSObjectGetProperty(context, object, Name("line"), nullptr);
    std::string where = file;
    if (line && JSValueIsNumber(context, line)) {
      double n = JSValueToNumber(context, line, nullptr);
      if (std::isfinite(n) && n > 0) {
        where += (where.empty() ? "line " : ":") + std::to_string(static_cast<long long>(n));
      }
    }
    return where.empty() ? message : where + ": " + message;
  }
};

namespace {

JSValueRef ReportFromScript(JSContextRef ctx, JSObjectRef function, JSObjectRef, size_t argc,
                            const JSValueRef argv[], JSValueRef*) {
  auto* sink = static_cast<const DiagnosticSink*>(JSObjectGetPrivate(function));
  if (sink && *sink && argc > 0 && JSValueIsString(ctx, argv[0])) {
    JSStringRef s = JSValueToStringCopy(ctx, argv[0], nullptr);
    if (s) {
      (*sink)(JsStringToUtf8(s));
      JSStringRelease(s);
    }
  }
  return JSValueMakeUndefined(ctx);
}

}  // namespace

JscScriptHost::JscScriptHost(const std::string& page_path, DiagnosticSink sink,
                             double time_limit_seconds)
    : page_path_(page_path), sink_(std::move(sink)), time_limit_seconds_(time_limit_seconds) {
  // Messages from console.warn/error name the page they came from.
  console_sink_ = [this](const std::string& message) { Report(page_path_ + ": " + message); };
}

JscScriptHost::~JscScriptHost() = default;

double JscScriptHost::DefaultTimeLimitSeconds() {
  const char* value = std::getenv("TARN_SCRIPT_TIMEOUT");
  if (value == nullptr || *value == '\0') return kDefaultTimeLimitSeconds;
  char* end = nullptr;
  double seconds = std::strtod(value, &end);
  if (end == value || *end != '\0' || !std::isfinite(seconds) || seconds <= 0 || seconds > 3600)
    return kDefaultTimeLimitSeconds;
  return seconds;
}

namespace {
std::atomic<bool> engine_made{false};  // JavaScriptCore has taken its options
}  // namespace

void JscScriptHost::UseOptimizingTier(bool on) {
  if (!engine_made) jsc_options_set_boolean(JSC_OPTIONS_USE_DFG, on);
}

std::unique_ptr<JscScriptHost> JscScriptHost::Load(const std::string& page_path,
                                                   DiagnosticSink sink, double time_limit_seconds) {
  std::string html;
  std::string error;
  if (!ReadTextFile(page_path, &html, &error)) {
    if (sink) sink(error);
    return nullptr;
  }
  return LoadFromText(html, page_path, std::move(sink), time_limit_seconds);
}

std::unique_ptr<JscScriptHost> JscScriptHost::LoadFromText(std::string_view html,
                                                           const std::string& page_path,
                                                           DiagnosticSink sink,
                                                           double time_limit_seconds) {
  std::unique_ptr<JscScriptHost> host(
      new JscScriptHost(page_path, std::move(sink), time_limit_seconds));
  if (!host->CreateEngine()) {
    host->Report(page_path + ": cannot start the JavaScript engine");
    return nullptr;
  }
  host->html_ = std::string(html);
  host->RunPage(false);
  return host;
}

void JscScriptHost::Report(const std::string& message) const {
  if (sink_ && !quiet_) sink_(message);
}

bool JscScriptHost::CreateEngine() {
  engine_made = true;
  auto engine = std::make_unique<Engine>();
  engine->group = JSContextGroupCreate();
  if (!engine->group) return false;
  if (time_limit_seconds_ > 0) {
    SetExecutionTimeLimit(engine->group, time_limit_seconds_, &engine->timed_out);
  }
  engine->context = JSGlobalContextCreateInGroup(engine->group, nullptr);
  if (!engine->context) return false;
  JSGlobalContextRef ctx = engine->context;
  engine->global = JSContextGetGlobalObject(ctx);

  JSValueRef exception = nullptr;
  JSValueRef string_value =
      JSObjectGetProperty(ctx, engine->global, engine->Name("String"), &exception);
  if (!string_value || !JSValueIsObject(ctx, string_value)) return false;
  engine->string_function = JSValueToObject(ctx, string_value, nullptr);
  JSValueProtect(ctx, engine->string_function);

  JSClassDefinition definition = kJSClassDefinitionEmpty;
  definition.className = "TarnReport";
  definition.callAsFunction = ReportFromScript;
  engine->reporter_class = JSClassCreate(&definition);
  JSObjectRef reporter = JSObjectMake(ctx, engine->reporter_class, &console_sink_);

  JSClassDefinition run_deferred = kJSClassDefinitionEmpty;
  run_deferred.className = "TarnRunDeferred";
  run_deferred.callAsFunction = RunDeferred;
  engine->deferred_class = JSClassCreate(&run_deferred);
  JSStringRef stand_in_code = NewJsString(kStandIn);
  JSValueRef stand_in = JSEvaluateScript(ctx, stand_in_code, nullptr, nullptr, 1, &exception);
  JSStringRelease(stand_in_code);
  if (!stand_in || exception || !JSValueIsObject(ctx, stand_in)) return false;
  engine->stand_in = JSValueToObject(ctx, stand_in, nullptr);
  JSValueProtect(ctx, engine->stand_in);

  JSStringRef code = NewJsString(kBootstrap);
  JSValueRef setup = JSEvaluateScript(ctx, code, nullptr, nullptr, 1, &exception);
  JSStringRelease(code);
  if (!setup || exception || !JSValueIsObject(ctx, setup)) return false;
  JSValueRef args[] = {engine->global, reporter};
  JSObjectCallAsFunction(ctx, JSValueToObject(ctx, setup, nullptr), nullptr, 2, args, &exception);
  if (exception) return false;
  engine_ = std::move(engine);
  return true;
}

// JavaScriptCore's watchdog cannot be trusted once it has stopped a script:
// in the same engine, the next entry that runs away may never be stopped.
// So a script that times out costs the engine. At load, the page runs again
// in a fresh one without that script (what the scripts before it said has
// been reported already); after a call, the page runs again quietly.
void JscScriptHost::RunPage(bool quiet) {
  std::set<std::size_t> spoken;
  for (;;) {
    std::size_t stopped = RunScripts(quiet, &spoken);
    quiet_ = false;
    if (stopped == std::string::npos) return;
    skipped_scripts_.insert(stopped);
    if (!NewEngine()) return;
  }
}

bool JscScriptHost::NewEngine() {
  engine_.reset();
  scripts_run_ = 0;
  scripts_failed_ = 0;
  if (CreateEngine()) return true;
  Report(page_path_ + ": cannot restart the JavaScript engine");
  return false;
}

// One pass over the page's scripts: what RunScripts keeps between them.
struct JscScriptHost::Pass {
  bool quiet = false;             // say nothing at all (the page runs again)
  std::set<std::size_t>* spoken;  // scripts reported on by an earlier pass
  // SHA-256 over what the page runs, for ScriptsDigest. OpenSSL's rather
  // than GLib's: it uses the CPU's SHA instructions, and every build hashes
  // the page's libraries (the on-demand ones too), about a megabyte.
  EVP_MD_CTX* checksum = nullptr;
  std::size_t stopped = std::string::npos;  // the script that ran out of time

  // Makes Report quiet for a script an earlier pass has reported on.
  void Enter(JscScriptHost* host, std::size_t index) {
    host->quiet_ = quiet || !spoken->insert(index).second;
  }
  void AddToDigest(std::string_view name, std::string_view code) {
    EVP_DigestUpdate(checksum, name.data(), name.size());
    EVP_DigestUpdate(checksum, "\0", 1);
    EVP_DigestUpdate(checksum, code.data(), code.size());
    EVP_DigestUpdate(checksum, "\0", 1);
  }
};

std::size_t JscScriptHost::RunScripts(bool quiet, std::set<std::size_t>* spoken) {
  Pass pass;
  pass.quiet = quiet;
  pass.spoken = spoken;
  pass.checksum = EVP_MD_CTX_new();
  EVP_DigestInit_ex(pass.checksum, EVP_sha256(), nullptr);
  deferred_.clear();  // the stand-ins of an engine that is gone
  std::vector<PageScript> scripts = ExtractPageScripts(html_);
  std::vector<std::size_t> deferred;
  for (std::size_t index = 0; index < scripts.size(); ++index) {
    if (pass.stopped != std::string::npos) break;
    const PageScript& script = scripts[index];
    if (script.kind != PageScript::kClassic) {
      pass.Enter(this, index);
      ReportNotRun(script);
    } else if (script.has_src && script.defer && !script.async) {
      // A browser runs deferred src scripts after the page has been read.
      deferred.push_back(index);
    } else {
      RunClassic(script, index, &pass);
    }
  }
  for (std::size_t index : deferred) {
    if (pass.stopped != std::string::npos) break;
    RunClassic(scripts[index], index, &pass);
  }
  unsigned char sum[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  EVP_DigestFinal_ex(pass.checksum, sum, &size);
  EVP_MD_CTX_free(pass.checksum);
  digest_.clear();
  AppendHexText(sum, size, &digest_);
  return pass.stopped;
}

void JscScriptHost::ReportNotRun(const PageScript& script) {
  std::string at = page_path_ + ":" + std::to_string(script.tag_line) + ": ";
  switch (script.kind) {
    case PageScript::kData:
    case PageScript::kClassic:
      break;
    case PageScript::kModule:
      Report(at + "module script not run: only classic scripts run without a window");
      ++scripts_failed_;
      break;
    case PageScript::kImportMap:
      Report(at + "import map ignored: only classic scripts run without a window");
      break;
    case PageScript::kUnterminated:
      Report(at + "<script> is never closed; it was not run");
      ++scripts_failed_;
      break;
  }
}

void JscScriptHost::RunClassic(const PageScript& script, std::size_t index, Pass* pass) {
  pass->Enter(this, index);
  std::string code = script.text;
  std::string file = page_path_;
  int line = script.text_line;
  if (!script.has_src) {
    pass->AddToDigest("", code);
  } else {
    ScriptAddress address = ScriptAddress::Resolve(
        script.src, std::filesystem::path(page_path_).parent_path().string());
    if (!LoadSource(address, script.tag_line, &code)) {
      ++scripts_failed_;
      pass->AddToDigest(address.src, "");
      return;
    }
    pass->AddToDigest(address.src, code);
    StripUtf8Bom(&code);  // a byte-order mark is not code
    file = address.file;
    line = 1;
  }
  if (skipped_scripts_.count(index)) {
    ++scripts_failed_;  // ran away before: not run again
  } else if (script.has_src && Defer(code, file)) {
    ++scripts_run_;
  } else if (!RunScript(code, file, line)) {
    pass->stopped = index;
  }
}

bool JscScriptHost::LoadSource(const ScriptAddress& address, int tag_line, std::string* code) {
  std::string at = page_path_ + ":" + std::to_string(tag_line) + ": ";
  const std::string& src = address.src;
  switch (address.kind) {
    case ScriptAddress::Kind::kEmpty:
      Report(at + "<script src> names no file; nothing was run");
      return false;
    case ScriptAddress::Kind::kRemote:
      Report(at + "remote script " + src +
             " was not loaded: pages must work offline, so copy it beside the page and "
             "refer to it by a relative path");
      return false;
    case ScriptAddress::Kind::kNotAFile:
      Report(at + "script " + src + " was not loaded: only files can be loaded");
      return false;
    case ScriptAddress::Kind::kFile:
      break;
  }
  std::string error;
  if (ReadTextFile(address.file, code, &error)) return true;
  std::string hint;
  if (src.rfind("vendor/", 0) == 0)
    hint =
        " (template/vendor holds the pages' libraries, copied in when tarn is built"
        " from web/node_modules: run scripts/setup.sh, then build again)";
  Report(at + "cannot load script " + src + ": " + error + hint);
  return false;
}

bool JscScriptHost::RunScript(const std::string& code, const std::string& file, int line) {
  JSGlobalContextRef ctx = engine_->context;
  JSStringRef source = NewJsString(code);
  JSStringRef url = NewJsString(file);
  JSValueRef exception = nullptr;
  engine_->timed_out = false;
  JSEvaluateScript(ctx, source, nullptr, url, line, &exception);
  JSStringRelease(source);
  JSStringRelease(url);
  if (exception) {
    std::string message = engine_->Describe(exception, time_limit_seconds_);
    if (engine_->timed_out) message = file + ":" + std::to_string(line) + ": script " + message;
    Report(message);
    ++scripts_failed_;
    return !engine_->timed_out;
  }
  ++scripts_run_;
  return true;
}

bool JscScriptHost::Defer(const std::string& code, const std::string& file) {
  std::string name = OnDemandName(code);
  if (name.empty()) return false;
  JSGlobalContextRef ctx = engine_->context;
  deferred_.push_back(std::make_unique<DeferredScript>(DeferredScript{code, file}));
  JSStringRef name_string = NewJsString(name);
  JSValueRef args[] = {JSValueMakeString(ctx, name_string),
                       JSObjectMake(ctx, engine_->deferred_class, deferred_.back().get())};
  JSStringRelease(name_string);
  JSValueRef exception = nullptr;
  JSObjectCallAsFunction(ctx, engine_->stand_in, nullptr, 2, args, &exception);
  return !exception;
}

bool JscScriptHost::HasFunction(const std::string& name) {
  if (!engine_) return false;
  JSGlobalContextRef ctx = engine_->context;
  JSValueRef exception = nullptr;
  engine_->timed_out = false;
  JSValueRef value = JSObjectGetProperty(ctx, engine_->global, engine_->Name(name), &exception);
  if (exception || !value || !JSValueIsObject(ctx, value)) return false;
  return JSObjectIsFunction(ctx, JSValueToObject(ctx, value, nullptr));
}

bool JscScriptHost::CallFunction(const std::string& name, const std::vector<std::string>& args,
                                 std::string* result, std::string* error) {
  if (result) result->clear();
  if (error) error->clear();
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  if (!engine_) return fail(Origin() + ": the JavaScript engine could not be restarted");
  JSGlobalContextRef ctx = engine_->context;
  if (!HasFunction(name)) return fail(Origin() + " defines no function " + name);
  JSValueRef exception = nullptr;
  JSObjectRef function = JSValueToObject(
      ctx, JSObjectGetProperty(ctx, engine_->global, engine_->Name(name), &exception), &exception);
  if (!function || exception) return fail(Origin() + " defines no function " + name);

  // Argument values live on the heap here, out of sight of the engine's
  // stack scan, so they are protected from collection during the call.
  std::vector<JSValueRef> argv;
  argv.reserve(args.size());
  for (const std::string& arg : args) {
    JSStringRef s = NewJsString(arg);
    JSValueRef value = JSValueMakeString(ctx, s);
    JSStringRelease(s);
    JSValueProtect(ctx, value);
    argv.push_back(value);
  }
  engine_->timed_out = false;
  JSValueRef value =
      JSObjectCallAsFunction(ctx, function, engine_->global, argv.size(), argv.data(), &exception);
  for (JSValueRef v : argv) JSValueUnprotect(ctx, v);
  std::string text;
  if (exception || !value || !engine_->ToText(value, &text, &exception)) {
    std::string why = name + " failed: " + engine_->Describe(exception, time_limit_seconds_);
    if (engine_->timed_out && NewEngine()) RunPage(true);
    return fail(why);
  }
  if (result) *result = std::move(text);
  return true;
}

std::string JscScriptHost::Origin() const { return page_path_; }

std::string JscScriptHost::ScriptsDigest() const { return digest_; }

}  // namespace tarn

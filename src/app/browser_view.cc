#include "app/browser_view.h"

#include <memory>
#include <utility>

#include <webkit2/webkit2.h>

namespace tarn {
namespace {

// The script message channel every bound function posts to; the message is
// an array: the view's secret, the function's name, then its arguments.
constexpr char kChannel[] = "tarn";

// 128 random bits as hex, from GLib's generator (seeded from /dev/urandom).
std::string NewSecret() {
  std::string text;
  for (int i = 0; i < 4; ++i) {
    char part[9];
    g_snprintf(part, sizeof part, "%08x", g_random_int());
    text += part;
  }
  return text;
}

// The texts of a script message: [secret, name, args...], all strings.
std::vector<std::string> MessageParts(JSCValue* value) {
  std::vector<std::string> parts;
  if (!jsc_value_is_array(value)) return parts;
  JSCValue* length_value = jsc_value_object_get_property(value, "length");
  int length = jsc_value_to_int32(length_value);
  g_object_unref(length_value);
  for (int i = 0; i < length && i < 64; ++i) {
    JSCValue* item = jsc_value_object_get_property_at_index(value, i);
    if (!jsc_value_is_string(item)) {
      g_object_unref(item);
      return {};
    }
    gchar* text = jsc_value_to_string(item);
    parts.emplace_back(text ? text : "");
    g_free(text);
    g_object_unref(item);
  }
  return parts;
}

// A JavaScript string literal for text (JSON string syntax, which is valid
// JavaScript for every code point once U+2028/U+2029 are escaped too).
std::string QuotedForScript(const std::string& text) {
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char buffer[8];
          g_snprintf(buffer, sizeof buffer, "\\u%04x", c);
          out += buffer;
        } else if (c == 0xE2 && i + 2 < text.size() &&
                   static_cast<unsigned char>(text[i + 1]) == 0x80 &&
                   (static_cast<unsigned char>(text[i + 2]) == 0xA8 ||
                    static_cast<unsigned char>(text[i + 2]) == 0xA9)) {
          out += static_cast<unsigned char>(text[i + 2]) == 0xA8 ? "\\u2028" : "\\u2029";
          i += 2;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += "\"";
  return out;
}

// GVariant strings must be valid UTF-8 without NUL bytes: invalid bytes and
// NULs become U+FFFD, as the page would see them anyway.
GVariant* StringVariant(const std::string& text) {
  bool clean = g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr);
  if (clean) return g_variant_new_string(text.c_str());
  std::string copy = text;
  for (char& c : copy) {
    if (c == '\0') c = '\x7f';  // marked, then replaced below
  }
  gchar* valid = g_utf8_make_valid(copy.data(), static_cast<gssize>(copy.size()));
  std::string fixed;
  for (const char* p = valid; *p; ++p) {
    if (*p == '\x7f') {
      fixed += "\xEF\xBF\xBD";
    } else {
      fixed += *p;
    }
  }
  g_free(valid);
  return g_variant_new_string(fixed.c_str());
}

struct PendingCall {
  bool done = false;
  JSCValue* value = nullptr;
  GError* error = nullptr;
};

void OnCallDone(GObject* source, GAsyncResult* result, gpointer data) {
  auto* pending = static_cast<PendingCall*>(data);
  pending->value = webkit_web_view_call_async_javascript_function_finish(WEBKIT_WEB_VIEW(source),
                                                                         result, &pending->error);
  pending->done = true;
}

}  // namespace

BrowserView::BrowserView() : secret_(NewSecret()) {
  content_ = webkit_user_content_manager_new();
  view_ = WEBKIT_WEB_VIEW(webkit_web_view_new_with_user_content_manager(content_));
  g_object_ref_sink(view_);
  WebKitSettings* settings = webkit_web_view_get_settings(view_);
  // The pages are local files that load their scripts and styles from
  // beside themselves.
  webkit_settings_set_allow_file_access_from_file_urls(settings, TRUE);
  webkit_user_content_manager_register_script_message_handler(content_, kChannel);
  g_signal_connect(content_, (std::string("script-message-received::") + kChannel).c_str(),
                   G_CALLBACK(OnScriptMessage), this);
  g_signal_connect(view_, "load-changed", G_CALLBACK(OnLoadChanged), this);
  g_signal_connect(view_, "web-process-terminated", G_CALLBACK(OnWebProcessTerminated), this);
  // A view whose window has gone loads and answers nothing more; waits on
  // it end.
  g_signal_connect(view_, "destroy", G_CALLBACK(+[](GtkWidget*, BrowserView* self) {
                     self->gone_ = true;
                     self->loading_ = false;
                   }),
                   this);
}

BrowserView::~BrowserView() {
  g_signal_handlers_disconnect_by_data(content_, this);
  g_signal_handlers_disconnect_by_data(view_, this);
  if (alive_) *alive_ = nullptr;
  g_object_unref(view_);
  g_object_unref(content_);
}

GtkWidget* BrowserView::widget() const { return GTK_WIDGET(view_); }

void BrowserView::LoadFile(const std::string& path) {
  loaded_path_ = path;
  loading_ = true;
  gone_ = false;
  gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
  webkit_web_view_load_uri(view_, uri ? uri : "about:blank");
  g_free(uri);
}

void BrowserView::LoadHtml(const std::string& html, const std::string& base_dir) {
  loaded_path_.clear();
  loading_ = true;
  gone_ = false;
  std::string dir = base_dir;
  if (!dir.empty() && dir.back() != '/') dir += '/';
  gchar* uri = dir.empty() ? nullptr : g_filename_to_uri(dir.c_str(), nullptr, nullptr);
  webkit_web_view_load_html(view_, html.c_str(), uri);
  g_free(uri);
}

void BrowserView::ShowErrorPage(const std::string& title, const std::string& detail) {
  gchar* heading = g_markup_escape_text(title.c_str(), -1);
  gchar* body = g_markup_escape_text(detail.c_str(), -1);
  std::string html =
      "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Tarn Blog Editor</title>"
      "<style>body{font-family:sans-serif;margin:2em;color:#222}"
      "h1{font-size:1.3em;color:#a00}pre{white-space:pre-wrap;background:#f4f4f4;"
      "padding:1em}</style></head><body><h1>" +
      std::string(heading) + "</h1><pre>" + body + "</pre></body></html>";
  g_free(heading);
  g_free(body);
  LoadHtml(html, "");
}

bool BrowserView::WaitForLoad() {
  while (loading_ && !gone_) g_main_context_iteration(nullptr, TRUE);
  return !gone_;
}

void BrowserView::BindFunction(const std::string& name, std::function<void()> function) {
  BindFunction(name, ArgumentFunction([function = std::move(function)](
                                          const std::vector<std::string>&) { function(); }));
}

void BrowserView::BindFunction(const std::string& name, ArgumentFunction function) {
  bool known = functions_.count(name) != 0;
  functions_[name] = std::move(function);
  if (known) return;
  // The channel and the secret are taken while the page has not run yet, so
  // a page script that replaces them later does not learn the secret.
  std::string source =
      "(function () {\n"
      "  const post = window.webkit.messageHandlers." +
      std::string(kChannel) + ".postMessage.bind(window.webkit.messageHandlers." + kChannel +
      ");\n"
      "  const secret = " +
      ScriptLiteral(secret_) + ", name = " + ScriptLiteral(name) +
      ";\n"
      "  globalThis[name] = function () {\n"
      "    const parts = [secret, name];\n"
      "    for (const a of arguments) parts.push(a === undefined || a === null ? '' : String(a));\n"
      "    post(parts);\n"
      "  };\n"
      "})();";
  AddStartScript(source);
}

void BrowserView::AddStartScript(const std::string& source) {
  WebKitUserScript* script =
      webkit_user_script_new(source.c_str(), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                             WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
  webkit_user_content_manager_add_script(content_, script);
  webkit_user_script_unref(script);
}

std::string BrowserView::ScriptLiteral(const std::string& text) { return QuotedForScript(text); }

bool BrowserView::HasFunction(const std::string& name) {
  std::string result;
  std::string error;
  if (!Evaluate("return String(typeof globalThis[tarnName] === 'function');", {{"tarnName", name}},
                &result, &error)) {
    return false;
  }
  return result == "true";
}

bool BrowserView::CallFunction(const std::string& name, const std::vector<std::string>& args,
                               std::string* result, std::string* error) {
  std::vector<std::pair<std::string, std::string>> named = {{"tarnName", name}};
  std::string list;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string key = "tarnArg" + std::to_string(i);
    named.emplace_back(key, args[i]);
    list += (i ? ", " : "") + key;
  }
  // A missing function gives null rather than an exception, so that the
  // reason can be told apart from an error thrown by the function itself.
  // An exception is passed on with where it was thrown, which the engine's
  // own report leaves out.
  std::string body =
      "const f = globalThis[tarnName];\n"
      "if (typeof f !== 'function') return null;\n"
      "try {\n"
      "  return String(f(" +
      list +
      "));\n"
      "} catch (e) {\n"
      "  let text = String(e);\n"
      "  if (e && e.line) {\n"
      "    const file = e.sourceURL ? decodeURI(e.sourceURL.replace(/^file:\\/\\//, '')) : 'the "
      "page';\n"
      "    text += ' (' + file + ', line ' + e.line + ')';\n"
      "  }\n"
      "  throw text;\n"
      "}";
  std::string value;
  std::string reason;
  bool missing = false;
  if (!Evaluate(body, named, &value, &reason, &missing)) {
    result->clear();
    *error = name + ": " + reason;
    return false;
  }
  if (missing) {
    result->clear();
    *error = "the page defines no function " + name;
    return false;
  }
  *result = std::move(value);
  return true;
}

bool BrowserView::Evaluate(const std::string& body,
                           const std::vector<std::pair<std::string, std::string>>& args,
                           std::string* result, std::string* error, bool* was_null) {
  result->clear();
  if (was_null) *was_null = false;
  if (gone_) {
    *error = "the page has gone (its window was closed or its web process ended)";
    return false;
  }
  GVariantBuilder builder;
  g_variant_builder_init(&builder, G_VARIANT_TYPE_VARDICT);
  for (const auto& [key, value] : args) {
    g_variant_builder_add(&builder, "{sv}", key.c_str(), StringVariant(value));
  }
  PendingCall pending;
  webkit_web_view_call_async_javascript_function(
      view_, body.c_str(), static_cast<gssize>(body.size()), g_variant_builder_end(&builder),
      nullptr, nullptr, nullptr, OnCallDone, &pending);
  while (!pending.done) g_main_context_iteration(nullptr, TRUE);

  if (pending.error) {
    *error = pending.error->message;
    g_error_free(pending.error);
    if (pending.value) g_object_unref(pending.value);
    return false;
  }
  bool ok = true;
  if (pending.value && jsc_value_is_string(pending.value)) {
    gchar* text = jsc_value_to_string(pending.value);
    *result = text ? text : "";
    g_free(text);
  } else if (pending.value && jsc_value_is_null(pending.value) && was_null) {
    *was_null = true;
  } else {
    *error = "the page gave no text back";
    ok = false;
  }
  if (pending.value) g_object_unref(pending.value);
  return ok;
}

void BrowserView::OnLoadChanged(WebKitWebView* view, int event, BrowserView* self) {
  // A load replaced by a newer one also ends; only the end of the last one
  // counts.
  if (event != WEBKIT_LOAD_FINISHED || webkit_web_view_is_loading(view)) return;
  self->loading_ = false;
  if (self->loaded_handler_) self->loaded_handler_();
}

void BrowserView::OnScriptMessage(WebKitUserContentManager*, void* js_result, BrowserView* self) {
  JSCValue* value =
      webkit_javascript_result_get_js_value(static_cast<WebKitJavascriptResult*>(js_result));
  std::vector<std::string> parts = MessageParts(value);
  if (parts.size() < 2 || parts[0] != self->secret_) return;
  // A page the view was navigated to gets the same functions; it is not ours.
  gchar* own = self->loaded_path_.empty()
                   ? nullptr
                   : g_filename_to_uri(self->loaded_path_.c_str(), nullptr, nullptr);
  const char* shown = webkit_web_view_get_uri(self->view_);
  std::string shown_page = shown ? shown : "";
  shown_page = shown_page.substr(0, shown_page.find('#'));
  bool ours = own && shown_page == own;
  g_free(own);
  if (!ours) {
    g_printerr("tarn: a call of %s from %s was refused\n", parts[1].c_str(),
               shown_page.empty() ? "an unknown page" : shown_page.c_str());
    return;
  }
  // The function runs from the main loop rather than inside the message
  // dispatch, so it may wait on the page (a build calls markToHtml) freely.
  struct Call {
    std::shared_ptr<BrowserView*> alive;
    std::string name;
    std::vector<std::string> args;
  };
  if (!self->alive_) self->alive_ = std::make_shared<BrowserView*>(self);
  auto* call = new Call{self->alive_, parts[1], {parts.begin() + 2, parts.end()}};
  g_idle_add_full(
      G_PRIORITY_DEFAULT,
      [](gpointer data) -> gboolean {
        auto* call = static_cast<Call*>(data);
        BrowserView* view = *call->alive;
        if (view) {
          auto it = view->functions_.find(call->name);
          if (it != view->functions_.end()) {
            ArgumentFunction function = it->second;  // may rebind while it runs
            function(call->args);
          }
        }
        return G_SOURCE_REMOVE;
      },
      call, [](gpointer data) { delete static_cast<Call*>(data); });
}

void BrowserView::OnWebProcessTerminated(WebKitWebView*, int, BrowserView* self) {
  self->gone_ = true;
  self->loading_ = false;
  if (self->crash_handler_) self->crash_handler_();
}

}  // namespace tarn

#include "net/preview_server.h"

#include <gio/gio.h>
#include <glib.h>
#include <libsoup/soup.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <map>
#include <vector>

namespace tarn {
namespace {

namespace fs = std::filesystem;

// The page side of the reload stream. SITE_ID is replaced by the id of the
// site the page came from. The failure panel is plain DOM so it works on
// any page, whatever its styles.
constexpr const char kReloadScript[] = R"(<script data-tarn-serve>
(function () {
  var site = "SITE_ID";
  var panel = null;
  function show(heading, text) {
    if (!panel) {
      panel = document.createElement('pre');
      panel.setAttribute('data-tarn-serve-error', '');
      panel.title = 'Click to hide';
      panel.style.cssText = 'position:fixed;left:0;right:0;bottom:0;max-height:60%;' +
        'overflow:auto;margin:0;padding:12px 16px;z-index:2147483647;background:#3b0d0d;' +
        'color:#fff;font:13px/1.45 monospace;white-space:pre-wrap;text-align:left;' +
        'border-top:3px solid #e5484d;box-shadow:0 -4px 16px rgba(0,0,0,.4)';
      panel.addEventListener('click', function () { panel.style.display = 'none'; });
      (document.body || document.documentElement).appendChild(panel);
    }
    panel.textContent = 'tarn serve: ' + heading + '\n\n' + text;
    panel.style.display = 'block';
  }
  if (!window.EventSource) return;
  var events = new EventSource('/__tarn/events?site=' + encodeURIComponent(site));
  events.addEventListener('reload', function () { events.close(); location.reload(); });
  events.addEventListener('failure', function (e) {
    show('the site could not be rebuilt; this is the last good version.', e.data);
  });
  events.addEventListener('notice', function (e) {
    show('the site was rebuilt, with these problems:', e.data);
  });
})();
</script>
)";

constexpr const char kNoSiteId[] = "none";

std::string LowerAscii(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string HtmlEscape(const std::string& text) {
  gchar* escaped = g_markup_escape_text(text.c_str(), static_cast<gssize>(text.size()));
  std::string result = escaped;
  g_free(escaped);
  return result;
}

// One server-sent event; every line of data becomes a data: line, so the
// client gets the text back with its line breaks.
std::string EventText(const std::string& name, const std::string& data) {
  std::string out = "event: " + name + "\n";
  size_t start = 0;
  while (true) {
    size_t end = data.find('\n', start);
    std::string line = data.substr(start, end == std::string::npos ? end : end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    out += "data: " + line + "\n";
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return out + "\n";
}

// text with its percent escapes decoded; false for an invalid escape or an
// escaped NUL.
bool Unescape(const std::string& text, std::string* decoded) {
  gchar* plain = g_uri_unescape_string(text.c_str(), nullptr);
  if (!plain) return false;
  *decoded = plain;
  g_free(plain);
  return true;
}

bool IsHtml(const std::string& content_type) { return content_type.rfind("text/html", 0) == 0; }

// Real path of path, or "" when it does not exist.
std::string RealPath(const std::string& path) {
  char buffer[PATH_MAX];
  if (!realpath(path.c_str(), buffer)) return "";
  return buffer;
}

bool IsInside(const std::string& path, const std::string& folder) {
  return path == folder ||
         (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
          path[folder.size()] == '/');
}

}  // namespace

struct PreviewServer::Impl {
  struct Stream {
    SoupServerMessage* message;
    Impl* impl;
    bool open = true;
  };

  DiagnosticSink sink;
  SoupServer* server = nullptr;
  std::string folder;       // the site served; "" before the first ShowSite
  std::string folder_real;  // its real path, for the containment check
  std::string site_id = kNoSiteId;
  int sites_shown = 0;
  std::string error;  // the last build failure; "" when the site is good
  std::string notes;  // what the build of the site served reported
  std::vector<Stream*> streams;
  guint keep_alive = 0;

  ~Impl() {
    if (keep_alive) {
      GSource* source =
          g_main_context_find_source_by_id(g_main_context_get_thread_default(), keep_alive);
      if (source) g_source_destroy(source);
    }
    // Streams are let go before the server drops their connections, so that
    // no handler runs into a half-destroyed server.
    for (Stream* stream : streams) {
      g_signal_handlers_disconnect_by_data(stream->message, stream);
      CloseStream(stream);
      g_object_unref(stream->message);
      delete stream;
    }
    streams.clear();
    if (server) {
      soup_server_disconnect(server);
      g_object_unref(server);
    }
  }

  std::string Script() const {
    std::string script = kReloadScript;
    size_t at = script.find("SITE_ID");
    script.replace(at, 7, site_id);
    return script;
  }

  void Report(const std::string& message) const {
    if (sink) sink(message);
  }

  static void OnRequest(SoupServer*, SoupServerMessage* message, const char*, GHashTable*,
                        gpointer data) {
    static_cast<Impl*>(data)->Handle(message);
  }

  void Handle(SoupServerMessage* message) {
    const char* method = soup_server_message_get_method(message);
    SoupMessageHeaders* headers = soup_server_message_get_response_headers(message);
    soup_message_headers_replace(headers, "Cache-Control", "no-cache");
    if (std::strcmp(method, "GET") != 0 && std::strcmp(method, "HEAD") != 0) {
      soup_message_headers_replace(headers, "Allow", "GET, HEAD");
      SendText(message, SOUP_STATUS_METHOD_NOT_ALLOWED, "text/plain; charset=utf-8",
               "405 Method Not Allowed\n");
      return;
    }
    // The path as the request wrote it (the server is told to leave it
    // encoded): it is decoded once, by MapRequestPath; pages show it decoded.
    GUri* uri = soup_server_message_get_uri(message);
    std::string path = g_uri_get_path(uri);
    std::string shown;
    if (!Unescape(path, &shown)) shown = path;
    const char* query = g_uri_get_query(uri);
    if (path.rfind(kReservedPrefix, 0) == 0) {
      if (path == std::string(kReservedPrefix) + "events") {
        OpenStream(message, query ? query : "");
      } else {
        NotFound(message, shown);
      }
      return;
    }
    if (folder.empty()) {
      // No good build yet: every page says why.
      SendHtml(message, SOUP_STATUS_SERVICE_UNAVAILABLE,
               "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Build failed</title>"
               "</head><body><h1>The site could not be built</h1>\n<pre>" +
                   HtmlEscape(error.empty() ? "The first build is still running." : error) +
                   "</pre>\n</body></html>\n");
      return;
    }
    ServeFromSite(message, path, shown, query);
  }

  // Answers a request for path (as sent; shown: decoded, for pages) from
  // the site folder.
  void ServeFromSite(SoupServerMessage* message, const std::string& path, const std::string& shown,
                     const char* query) {
    std::string relative;
    if (!MapRequestPath(path, &relative)) {
      NotFound(message, shown);
      return;
    }
    std::string file = relative.empty() ? folder : folder + "/" + relative;
    std::string real = RealPath(file);
    if (real.empty()) {
      NotFound(message, shown);
      return;
    }
    if (!IsInside(real, folder_real)) {
      SendText(message, SOUP_STATUS_FORBIDDEN, "text/plain; charset=utf-8", "403 Forbidden\n");
      return;
    }
    struct stat info;
    if (stat(real.c_str(), &info) != 0) {
      NotFound(message, shown);
      return;
    }
    if (S_ISDIR(info.st_mode)) {
      if (path.back() != '/') {
        std::string location = path + "/";
        if (query) location += std::string("?") + query;
        soup_message_headers_replace(soup_server_message_get_response_headers(message), "Location",
                                     location.c_str());
        SendText(message, SOUP_STATUS_MOVED_PERMANENTLY, "text/plain; charset=utf-8",
                 "301 Moved Permanently\n");
        return;
      }
      std::string index = real + "/index.html";
      if (RealPath(index).empty() || !IsInside(RealPath(index), folder_real)) {
        SendListing(message, real, shown);
        return;
      }
      SendFile(message, index);
      return;
    }
    if (!S_ISREG(info.st_mode)) {
      NotFound(message, shown);
      return;
    }
    SendFile(message, real);
  }

  void SendText(SoupServerMessage* message, guint status, const char* type,
                const std::string& text) {
    soup_server_message_set_status(message, status, nullptr);
    soup_server_message_set_response(message, type, SOUP_MEMORY_COPY, text.data(), text.size());
  }

  void SendHtml(SoupServerMessage* message, guint status, const std::string& html) {
    SendText(message, status, "text/html; charset=utf-8", InjectScript(html, Script()));
  }

  void NotFound(SoupServerMessage* message, const std::string& path) {
    SendHtml(message, SOUP_STATUS_NOT_FOUND,
             "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>404 Not Found</title>"
             "</head><body><h1>404 Not Found</h1>\n<p>" +
                 HtmlEscape(path) + "</p>\n</body></html>\n");
  }

  void SendFile(SoupServerMessage* message, const std::string& path) {
    std::string type = ContentType(path);
    GError* failure = nullptr;
    GMappedFile* mapped = g_mapped_file_new(path.c_str(), FALSE, &failure);
    if (!mapped) {
      Report(path + ": cannot be read: " + failure->message);
      g_error_free(failure);
      SendText(message, SOUP_STATUS_INTERNAL_SERVER_ERROR, "text/plain; charset=utf-8",
               "500 Internal Server Error: the file cannot be read\n");
      return;
    }
    GBytes* bytes = g_mapped_file_get_bytes(mapped);
    g_mapped_file_unref(mapped);
    if (IsHtml(type)) {
      gsize size = 0;
      const char* data = static_cast<const char*>(g_bytes_get_data(bytes, &size));
      std::string html(data ? data : "", size);
      g_bytes_unref(bytes);
      SendHtml(message, SOUP_STATUS_OK, html);
      return;
    }
    soup_server_message_set_status(message, SOUP_STATUS_OK, nullptr);
    SoupMessageHeaders* headers = soup_server_message_get_response_headers(message);
    soup_message_headers_set_content_type(headers, type.c_str(), nullptr);
    soup_message_body_append_bytes(soup_server_message_get_response_body(message), bytes);
    g_bytes_unref(bytes);
  }

  void SendListing(SoupServerMessage* message, const std::string& real, const std::string& path) {
    std::vector<std::pair<std::string, bool>> entries;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(real, ec)) {
      std::string name = entry.path().filename().string();
      if (name.empty() || name[0] == '.') continue;
      entries.push_back({name, entry.is_directory(ec)});
    }
    std::sort(entries.begin(), entries.end());
    std::string title = "Index of " + HtmlEscape(path);
    std::string html = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + title +
                       "</title></head><body><h1>" + title + "</h1>\n<ul>\n";
    if (path != "/") html += "<li><a href=\"../\">../</a></li>\n";
    for (const auto& [name, is_folder] : entries) {
      gchar* escaped = g_uri_escape_string(name.c_str(), nullptr, FALSE);
      std::string link = escaped;
      g_free(escaped);
      std::string shown = HtmlEscape(name);
      if (is_folder) {
        link += "/";
        shown += "/";
      }
      html += "<li><a href=\"" + HtmlEscape(link) + "\">" + shown + "</a></li>\n";
    }
    html += "</ul>\n</body></html>\n";
    SendHtml(message, SOUP_STATUS_OK, html);
  }

  // The reload stream. The page names the site it was served from; when that
  // is not the current one it reloads at once.
  void OpenStream(SoupServerMessage* message, const std::string& query) {
    std::string page_site;
    GHashTable* form = soup_form_decode(query.c_str());
    if (const char* value = static_cast<const char*>(g_hash_table_lookup(form, "site")))
      page_site = value;
    g_hash_table_destroy(form);

    soup_server_message_set_status(message, SOUP_STATUS_OK, nullptr);
    SoupMessageHeaders* headers = soup_server_message_get_response_headers(message);
    soup_message_headers_set_content_type(headers, "text/event-stream", nullptr);
    soup_message_headers_set_encoding(headers, SOUP_ENCODING_CHUNKED);
    if (std::strcmp(soup_server_message_get_method(message), "HEAD") == 0) {
      soup_message_body_complete(soup_server_message_get_response_body(message));
      return;
    }
    auto* stream = new Stream{message, this};
    g_object_ref(message);
    g_signal_connect(message, "finished", G_CALLBACK(OnStreamFinished), stream);
    streams.push_back(stream);
    std::string hello = "retry: 1000\n\n";
    if (page_site != site_id && site_id != kNoSiteId) {
      hello += EventText("reload", site_id);
    } else if (!error.empty()) {
      hello += EventText("failure", error);
    } else if (!notes.empty()) {
      hello += EventText("notice", notes);
    }
    Write(stream, hello);
    if (!keep_alive) {
      // On the server's own context, which need not be the global default.
      GSource* source = g_timeout_source_new_seconds(kKeepAliveSeconds);
      g_source_set_callback(source, OnKeepAlive, this, nullptr);
      keep_alive = g_source_attach(source, g_main_context_get_thread_default());
      g_source_unref(source);
    }
  }

  static void OnStreamFinished(SoupServerMessage*, gpointer data) {
    auto* stream = static_cast<Stream*>(data);
    Impl* impl = stream->impl;
    auto it = std::find(impl->streams.begin(), impl->streams.end(), stream);
    if (it != impl->streams.end()) impl->streams.erase(it);
    g_signal_handlers_disconnect_by_data(stream->message, stream);
    g_object_unref(stream->message);
    delete stream;
  }

  static gboolean OnKeepAlive(gpointer data) {
    auto* impl = static_cast<Impl*>(data);
    if (impl->streams.empty()) {
      impl->keep_alive = 0;
      return G_SOURCE_REMOVE;
    }
    impl->Broadcast(": keep-alive\n\n");
    return G_SOURCE_CONTINUE;
  }

  void Write(Stream* stream, const std::string& text) {
    if (!stream->open) return;
    soup_message_body_append(soup_server_message_get_response_body(stream->message),
                             SOUP_MEMORY_COPY, text.data(), text.size());
    soup_server_message_unpause(stream->message);
  }

  void CloseStream(Stream* stream) {
    if (!stream->open) return;
    stream->open = false;
    soup_message_body_complete(soup_server_message_get_response_body(stream->message));
    soup_server_message_unpause(stream->message);
  }

  void Broadcast(const std::string& text) {
    // Writing may finish a stream whose client has gone, which removes it
    // from the list: walk a copy.
    std::vector<Stream*> copy = streams;
    for (Stream* stream : copy) {
      if (std::find(streams.begin(), streams.end(), stream) != streams.end()) Write(stream, text);
    }
  }
};

PreviewServer::PreviewServer(DiagnosticSink sink) : impl_(std::make_unique<Impl>()) {
  impl_->sink = std::move(sink);
}

PreviewServer::~PreviewServer() = default;

bool PreviewServer::Listen(int port, std::string* error) {
  if (port < 0 || port > 65535) {
    if (error) *error = "port " + std::to_string(port) + " is not between 0 and 65535";
    return false;
  }
  if (!impl_->server) {
    impl_->server = soup_server_new("server-header", "tarn-serve ", "raw-paths", TRUE, nullptr);
    soup_server_add_handler(impl_->server, nullptr, Impl::OnRequest, impl_.get(), nullptr);
  }
  GError* failure = nullptr;
  GInetAddress* loopback = g_inet_address_new_loopback(G_SOCKET_FAMILY_IPV4);
  GSocketAddress* address = g_inet_socket_address_new(loopback, static_cast<guint16>(port));
  g_object_unref(loopback);
  gboolean ok =
      soup_server_listen(impl_->server, address, static_cast<SoupServerListenOptions>(0), &failure);
  g_object_unref(address);
  if (!ok) {
    if (error)
      *error = "cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + failure->message;
    g_error_free(failure);
    return false;
  }
  GSList* uris = soup_server_get_uris(impl_->server);
  for (GSList* item = uris; item; item = item->next) {
    GUri* uri = static_cast<GUri*>(item->data);
    if (port_ == 0) port_ = g_uri_get_port(uri);
  }
  g_slist_free_full(uris, reinterpret_cast<GDestroyNotify>(g_uri_unref));
  return true;
}

std::string PreviewServer::Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }

void PreviewServer::ShowSite(const std::string& folder, const std::string& notes) {
  impl_->notes = notes;
  impl_->folder = folder;
  impl_->folder_real = RealPath(folder);
  if (impl_->folder_real.empty()) impl_->folder_real = folder;
  impl_->error.clear();
  // Unique across runs too, so a page left open from an earlier run of the
  // server reloads when it reconnects to this one.
  impl_->site_id = std::to_string(g_get_real_time()) + "-" + std::to_string(++impl_->sites_shown);
  impl_->Broadcast(EventText("reload", impl_->site_id));
}

void PreviewServer::ShowError(const std::string& message) {
  impl_->error = message.empty() ? std::string("The build failed.") : message;
  impl_->Broadcast(EventText("failure", impl_->error));
}

int PreviewServer::streams() const { return static_cast<int>(impl_->streams.size()); }

std::string PreviewServer::ContentType(const std::string& name) {
  static const std::map<std::string, std::string> kTypes = {
      {"html", "text/html; charset=utf-8"},
      {"htm", "text/html; charset=utf-8"},
      {"css", "text/css; charset=utf-8"},
      {"js", "text/javascript; charset=utf-8"},
      {"mjs", "text/javascript; charset=utf-8"},
      {"json", "application/json; charset=utf-8"},
      {"map", "application/json; charset=utf-8"},
      {"xml", "application/xml; charset=utf-8"},
      {"rss", "application/rss+xml; charset=utf-8"},
      {"atom", "application/atom+xml; charset=utf-8"},
      {"txt", "text/plain; charset=utf-8"},
      {"md", "text/plain; charset=utf-8"},
      {"csv", "text/csv; charset=utf-8"},
      {"svg", "image/svg+xml"},
      {"png", "image/png"},
      {"jpg", "image/jpeg"},
      {"jpeg", "image/jpeg"},
      {"gif", "image/gif"},
      {"webp", "image/webp"},
      {"avif", "image/avif"},
      {"ico", "image/x-icon"},
      {"bmp", "image/bmp"},
      {"woff", "font/woff"},
      {"woff2", "font/woff2"},
      {"ttf", "font/ttf"},
      {"otf", "font/otf"},
      {"mp3", "audio/mpeg"},
      {"ogg", "audio/ogg"},
      {"mp4", "video/mp4"},
      {"webm", "video/webm"},
      {"pdf", "application/pdf"},
      {"wasm", "application/wasm"},
      {"zip", "application/zip"},
  };
  size_t slash = name.rfind('/');
  size_t dot = name.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
    return "application/octet-stream";
  auto it = kTypes.find(LowerAscii(name.substr(dot + 1)));
  return it == kTypes.end() ? "application/octet-stream" : it->second;
}

bool PreviewServer::MapRequestPath(const std::string& encoded_path, std::string* relative) {
  if (encoded_path.empty() || encoded_path[0] != '/') return false;
  // Decoded once: "%252e" stays the name "%2e", as a browser would have it.
  std::string decoded;
  if (!Unescape(encoded_path, &decoded)) return false;
  std::string result;
  size_t start = 1;
  while (start <= decoded.size()) {
    size_t end = decoded.find('/', start);
    if (end == std::string::npos) end = decoded.size();
    std::string segment = decoded.substr(start, end - start);
    if (segment == "." || segment == "..") return false;
    if (!segment.empty()) {
      if (!result.empty()) result += '/';
      result += segment;
    }
    start = end + 1;
  }
  *relative = result;
  return true;
}

std::string PreviewServer::InjectScript(const std::string& html, const std::string& script) {
  std::string lower = LowerAscii(html);
  size_t at = lower.rfind("</body");
  if (at == std::string::npos) at = lower.rfind("</html");
  if (at == std::string::npos) return html + script;
  return html.substr(0, at) + script + html.substr(at);
}

}  // namespace tarn

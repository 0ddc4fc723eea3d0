// PreviewServer: serves a built site to a browser on this machine while the
// blogger edits it. It listens on 127.0.0.1 only and answers GET and HEAD
// from one folder (the copy of public/ that the last good build left), with
// content types by file extension, index.html or a listing for folders, and
// a plain 404 page.
//
// Every HTML answer gets a small script injected before </body>; the files
// on disk are never changed. The script keeps a server-sent event stream
// (/__tarn/events) open: a new site (ShowSite) makes open pages reload, and
// a failed build (ShowError) shows its reasons over the page, which stays
// the last good one. Pages tell the stream which site they were served
// from, so a page loaded just before a rebuild still reloads.
//
// Nothing outside the site folder is served: request paths are decoded
// once, ".." and "." segments are refused (404), and a file reached through
// a symbolic link that leads out of the folder is refused (403). public/.git
// is never part of the served copy.
//
// Thread safety: everything runs on the GLib main context that was the
// thread default when the server was created; call it on that thread only.
#pragma once

#include <memory>
#include <string>

#include "data/diagnostics.h"

namespace tarn {

class PreviewServer {
 public:
  // The reserved URL prefix of the server's own resources.
  static constexpr const char* kReservedPrefix = "/__tarn/";
  // A comment line sent on idle reload streams, so that dead ones are found.
  static constexpr int kKeepAliveSeconds = 15;

  explicit PreviewServer(DiagnosticSink sink = nullptr);
  ~PreviewServer();
  PreviewServer(const PreviewServer&) = delete;
  PreviewServer& operator=(const PreviewServer&) = delete;

  // Listens on 127.0.0.1:port; port 0 picks a free port. Returns false, with
  // *error saying why (the port is taken), when it cannot listen.
  bool Listen(int port, std::string* error);

  // The port listened on; 0 before Listen succeeded.
  int port() const { return port_; }
  // "http://127.0.0.1:PORT/".
  std::string Url() const;

  // Serves the site in folder from now on, forgets any build failure and
  // makes every open page reload.
  void ShowSite(const std::string& folder);

  // Keeps the site served and shows message (the reasons a rebuild failed)
  // on every open page and on pages opened later, until the next ShowSite.
  // Before any ShowSite, every request is answered with the message.
  void ShowError(const std::string& message);

  // Open reload streams. For tests and summaries.
  int streams() const;

  // Helpers, public for tests.

  // The Content-Type for a file name, by its extension (case-insensitive):
  // text types carry "; charset=utf-8"; unknown ones are
  // application/octet-stream.
  static std::string ContentType(const std::string& name);

  // Maps the path of a request (still percent-encoded, as it appears in the
  // request line) to a path relative to the site folder, without leading or
  // trailing "/" ("" for the folder itself). Returns false for a path that
  // does not start with "/", holds an invalid escape, a NUL, or a "." or
  // ".." segment once decoded.
  static bool MapRequestPath(const std::string& encoded_path, std::string* relative);

  // html with script inserted before the last </body> (any case), or else
  // before </html>, or else at the end.
  static std::string InjectScript(const std::string& html, const std::string& script);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  int port_ = 0;
};

}  // namespace tarn

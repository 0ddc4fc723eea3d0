// HttpClient: the program's one HTTP operation, a GET that returns the
// response body as UTF-8 text.
//
// Built on libcurl. Redirects are followed (http and https only), TLS
// certificates and host names are verified, and every request is bounded by
// a connect time-out and a total time-out, so a caller on a background
// thread always gets its answer. A body declared in another character set
// ("Content-Type: ...; charset=gbk") is converted to UTF-8; a body without
// a declaration is taken as UTF-8, minus a leading byte-order mark.
//
// Thread safety: a client holds only its settings; Get may run on any
// thread, on several at once.
#pragma once

#include <cstddef>
#include <string>

#include "data/diagnostics.h"

namespace tarn {

struct HttpTimeouts {
  long connect_ms = 10000;  // reaching the server
  long total_ms = 30000;    // the whole request, redirects and body included
};

class HttpClient {
 public:
  // Bodies larger than this are refused rather than held in memory.
  static constexpr std::size_t kMaxBodyBytes = 16 * 1024 * 1024;

  HttpClient() = default;
  explicit HttpClient(HttpTimeouts timeouts) : timeouts_(timeouts) {}

  // The body of a GET of url as UTF-8. Returns "" on any failure (no
  // network, a refused or timed-out connection, a status other than 2xx, a
  // certificate that does not verify, a body in an unknown character set or
  // too large), and hands the reason, naming the address, to sink when one
  // is given. An empty 2xx body also gives "" (and no reason).
  std::string Get(const std::string& url, const DiagnosticSink& sink = nullptr) const;

  const HttpTimeouts& timeouts() const { return timeouts_; }

  // Initialises libcurl for the whole program, once, whoever calls first;
  // for code that runs libcurl transfers of its own. Any thread.
  static void InitCurl();

  // The character set named in a Content-Type value ("text/html;
  // charset="GBK"" gives "GBK"); "" when none is named.
  static std::string CharsetOf(const std::string& content_type);

 private:
  HttpTimeouts timeouts_;
};

}  // namespace tarn

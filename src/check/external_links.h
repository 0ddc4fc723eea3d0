// ExternalLinks: tarn check --external. Asks each external address the
// site links to whether it is there: a HEAD request (a GET where the server
// refuses HEAD with 405 or 501), redirects not followed but reported, at
// most kMaxConnections at once and kMaxPerHost to one host, each bounded by
// a timeout. Answers (not failures to reach a server) are kept in the
// workspace's .tarn/external-links.json for a day, so that a second check
// asks again only for what is new or old.
//
// Thread safety: one thread at a time; Check blocks until every address is
// answered or timed out.
#pragma once

#include <cstdint>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "workspace/workspace.h"

namespace tarn {

struct ExternalAnswer {
  long status = 0;       // the HTTP status; 0 when no answer came
  std::string location;  // where a redirect leads
  std::string error;     // why no answer came ("timed out after 10000 ms")
};

class ExternalLinks {
 public:
  static constexpr int kMaxConnections = 8;
  static constexpr int kMaxPerHost = 2;
  static constexpr long kDefaultTimeoutMs = 10000;
  static constexpr std::time_t kCacheSeconds = 24 * 60 * 60;
  static constexpr char kCacheFile[] = "external-links.json";

  // timeout_ms: the bound on each request, connecting included.
  ExternalLinks(const Workspace& workspace, long timeout_ms)
      : workspace_(workspace), timeout_ms_(timeout_ms) {}

  // The answer for each of urls (http and https addresses), from the cache
  // where it is younger than a day, else asked now; now: the time the cache
  // is held against and its new entries get. A cache that cannot be read is
  // an empty one; one that cannot be written is left as it was.
  std::map<std::string, ExternalAnswer> Check(const std::vector<std::string>& urls,
                                              std::time_t now);

 private:
  // Asks every url at once (within the connection limits).
  std::map<std::string, ExternalAnswer> Ask(const std::vector<std::string>& urls) const;

  Workspace workspace_;
  long timeout_ms_;
};

}  // namespace tarn

// SiteCheck: tarn check's internal part, over a built site: every generated
// page of public/ is read once (PageScan); its links and fragments must
// lead to files the build wrote and ids on them, its images need alt text,
// it needs one <title>, a description and one <h1> with heading levels that
// do not skip, and it must weigh, with what it loads, no more than the
// theme's budget; the posts are checked on their own (PostChecks). Alias
// pages (redirects) are checked for their links only. With set_external,
// the external links are asked too (ExternalLinks).
//
// The check reads public/ and the sources, and writes nothing but the
// external links' cache in .tarn/.
//
// Thread safety: one thread at a time; Run may run on any thread.
#pragma once

#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "check/check_report.h"
#include "check/link_resolver.h"
#include "check/page_scan.h"
#include "data/diagnostics.h"
#include "workspace/workspace.h"

namespace tarn {

class PageWeight;
class PostChecks;

class SiteCheck {
 public:
  explicit SiteCheck(const Workspace& workspace) : workspace_(workspace) {}

  // Run checks external links too (ExternalLinks), each request bounded by
  // timeout_ms.
  void set_external(long timeout_ms) { external_timeout_ms_ = timeout_ms; }

  // True when public/ holds no finished build (no database.json) or one
  // older than the newest file of _posts/, _pages/, config/, static/ and
  // the active theme: the caller builds before it checks.
  static bool NeedsBuild(const Workspace& workspace, const std::string& theme_dir);

  // Checks the site as public/ holds it; now: the time post dates are held
  // against. Settings that cannot be read go to sink and are read as
  // empty. Never fails: what it cannot read is a problem of the report.
  CheckReport Run(std::time_t now, const DiagnosticSink& sink);

 private:
  struct Page {
    std::string source;
    PageScan scan;
    std::int64_t bytes = 0;
  };
  void ReadPages();
  void ReadSources(const PostChecks& posts);
  // Adds a problem of the page at path (relative to public/) to *report.
  void Problem(CheckReport* report, const std::string& path, CheckProblem::Severity severity,
               const char* kind, const std::string& message, const std::string& target) const;
  // Where an external address is linked: the page and the link as written.
  struct ExternalRef {
    std::string page;
    std::string link;
    int line = 0;
  };
  void CheckPage(const std::string& path, const Page& page, CheckReport* report);
  void CheckStructure(const std::string& path, const Page& page, CheckReport* report) const;
  // Checks the internal links; notes the external ones for CheckExternal.
  void CheckLinks(const std::string& path, const Page& page, CheckReport* report);
  void CheckExternal(std::time_t now, CheckReport* report) const;
  // Counts the fonts the stylesheet (relative to public/) loads.
  void AddFonts(const std::string& stylesheet, PageWeight* weight) const;
  void CheckWeight(const std::string& path, const Page& page, CheckReport* report) const;
  // The size of the file relative to public/; -1 when it is no plain file
  // (a folder counts by its index.html).
  std::int64_t SizeOf(std::string* file) const;

  Workspace workspace_;
  LinkResolver resolver_{""};
  std::int64_t budget_kb_ = 0;
  std::map<std::string, Page> pages_;                         // by path relative to public/
  std::map<std::string, std::string> sources_;                // page -> "_posts/NAME"
  long external_timeout_ms_ = 0;                              // 0: external links are not checked
  std::map<std::string, std::vector<ExternalRef>> external_;  // by absolute address
};

}  // namespace tarn

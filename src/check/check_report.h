// CheckReport: what tarn check found, grouped by page: each generated page
// (or post, for what concerns a post rather than a page) with the source
// file it came from and its problems, as text for people and as one JSON
// object for programs.
//
// Severity: an error is something a reader meets as broken (a link or
// fragment that leads nowhere, a missing image, front matter that did not
// parse); a warning is something worth fixing that breaks nothing.
//
// Thread safety: a value; one thread at a time.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

struct CheckProblem {
  enum class Severity { kError, kWarning };
  Severity severity = Severity::kWarning;
  std::string kind;     // "broken-link", "missing-alt", ...: stable, for programs
  std::string message;  // one English sentence, for people
  std::string target;   // the link, image or post concerned; may be ""
};

class CheckReport {
 public:
  struct Page {
    std::string path;    // "public/articles/x.html", or "_posts/x.md" for a post's own problems
    std::string source;  // "_posts/x.md"; "" when the page comes from no file of the blog
    std::vector<CheckProblem> problems;
  };

  // Adds problem to the page at path (made on first use, with source).
  void Add(const std::string& path, const std::string& source, CheckProblem problem);

  int errors() const { return errors_; }
  int warnings() const { return warnings_; }
  // The pages with problems, in path order.
  std::vector<const Page*> Pages() const;

  // "PATH (from SOURCE):" then one indented "error: ..." or "warning: ..."
  // line per problem, per page; then a summary line. errors_only leaves
  // warnings (and pages with none but warnings) out, the summary in.
  std::string Text(bool errors_only = false) const;
  // {"errors": N, "warnings": N, "pages": [{"path", "source", "problems":
  // [{"severity", "kind", "message", "target"}]}]}, compact, non-ASCII
  // characters as \u escapes.
  std::string Json() const;

 private:
  std::map<std::string, Page> pages_;
  int errors_ = 0;
  int warnings_ = 0;
};

}  // namespace tarn

// TemplateData: what a template reads its values from. A page sees the
// site data, optionally shadowed by a small document of its own (a page's
// share of the posts, its pager, its tag): a path whose first member exists
// in that document is read from it, any other path from the site data. This
// spares copying the whole site data (every post's text, twice) per page.
//
// A page below public/ can also have its links rebased: a text read from a
// member named "url" that starts with "./" (links relative to public/) is
// given with "./" replaced by the page's root path ("../..").
//
// Values a page marks verbatim (members named in SetVerbatimMembers, such as
// a post's HTML) are put into the page as they are: the engine never reads
// placeholders in them (SealedValues).
//
// A view can tell a TemplateReads of every value read through it (set_reads):
// GetText, GetCount, GetType and IsTrue are the only ways a template's
// expansion sees the data; IsVerbatim depends on the path and the names
// set here alone, as the root path does.
//
// Both documents must outlive the view. Thread safety: as JsonDocument.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "data/json_document.h"
#include "template/template_reads.h"

namespace tarn {

class TemplateData {
 public:
  TemplateData(const JsonDocument& base);  // NOLINT: any document is a view of itself
  // overlay may be null. root_path: "." (or "") leaves links alone.
  TemplateData(const JsonDocument& base, const JsonDocument* overlay, std::string root_path);

  std::string GetText(std::string_view path) const;  // "" when missing or not a scalar
  int GetCount(std::string_view path) const;         // members or elements; 0 otherwise
  int GetType(std::string_view path) const;          // JsonDocument::Type

  // True when path names a value that is not missing, null, false, 0, ""
  // or an empty array or object.
  bool IsTrue(std::string_view path) const;

  // The value at a path whose last member is one of names is verbatim.
  void SetVerbatimMembers(std::vector<std::string> names) { verbatim_ = std::move(names); }
  bool IsVerbatim(std::string_view path) const;
  const std::vector<std::string>& verbatim_members() const { return verbatim_; }
  const std::string& root_path() const { return root_path_; }

  // Each read from here on is told to reads (null: none, the default),
  // which must outlive the reads. Copies of the view share it.
  void set_reads(TemplateReads* reads) { reads_ = reads; }

 private:
  const JsonDocument& Source(std::string_view path) const;
  bool Truth(std::string_view path) const;  // IsTrue, untold

  const JsonDocument& base_;
  const JsonDocument* overlay_ = nullptr;
  std::string root_path_;
  std::vector<std::string> verbatim_;
  TemplateReads* reads_ = nullptr;
};

}  // namespace tarn

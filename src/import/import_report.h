// ImportReport: where an import says, line by line, what it copied, what it
// skipped and why, and what the blogger should know. The lines go to a sink
// the front end owns (tarn import prints them); the importer's classes share
// one report so that the lines come out in the order things happen.
//
// Files of the old site are shown relative to its folder
// ("source/_posts/a.md"), so that the report reads the same wherever the
// site lies.
//
// Thread safety: none; the thread that runs the import uses it.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace tarn {

class ImportReport {
 public:
  // One line of the report.
  struct Entry {
    enum class Kind {
      kCopied,   // text: "SOURCE -> TARGET" and what changed on the way
      kSkipped,  // text: "SOURCE: why"
      kNote,     // text: what the blogger should know (no file involved)
      kError,    // text: "PATH: what failed"
    };
    Kind kind;
    std::string text;
  };
  using Sink = std::function<void(const Entry& entry)>;

  // sink may be empty: the lines are then dropped.
  explicit ImportReport(Sink sink);

  // The old site's folder, which Shown makes paths relative to.
  void set_site(std::filesystem::path site) { site_ = std::move(site); }

  // Hands one line to the sink.
  void Add(Entry::Kind kind, std::string text) const;
  void Note(std::string text) const { Add(Entry::Kind::kNote, std::move(text)); }
  void Skipped(std::string text) const { Add(Entry::Kind::kSkipped, std::move(text)); }
  void Copied(std::string text) const { Add(Entry::Kind::kCopied, std::move(text)); }
  void Error(std::string text) const { Add(Entry::Kind::kError, std::move(text)); }
  // "skipped SHOWN: why", for content of the old site (pages, documents,
  // sections) that is not imported; left_behind() lists each SHOWN.
  void ContentSkipped(const std::string& shown, const std::string& why) const;
  const std::vector<std::string>& left_behind() const { return left_behind_; }

  // "SHOWN: a symbolic link, not followed", for a link met in the old site.
  void SymbolicLink(const std::filesystem::path& link) const;

  // path relative to the site's folder when it lies inside it, else path.
  std::string Shown(const std::filesystem::path& path) const;

 private:
  Sink sink_;
  std::filesystem::path site_;
  // Reports are made through const references by the sources that find
  // the content; what they leave behind is only collected.
  mutable std::vector<std::string> left_behind_;
};

}  // namespace tarn

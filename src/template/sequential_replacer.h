// SequentialReplacer: applies a list of "replace every occurrence of text k
// by value k" steps, one after the other, to a subject.
//
// The template engine's passes are defined that way: the placeholders are
// found once, then each match's text is replaced everywhere in the current
// text, in match order. Done literally that costs one scan of the whole text
// per match, which is quadratic on a big page (an index whose loop writes
// {$assetsPath} ten thousand times). This class gives the same output in
// time close to linear. When every text is a placeholder ("{" ... "}" with no
// other "}"), the occurrences of all texts are found in one scan and the list
// is kept up to date around each step's insertions, so no step scans the
// page. Otherwise a step is skipped when its text cannot occur in the
// current text, which it knows by tracking, after each step that changed
// something, which of the texts still to come could have appeared around the
// inserted values; only steps that can change the text do a scan.
//
// The result is identical to the literal sequence for any texts and values,
// including values that contain texts of later steps (they are replaced
// then) and values that contain their own text.
//
// Thread safety: Apply is const and may run on several threads at once.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tarn {

class SequentialReplacer {
 public:
  // The texts of the steps, in order. Empty texts are steps that do nothing.
  explicit SequentialReplacer(const std::vector<std::string_view>& texts);

  // value(k) gives the replacement for step k; it is called only for steps
  // that find their text, and may be called more than once for a step whose
  // text keeps coming back.
  using ValueFunction = std::function<std::string_view(int step)>;

  // subject with every step applied in order.
  std::string Apply(std::string subject, const ValueFunction& value) const;

  int step_count() const { return static_cast<int>(steps_.size()); }
  // Steps with equal texts share an id; ids count distinct texts in order of
  // first appearance.
  int distinct_count() const { return static_cast<int>(distinct_.size()); }
  int distinct_id(int step) const { return steps_[step]; }
  const std::string& distinct_text(int id) const { return distinct_[id]; }

 private:
  struct Occurrence {
    size_t at;
    int id;
  };
  // Apply when every text is a placeholder (braced_).
  std::string ApplyBraced(std::string subject, const ValueFunction& value) const;
  // Appends to found each occurrence of a text in text that starts in
  // [lo, hi) and ends at or after min_end, in order; for braced_ texts.
  void FindBraced(std::string_view text, size_t lo, size_t hi, size_t min_end,
                  std::vector<Occurrence>* found) const;
  void MarkNewOccurrences(const std::string& text, const std::vector<size_t>& inserts,
                          size_t value_size, int step, std::vector<char>* present) const;

  std::vector<std::string> distinct_;
  std::vector<int> steps_;      // step -> distinct id
  std::vector<int> last_step_;  // distinct id -> index of its last step
  std::vector<int> repeated_;   // ids of the texts that have more than one step
  std::unordered_map<std::string_view, int> ids_;
  // True when every text starts with "{" and holds "}" only as its last
  // character (placeholders): an occurrence then starts at a "{" and ends at
  // the next "}", so one scan finds every text near an insertion at once.
  bool braced_ = true;
  size_t longest_ = 0;
};

}  // namespace tarn

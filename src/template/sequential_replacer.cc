#include "template/sequential_replacer.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace tarn {
namespace {

// Position of needle in haystack at or after from; npos when absent.
size_t Find(std::string_view haystack, std::string_view needle, size_t from) {
  if (from > haystack.size() || needle.size() > haystack.size() - from) return std::string::npos;
  const void* hit =
      memmem(haystack.data() + from, haystack.size() - from, needle.data(), needle.size());
  if (!hit) return std::string::npos;
  return static_cast<const char*>(hit) - haystack.data();
}

}  // namespace

SequentialReplacer::SequentialReplacer(const std::vector<std::string_view>& texts) {
  // distinct_ never grows past texts.size(), so the map's keys, views into
  // its strings, stay valid.
  distinct_.reserve(texts.size());
  ids_.reserve(texts.size());
  steps_.reserve(texts.size());
  for (std::string_view text : texts) {
    auto it = ids_.find(text);
    if (it == ids_.end()) {
      distinct_.emplace_back(text);
      it = ids_.emplace(std::string_view(distinct_.back()), static_cast<int>(distinct_.size() - 1))
               .first;
    }
    steps_.push_back(it->second);
  }
  last_step_.assign(distinct_.size(), -1);
  std::vector<int> seen(distinct_.size(), 0);
  for (size_t k = 0; k < steps_.size(); ++k) {
    last_step_[steps_[k]] = static_cast<int>(k);
    if (++seen[steps_[k]] == 2) repeated_.push_back(steps_[k]);
  }
  for (size_t id = 0; id < distinct_.size(); ++id) {
    const std::string& text = distinct_[id];
    longest_ = std::max(longest_, text.size());
    if (text.size() < 2 || text.front() != '{' || text.find('}') != text.size() - 1)
      braced_ = false;
  }
}

std::string SequentialReplacer::Apply(std::string subject, const ValueFunction& value) const {
  if (braced_) return ApplyBraced(std::move(subject), value);
  // present[id]: the text may occur in the current subject. Starts true for
  // all; a step that finds nothing clears it, and MarkNewOccurrences sets it
  // again for every text that an insertion brings back.
  std::vector<char> present(distinct_.size(), 1);
  std::string out;
  std::vector<size_t> inserts;
  for (int k = 0; k < step_count(); ++k) {
    int id = steps_[k];
    if (!present[id]) continue;
    const std::string& text = distinct_[id];
    present[id] = 0;
    if (text.empty()) continue;
    size_t hit = Find(subject, text, 0);
    if (hit == std::string::npos) continue;
    std::string_view replacement = value(k);
    out.clear();
    out.reserve(subject.size() + replacement.size());
    inserts.clear();
    size_t pos = 0;
    while (hit != std::string::npos) {
      out.append(subject, pos, hit - pos);
      inserts.push_back(out.size());
      out.append(replacement);
      pos = hit + text.size();
      hit = Find(subject, text, pos);
    }
    out.append(subject, pos, std::string::npos);
    subject.swap(out);
    MarkNewOccurrences(subject, inserts, replacement.size(), k, &present);
  }
  return subject;
}

// After a step put its value at each of `inserts` in text: every occurrence
// of any text that lies wholly inside the unchanged stretches between the
// insertions was there before, so only occurrences that overlap an inserted
// value, or straddle the seam where an empty value went, can be new.
void SequentialReplacer::MarkNewOccurrences(const std::string& text,
                                            const std::vector<size_t>& inserts, size_t value_size,
                                            int step, std::vector<char>* present) const {
  auto wanted = [&](int id) { return !(*present)[id] && last_step_[id] > step; };
  // Nothing to look for when every text still to come is known present.
  // Only texts with more than one step can be wanted.
  bool any = false;
  for (size_t i = 0; i < repeated_.size() && !any; ++i) any = wanted(repeated_[i]);
  if (!any) return;
  for (int id : repeated_) {
    if (!wanted(id)) continue;
    const std::string& t = distinct_[id];
    if (t.empty()) continue;
    for (size_t x : inserts) {
      size_t lo = x + 1 >= t.size() ? x + 1 - t.size() : 0;
      size_t hi = std::min(text.size(), x + value_size + t.size() - 1);
      if (hi <= lo) continue;
      size_t hit = Find(std::string_view(text).substr(0, hi), t, lo);
      // Any occurrence found in the window is real, new or not.
      if (hit != std::string::npos) {
        (*present)[id] = 1;
        break;
      }
    }
  }
}

void SequentialReplacer::FindBraced(std::string_view text, size_t lo, size_t hi, size_t min_end,
                                    std::vector<Occurrence>* found) const {
  for (size_t i = lo; i < hi; ++i) {
    const void* open = std::memchr(text.data() + i, '{', hi - i);
    if (!open) break;
    i = static_cast<const char*>(open) - text.data();
    size_t limit = std::min(text.size(), i + longest_);
    const void* close = std::memchr(text.data() + i + 1, '}', limit - (i + 1));
    if (!close) continue;
    size_t j = static_cast<const char*>(close) - text.data();
    if (j < min_end) continue;
    auto it = ids_.find(text.substr(i, j - i + 1));
    if (it != ids_.end()) found->push_back({i, it->second});
  }
}

// Every text is a placeholder: an occurrence starts at a "{" and ends at the
// first "}" after it, so two occurrences overlap only when they end at the
// same "}". The occurrences of all texts are found once; a step replaces its
// own, drops those that overlapped them, moves the rest by the change in
// length before them, and adds the occurrences that touch an inserted value
// (the only ones that can be new, as in MarkNewOccurrences).
std::string SequentialReplacer::ApplyBraced(std::string subject, const ValueFunction& value) const {
  std::vector<Occurrence> occurrences, kept, found;
  FindBraced(subject, 0, subject.size(), 0, &occurrences);
  std::vector<int> count(distinct_.size(), 0);
  for (const Occurrence& o : occurrences) ++count[o.id];
  std::string out;
  std::vector<size_t> replaced, inserts;
  for (int k = 0; k < step_count(); ++k) {
    const int id = steps_[k];
    if (count[id] == 0) continue;
    const std::string_view replacement = value(k);
    const size_t length = distinct_[id].size();
    out.clear();
    out.reserve(subject.size() + static_cast<size_t>(count[id]) * replacement.size());
    replaced.clear();
    inserts.clear();
    size_t pos = 0;
    for (const Occurrence& o : occurrences) {
      if (o.id != id) continue;
      out.append(subject, pos, o.at - pos);
      replaced.push_back(o.at);
      inserts.push_back(out.size());
      out.append(replacement);
      pos = o.at + length;
    }
    out.append(subject, pos, std::string::npos);
    subject.swap(out);
    count[id] = 0;

    kept.clear();
    size_t m = 0;  // replaced[m]: the first replaced occurrence not wholly before o
    for (const Occurrence& o : occurrences) {
      if (o.id == id) continue;
      while (m < replaced.size() && replaced[m] + length <= o.at) ++m;
      if (m < replaced.size() && replaced[m] < o.at + distinct_[o.id].size()) {
        --count[o.id];
        continue;
      }
      kept.push_back({o.at - m * length + m * replacement.size(), o.id});
    }
    found.clear();
    size_t scanned = 0;
    for (size_t x : inserts) {
      size_t lo = std::max(scanned, x + 1 >= longest_ ? x + 1 - longest_ : 0);
      size_t hi = x + replacement.size();  // exclusive bound for a start (x for an empty value)
      FindBraced(subject, lo, hi, x, &found);
      scanned = std::max(scanned, hi);
    }
    for (const Occurrence& o : found) ++count[o.id];
    occurrences.clear();
    std::merge(kept.begin(), kept.end(), found.begin(), found.end(),
               std::back_inserter(occurrences),
               [](const Occurrence& a, const Occurrence& b) { return a.at < b.at; });
  }
  return subject;
}

}  // namespace tarn

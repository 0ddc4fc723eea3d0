#include "support/saved_tree.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "data/text_file.h"

namespace tarn {

namespace fs = std::filesystem;

namespace {

constexpr char kMark[] = "=== ";

}  // namespace

SavedTree::Tree SavedTree::Load(const std::string& path) {
  Tree tree;
  std::string text;
  std::string error;
  if (!ReadTextFile(path, &text, &error)) {
    ADD_FAILURE() << error;
    return tree;
  }
  size_t at = std::string::npos;
  if (text.rfind(kMark, 0) == 0) {
    at = 0;
  } else if ((at = text.find(std::string("\n") + kMark)) != std::string::npos) {
    ++at;  // past the comment
  }
  while (at != std::string::npos && at < text.size()) {
    size_t line_end = text.find('\n', at);
    size_t space = text.rfind(' ', line_end);
    if (text.compare(at, 4, kMark) != 0 || line_end == std::string::npos || space <= at + 4) {
      ADD_FAILURE() << path << ": expected \"=== PATH BYTES\" at byte " << at;
      return tree;
    }
    std::string name = text.substr(at + 4, space - at - 4);
    std::string digits = text.substr(space + 1, line_end - space - 1);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) {
      ADD_FAILURE() << path << ": " << name << ": \"" << digits << "\" is not a byte count";
      return tree;
    }
    size_t size = std::stoul(digits);
    size_t start = line_end + 1;
    if (start + size >= text.size() || text[start + size] != '\n') {
      ADD_FAILURE() << path << ": " << name << " is shorter than its " << size << " bytes";
      return tree;
    }
    tree[name] = text.substr(start, size);
    at = start + size + 1;
  }
  return tree;
}

bool SavedTree::Save(const std::string& path, const Tree& tree, const std::string& comment,
                     std::string* error) {
  std::string text = comment;
  if (!text.empty() && text.back() != '\n') text += '\n';
  for (const auto& [name, bytes] : tree)
    text += kMark + name + " " + std::to_string(bytes.size()) + "\n" + bytes + "\n";
  return WriteTextFile(path, text, error);
}

SavedTree::Tree SavedTree::Read(const std::string& folder) {
  Tree tree;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (!entry.is_regular_file()) continue;
    std::string text;
    EXPECT_TRUE(ReadTextFile(entry.path().string(), &text)) << entry.path();
    tree[fs::relative(entry.path(), folder).string()] = text;
  }
  return tree;
}

}  // namespace tarn

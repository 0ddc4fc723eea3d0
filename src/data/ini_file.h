// IniFile: reads values from an INI settings file ("[section]" lines and
// "key=value" lines), with the rules of the classic Windows profile reader:
// section and key names compare case-insensitively, spaces around names and
// values are trimmed, a value may be wrapped in matching quotes, lines
// starting with ";" are comments. A missing file, section or key gives the
// default. The program never writes these files.
#pragma once

#include <string>

namespace tarn {

class IniFile {
 public:
  // Reads path at once; a missing or unreadable file behaves as empty.
  explicit IniFile(const std::string& path);

  // The value of key in section, or fallback when either is missing.
  std::string GetString(const std::string& section, const std::string& key,
                        const std::string& fallback = "") const;

  bool loaded() const { return loaded_; }

 private:
  std::string text_;
  bool loaded_ = false;
};

}  // namespace tarn

// IniFile: reads values from an INI settings file ("[section]" lines and
// "key=value" lines), with the rules of the classic Windows profile reader:
// section and key names compare case-insensitively, spaces around names and
// values are trimmed, a value may be wrapped in matching quotes, lines
// starting with ";" are comments. A missing file, section or key gives the
// default. The program never writes a workspace's conf.ini; it keeps its
// own per-user settings (settings.ini) with SetString.
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

  // Sets key in section of the file at path to value, keeping every other
  // line as it was; adds the section or the key where missing and creates
  // the file (not its folder) when there is none. The value is written in
  // double quotes, so spaces at its ends survive a read; it must not hold a
  // line break. The file is replaced atomically. Returns false, with
  // "PATH: reason" in *error, when the value is unfit or the write fails.
  // Any thread; concurrent writers of one file lose one of the updates.
  static bool SetString(const std::string& path, const std::string& section, const std::string& key,
                        const std::string& value, std::string* error);

 private:
  std::string text_;
  bool loaded_ = false;
};

}  // namespace tarn

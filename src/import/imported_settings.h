// ImportedSettings: the old site's own settings (title, description, author,
// language, address, time zone) brought into a workspace's config/base.json,
// and the welcome post of a new blog taken out, so that an imported blog
// shows the old site's name and posts rather than tarn init's example.
//
// Both only touch what is still exactly as tarn init wrote it: a setting
// whose value differs from the new blog's (the bundled blog the importing
// tarn would copy), or a welcome post that differs by a byte, is the
// blogger's and is kept.
//
// Thread safety: none; static functions on the importing thread.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

class Workspace;

class ImportedSettings {
 public:
  // The old site's settings; "" where it names none.
  struct Values {
    std::string title;
    std::string description;
    std::string author;
    std::string language;   // a BCP 47 tag (LanguageTag)
    std::string url;        // without a final "/"
    std::string time_zone;  // an IANA name
  };

  // The keys of base.json the values go to, in the order of Values.
  static constexpr std::string_view kTitleKey = "system.title";
  static constexpr std::string_view kDescriptionKey = "system.description";
  static constexpr std::string_view kAuthorKey = "system.author";
  static constexpr std::string_view kLanguageKey = "system.language";
  static constexpr std::string_view kUrlKey = "system.url";
  static constexpr std::string_view kTimeZoneKey = "system.timeZone";

  // Writes each non-empty value into the base.json of workspace where its
  // key holds what the same key of fresh (the new blog's base.json) holds,
  // a key missing from both counting as the same; the file is replaced
  // atomically and only when a value changes. *written gets the keys
  // written. fresh_language, when not "", is the system.language tarn init
  // wrote in place of fresh's (BundledSkeleton::FreshSettings). Returns
  // false with *error ("FILE: what is wrong") when a file does not read or
  // the new one cannot be written.
  static bool Apply(const Values& values, const Workspace& workspace,
                    const std::filesystem::path& fresh, std::vector<std::string>* written,
                    std::string* error, std::string_view fresh_language = "");

  // Removes each post of fresh_posts (the new blog's _posts folder) that
  // the workspace's _posts holds byte for byte. Returns the names removed;
  // *kept gets the names there that differ (edited since).
  static std::vector<std::string> RemoveWelcomePosts(const Workspace& workspace,
                                                     const std::filesystem::path& fresh_posts,
                                                     std::vector<std::string>* kept);
};

}  // namespace tarn

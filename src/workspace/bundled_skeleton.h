// BundledSkeleton: the blog that ships with tarn (config, the default theme,
// the program's pages with their vendored libraries, a welcome post and a
// .gitignore), copied from the folder the build or the package put it in.
//
// The skeleton's demo speaks Chinese. A demo in another language is a
// folder beside it named SKELETON-LANG (skeleton-en) that holds only the
// files that differ, its settings (config/base.json, with system.language
// naming the language) above all; a blog in that language is the folder's
// files over the skeleton's. English is the demo of every language without
// one of its own.
//
// Thread safety: any thread.
#pragma once

#include <string>
#include <string_view>

#include "workspace/skeleton_source.h"

namespace tarn {

class BundledSkeleton : public SkeletonSource {
 public:
  // The skeleton's place relative to the executable's folder: installed
  // under PREFIX/share, or inside a build tree.
  static constexpr char kInstalledPath[] = "../share/tarn/skeleton";
  static constexpr char kBuildTreePath[] = "share/tarn/skeleton";
  // The language of the skeleton's own demo, and of the demo for a
  // language that has none.
  static constexpr char kOwnLanguage[] = "zh";
  static constexpr char kFallbackLanguage[] = "en";

  // A blog in language (a checked BCP 47 tag): the skeleton's own demo for
  // "" and its own language; else the demo of the tag's language, or the
  // fallback's, with system.language set to the tag.
  explicit BundledSkeleton(std::string folder, std::string language = "")
      : folder_(std::move(folder)), language_(std::move(language)) {}

  // The skeleton folder that belongs to the executable in executable_folder,
  // or "" when there is none.
  static std::string Find(const std::string& executable_folder);

  // The system's language as the locale variables name it: the first of
  // lc_all, lc_messages and lang (LC_ALL, LC_MESSAGES, LANG; null for an
  // unset one) that is not empty, as a checked tag ("en_US.UTF-8" ->
  // "en-US"); "" for C, POSIX, a name that is no tag, or none.
  static std::string SystemLanguage(const char* lc_all, const char* lc_messages, const char* lang);

  // The language of the demo a blog in language starts from over
  // skeleton: "" for the skeleton's own; the tag's language where
  // skeleton-LANG is there; else kFallbackLanguage. A language whose demo
  // is the fallback's has none of its own (tarn init says so).
  static std::string DemoLanguage(const std::string& skeleton, std::string_view language);

  // The settings file (base.json) the blog at root started from, had
  // tarn init made it from skeleton: that of the demo of the blog's
  // system.language, or the skeleton's own when the blog names no language
  // or its settings do not read. *language gets the language tarn init
  // wrote in place of the demo's: the blog's, "" with the skeleton's own.
  static std::string FreshSettings(const std::string& skeleton, const std::string& root,
                                   std::string* language);

  std::string Describe() const override;
  // Copies every file and folder of the demo and the skeleton; fails naming
  // the first file that could not be copied, and a demo folder that is
  // missing or whose settings name no language to replace.
  bool Fill(const std::string& stage, std::string* error) override;

 private:
  std::string folder_;
  std::string language_;
};

}  // namespace tarn

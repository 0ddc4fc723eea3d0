// ImageCache: what ImageProcessor made of each image, kept between builds
// in the workspace's .tarn/images/, so that a build decodes only the images
// that changed since the last one.
//
// An entry is keyed by the SHA-256 of the image's bytes together with the
// settings it was processed with (ImageSettings::Key), as 64 hex digits:
//
//   KEY/           the files the processor wrote ("480.avif", ...)
//   KEY/entry      written last, one record a line:
//                    "tarn-image 1"                        format and version
//                    "outcome N WIDTH HEIGHT"              ImageResult::Outcome
//                    "variant FILE FORMAT WIDTH HEIGHT"    per file
//                    "original FILE"
//                    "reason TEXT"                         when not processed
//   sources        "SIZE MTIME_NS SHA256 PATH" a line: the hash of a file
//                  whose size and modification time are unchanged is not
//                  read again (PATH last: it may hold spaces, never a line
//                  break).
//
// What Lookup believes: an entry whose entry file parses, of this version,
// and whose files all exist; anything else is a miss and is made again.
// What a crash leaves: an entry is made in KEY.partial and renamed into
// place whole, so a crash leaves a .partial folder, which Finish removes;
// sources is replaced atomically.
// What Finish keeps: the entries this run looked up or made, and every
// file beside them; the other entries (images removed or changed) go, so
// the cache holds one build's worth.
//
// Thread safety: HashOf, Lookup, Begin and Commit may be called from many
// threads at once; Load and Finish on one thread, before and after them.
#pragma once

#include <mutex>
#include <set>
#include <string>
#include <unordered_map>

#include "image/image_processor.h"

namespace tarn {

class ImageCache {
 public:
  // folder: .tarn/images; made when needed.
  explicit ImageCache(std::string folder);

  // Reads the sources index; a missing or damaged one is empty.
  void Load();

  // The key of the image at path with settings: false with *error ("PATH:
  // reason") when the file cannot be read.
  bool KeyOf(const std::string& path, const ImageSettings& settings, std::string* key,
             std::string* error);

  // The entry's folder (its files are FOLDER/FILE).
  std::string EntryFolder(const std::string& key) const { return folder_ + "/" + key; }

  // True with *result when key's entry is complete.
  bool Lookup(const std::string& key, ImageResult* result);

  // An empty folder to process key's image into; false with *error.
  bool Begin(const std::string& key, std::string* folder, std::string* error);
  // Writes result's entry into the folder Begin gave and puts it in place.
  // False with *error (the entry is then not kept).
  bool Commit(const std::string& key, const ImageResult& result, std::string* error);

  // Removes the entries this run did not use and what crashes left, and
  // saves the sources index when it changed. False with *error when the index cannot be
  // written (the next build hashes every image again).
  bool Finish(std::string* error);

 private:
  struct Source {
    long long size = 0;
    long long mtime_ns = 0;
    std::string hash;
    bool operator==(const Source& other) const = default;
  };

  std::string folder_;
  std::mutex mutex_;
  std::unordered_map<std::string, Source> earlier_;  // from Load
  std::unordered_map<std::string, Source> sources_;  // this run's
  std::set<std::string> used_;
};

}  // namespace tarn

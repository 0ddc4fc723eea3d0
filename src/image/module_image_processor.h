// ModuleImageProcessor: the libvips image processor, loaded from the module
// tarn-images on first use. libvips brings some forty shared libraries
// (codecs, colour management, AV1); linked into tarn they would cost every
// command, `tarn --version` included, about 20 ms to load. A build whose
// images all come from the cache, and every command that makes none, never
// loads them.
//
// The module is looked for beside the running executable (the build tree)
// and then in tarn's library folder of the install (kInstalledModuleDir,
// relative to the executable's folder). It exports one C function,
// tarn_new_image_processor(kInterfaceVersion), which returns a new
// processor (null for another version: a module left from another build).
//
// When no module can be loaded, ready() says why and the processor behaves
// as one whose library cannot start: Process and StripMetadata give
// kUnavailable, Shrink
// does nothing.
//
// Thread safety: any method from any thread; the module is loaded once per
// process, by the first call that needs it.
#pragma once

#include <string>

#include "image/image_processor.h"

namespace tarn {

class ModuleImageProcessor : public ImageProcessor {
 public:
  // Changes whenever ImageProcessor's virtual functions change.
  static constexpr int kInterfaceVersion = 2;
  static constexpr char kModuleName[] = "tarn-images.so";

  bool ready(std::string* error) const override;
  bool CanWriteAvif() const override;
  ImageResult Process(const std::string& source, const std::string& extension,
                      const ImageSettings& settings, const std::string& folder) override;
  ImageResult StripMetadata(const std::string& source, const std::string& target) override;
  bool Shrink(const std::string& bytes, int max_side, std::size_t max_bytes, std::string* out,
              std::string* done) override;

 private:
  // The module's processor, loaded on the first call; null when it cannot
  // be, with *error (when given) saying why.
  static ImageProcessor* Loaded(std::string* error);
  // Loaded, for a call that returns an ImageResult: null with *unavailable
  // kUnavailable and its reason when the module cannot be loaded.
  static ImageProcessor* LoadedOr(ImageResult* unavailable);
};

}  // namespace tarn

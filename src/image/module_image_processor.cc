#include "image/module_image_processor.h"

#include <gmodule.h>
#include <unistd.h>

#include <mutex>
#include <vector>

#include "data/self_executable.h"

namespace tarn {
namespace {

struct Module {
  ImageProcessor* processor = nullptr;  // never freed: lives as long as the process
  std::string error;
};

Module Load() {
  Module module;
  const std::string folder = SelfExecutableFolder();
  const std::vector<std::string> candidates = {
      folder + "/" + ModuleImageProcessor::kModuleName,
      folder + "/" + TARN_MODULE_DIR_FROM_BIN + "/" + ModuleImageProcessor::kModuleName};
  std::string tried;
  for (const std::string& path : candidates) {
    if (::access(path.c_str(), R_OK) != 0) {
      tried += (tried.empty() ? "" : ", ") + path;
      continue;
    }
    // Kept open for the life of the process: its processor is handed out.
    GModule* handle = g_module_open(path.c_str(), G_MODULE_BIND_LOCAL);
    gpointer factory = nullptr;
    if (!handle || !g_module_symbol(handle, "tarn_new_image_processor", &factory)) {
      module.error = "cannot load the image module " + path + ": " + g_module_error();
      return module;
    }
    using Factory = ImageProcessor* (*)(int);
    module.processor = reinterpret_cast<Factory>(factory)(ModuleImageProcessor::kInterfaceVersion);
    if (!module.processor)
      module.error = "the image module " + path + " is from another version of tarn";
    return module;
  }
  module.error = "the image module is missing (looked for " + tried + ")";
  return module;
}

}  // namespace

ImageProcessor* ModuleImageProcessor::Loaded(std::string* error) {
  static std::once_flag once;
  static Module module;
  std::call_once(once, [] { module = Load(); });
  if (!module.processor && error) *error = module.error;
  return module.processor;
}

ImageProcessor* ModuleImageProcessor::LoadedOr(ImageResult* unavailable) {
  ImageProcessor* processor = Loaded(&unavailable->reason);
  if (!processor) unavailable->outcome = ImageResult::Outcome::kUnavailable;
  return processor;
}

bool ModuleImageProcessor::ready(std::string* error) const {
  ImageProcessor* processor = Loaded(error);
  return processor && processor->ready(error);
}

bool ModuleImageProcessor::CanWriteAvif() const {
  ImageProcessor* processor = Loaded(nullptr);
  return processor && processor->CanWriteAvif();
}

ImageResult ModuleImageProcessor::Process(const std::string& source, const std::string& extension,
                                          const ImageSettings& settings,
                                          const std::string& folder) {
  ImageResult result;
  ImageProcessor* processor = LoadedOr(&result);
  return processor ? processor->Process(source, extension, settings, folder) : result;
}

ImageResult ModuleImageProcessor::StripMetadata(const std::string& source,
                                                const std::string& target) {
  ImageResult result;
  ImageProcessor* processor = LoadedOr(&result);
  return processor ? processor->StripMetadata(source, target) : result;
}

bool ModuleImageProcessor::Shrink(const std::string& bytes, int max_side, std::size_t max_bytes,
                                  std::string* out, std::string* done) {
  ImageProcessor* processor = Loaded(nullptr);
  return processor && processor->Shrink(bytes, max_side, max_bytes, out, done);
}

}  // namespace tarn

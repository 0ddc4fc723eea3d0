// The entry point of the module tarn-images (see module_image_processor.h):
// the one symbol ModuleImageProcessor looks up.

#include "image/module_image_processor.h"
#include "image/vips_image_processor.h"

extern "C" __attribute__((visibility("default"))) tarn::ImageProcessor* tarn_new_image_processor(
    int interface_version) {
  if (interface_version != tarn::ModuleImageProcessor::kInterfaceVersion) return nullptr;
  return new tarn::VipsImageProcessor();
}

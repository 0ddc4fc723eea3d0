#include "render/post_conversion.h"

#include "convert/markdown_converter.h"
#include "script/script_host.h"

namespace tarn {

PostConversion::PostConversion(ScriptHost* host, MarkdownConverter* converter,
                               const std::vector<PostFile>* posts)
    : host_(host), converter_(converter), posts_(posts) {}

PostConversion::~PostConversion() { Finish(); }

bool PostConversion::CanConvert(std::string* why) const {
  if (host_ && host_->HasFunction("markToHtml")) return true;
  *why = host_ ? host_->Origin() + " defines no markToHtml function"
               : std::string("no page is loaded to run markToHtml");
  return false;
}

void PostConversion::Start() {
  std::string why;
  if (started_ || !converter_ || posts_->empty() || !CanConvert(&why)) return;
  std::vector<std::string_view> texts;
  texts.reserve(posts_->size());
  for (const PostFile& post : *posts_) texts.push_back(post.Markdown());
  converter_->Start(std::move(texts));
  started_ = true;
}

bool PostConversion::Get(std::size_t index, std::string* storage, std::string_view* html,
                         std::string* error) {
  if (started_) {
    MarkdownConverter::Result result = converter_->Get(index);
    *html = result.html;
    *error = result.error;
    return result.ok;
  }
  bool ok = false;
  if (!host_) {
    *error = "no page is loaded to run markToHtml";
  } else {
    ok = host_->CallFunction("markToHtml", {std::string((*posts_)[index].Markdown())}, storage,
                             error);
  }
  *html = *storage;
  return ok;
}

void PostConversion::Finish() {
  if (started_) converter_->Finish();
  started_ = false;
}

}  // namespace tarn

#include "render/post_conversion.h"

#include "convert/markdown_converter.h"
#include "script/script_host.h"

namespace tarn {

PostConversion::PostConversion(ScriptHost* host, MarkdownConverter* converter,
                               const std::vector<PostFile>* posts)
    : host_(host), converter_(converter), posts_(posts) {}

void PostConversion::RenderWhileConverting(bool code, bool maths, const DiagnosticSink& sink) {
  render_line_.clear();
  if (!code && !maths) return;
  if (!host_ || !host_->HasFunction(kRendersFunction)) {
    if (host_ && sink)
      sink(host_->Origin() + ": cannot highlight code or typeset maths while converting (it " +
           "defines no " + kRendersFunction + "); the theme's \"render\" setting is left to " +
           "the browser");
    return;
  }
  render_line_ = kRenderMark;
  if (code) render_line_ += " code";
  if (maths) render_line_ += " maths";
  render_line_ += '\n';
}

std::string PostConversion::Request(std::size_t index) const {
  return render_line_ + std::string((*posts_)[index].Markdown());
}

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
  if (render_line_.empty()) {
    for (const PostFile& post : *posts_) texts.push_back(post.Markdown());
  } else {
    requests_.reserve(posts_->size());
    for (std::size_t i = 0; i < posts_->size(); ++i)
      texts.push_back(requests_.emplace_back(Request(i)));
  }
  converter_->Start(std::move(texts));
  started_ = true;
}

bool PostConversion::Get(std::size_t index, std::string* storage, std::string_view* html,
                         std::string* error, std::optional<ConversionCache::Key>* source) {
  if (source) source->reset();
  if (started_) {
    MarkdownConverter::Result result = converter_->Get(index);
    *html = result.html;
    *error = result.error;
    if (source) *source = result.key;
    return result.ok;
  }
  bool ok = false;
  if (!host_) {
    *error = "no page is loaded to run markToHtml";
  } else {
    ok = host_->CallFunction("markToHtml", {Request(index)}, storage, error);
  }
  *html = *storage;
  return ok;
}

void PostConversion::Finish() {
  if (started_) converter_->Finish();
  started_ = false;
  requests_.clear();
}

}  // namespace tarn

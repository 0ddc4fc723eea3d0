#include "app/page_texts.h"

#include <glib/gi18n.h>

#include <cstring>

#include "app/browser_view.h"

namespace tarn {
namespace {

struct PageText {
  const char* key;
  const char* text;  // the page's own text, "{}" for the value
};

// Keys the pages look up, with the pages' own texts as the source texts.
constexpr PageText kTexts[] = {
    // The manager page.
    {"loading", N_("正在载入站点…")},
    {"posts", N_("文章")},
    {"theme", N_("主题")},
    {"write", N_("写新文章")},
    {"writeBusy", N_("正在打开编辑器…")},
    {"render", N_("渲染")},
    {"renderBusy", N_("正在渲染站点…")},
    {"renderTitle", N_("把 _posts 渲染到 public/")},
    {"push", N_("推送")},
    {"pushBusy", N_("正在推送…")},
    {"pushTitle", N_("提交 public/ 并推送到 system.deployUrl")},
    {"renderPush", N_("渲染并推送")},
    {"renderPushBusy", N_("正在渲染并推送…")},
    {"backup", N_("备份")},
    {"backupBusy", N_("正在备份…")},
    {"backupTitle", N_("提交工作区的文章、设置和主题，并推送到 system.sourceUrl")},
    {"openList", N_("打开文章目录")},
    {"openListBusy", N_("正在打开文章目录…")},
    {"count", N_("共 {} 篇")},
    {"filter", N_("筛选标题或标签…")},
    {"filterLabel", N_("筛选文章")},
    {"publishedAt", N_("发布于 {}")},
    {"updatedAt", N_("更新于 {}")},
    {"emptyList", N_("文章列表会在渲染站点后出现在这里。")},
    {"emptyHint", N_("还没有文章？点「写新文章」开始写第一篇吧。")},
    {"pushTo", N_("推送到")},
    {"noUrl", N_("未设置推送地址：在")},
    {"noUrlSet", N_("填写")},
    {"indexed", N_("索引更新于 {}")},
    {"draft", N_("草稿")},
    {"scheduled", N_("scheduled {}")},
    {"rename", N_("重命名")},
    {"trash", N_("移到回收站")},
    {"more", N_("还有 {} 篇…")},
    {"programOnly", N_("「{}」只能在 Tarn Blog Editor 程序里使用")},
    // The editor page.
    {"editorTitle", N_("写文章 · Tarn Blog Editor")},
    {"history", N_("历史版本")},
    {"historyClose", N_("关闭 Close (Esc)")},
    {"historyLoading", N_("正在读取历史版本…")},
    {"versionLoaded", N_("已载入 {} 的版本，保存（Ctrl+S）后才写入文件")},
    {"editorOnly", N_("只能在 Tarn Blog Editor 程序里使用")},
    {"placeholder", N_("# 标题\n\n从这里开始写…  Start writing here…")},
    {"saveHint", N_("Ctrl+S 保存")},
    {"lines", N_("行")},
    {"keepOriginal", N_("保留原图")},
    {"altPrompt", N_("图片说明（替代文字）：Enter 确认，Esc 跳过")},
    {"frontMatterFold", N_("折叠文章信息")},
    {"frontMatterUnfold", N_("展开文章信息")},
    {"frontMatterFolded", N_("…… {} 行 ……")},
    {"outline", N_("大纲")},
    {"outlineEmpty", N_("没有标题")},
    {"fmForm", N_("文章信息")},
    {"fmTitle", N_("标题")},
    {"fmDate", N_("日期")},
    {"fmUpdated", N_("更新日期")},
    {"fmTags", N_("标签")},
    {"fmCategories", N_("分类")},
    {"fmDraft", N_("草稿")},
    {"fmDescription", N_("描述")},
    {"fmSlug", N_("网址名 slug")},
    {"fmCover", N_("封面图片")},
    {"fmNow", N_("现在")},
    {"fmTomlReadOnly", N_("TOML 文章信息只在文本里修改")},
    {"tool.bold", N_("粗体 Bold (Ctrl-B)")},
    {"tool.italic", N_("斜体 Italic (Ctrl-I)")},
    {"tool.strikethrough", N_("删除线 Strikethrough")},
    {"tool.heading", N_("标题 Heading (Ctrl-Alt-H)")},
    {"tool.quote", N_("引用 Quote")},
    {"tool.unordered-list", N_("无序列表 List")},
    {"tool.ordered-list", N_("有序列表 Numbered list")},
    {"tool.code", N_("代码 Code")},
    {"tool.table", N_("表格 Table")},
    {"tool.horizontal-rule", N_("分割线 Rule")},
    {"tool.link", N_("链接 Link (Ctrl-K)")},
    {"tool.image", N_("图片 Image")},
    {"tool.preview", N_("预览 Preview (Ctrl-P)")},
    {"tool.side-by-side", N_("并排预览 Side by side (F9)")},
    {"tool.reader", N_("保存、渲染并在浏览器中查看 Save, build and view in the browser")},
    {"tool.history", N_("历史版本 Earlier versions (from the backups)")},
    {"tool.undo", N_("撤销 Undo")},
    {"tool.redo", N_("重做 Redo")},
    // The editor page's writing tools (editor-writing.js).
    {"countWords", N_("{} 字")},
    {"countChars", N_("{} 字符")},
    {"countMinutes", N_("约 {} 分钟")},
    {"countSelected", N_("选中 {}")},
    {"findPlaceholder", N_("查找")},
    {"replacePlaceholder", N_("替换为")},
    {"findCase", N_("区分大小写")},
    {"findWord", N_("全字匹配")},
    {"findRegex", N_("正则表达式")},
    {"findPrevious", N_("上一个")},
    {"findNext", N_("下一个")},
    {"replaceOne", N_("替换")},
    {"replaceAll", N_("全部替换")},
    {"findCount", N_("{} 处")},
    {"findNone", N_("没有找到")},
    {"findBadRegex", N_("正则表达式有误：{}")},
    {"keymapTitle", N_("快捷键 Keyboard shortcuts")},
    {"key.find", N_("查找 Find")},
    {"key.replace", N_("替换 Replace")},
    {"key.findNext", N_("下一个 Next match")},
    {"key.findPrevious", N_("上一个 Previous match")},
    {"key.findCase", N_("查找：区分大小写 Find: match case")},
    {"key.findWord", N_("查找：全字匹配 Find: whole word")},
    {"key.findRegex", N_("查找：正则表达式 Find: regular expression")},
    {"key.replaceAll", N_("全部替换（在替换框中）Replace all (in the replace box)")},
    {"key.focus", N_("专注模式 Focus mode")},
    {"key.keymap", N_("快捷键 This list")},
    {"key.escape", N_("关闭面板，退出专注模式 Close, leave focus mode")},
    {"key.save", N_("保存 Save")},
    {"key.undo", N_("撤销 Undo")},
    {"key.redo", N_("重做 Redo")},
    {"shortcut.toggleHeadingBigger", N_("标题变大 Bigger heading")},
    {"shortcut.toggleHeading1", N_("一级标题 Heading 1")},
    {"shortcut.toggleHeading2", N_("二级标题 Heading 2")},
    {"shortcut.toggleHeading3", N_("三级标题 Heading 3")},
    {"shortcut.toggleHeading4", N_("四级标题 Heading 4")},
    {"shortcut.toggleHeading5", N_("五级标题 Heading 5")},
    {"shortcut.toggleHeading6", N_("六级标题 Heading 6")},
    {"shortcut.cleanBlock", N_("清除格式 Clear block")},
    {"shortcut.toggleCheckList", N_("任务列表 Checklist")},
    {"tool.find", N_("查找和替换 Find and replace (Ctrl-F, Ctrl-H)")},
    {"tool.focus", N_("专注模式 Focus mode (F11)")},
    {"tool.spelling", N_("拼写检查 Spell checking")},
    {"tool.outline", N_("大纲 Outline")},
    {"tool.frontMatter", N_("文章信息 Front matter")},
};

constexpr char kLookup[] = R"(
  const fill = (text, value) => text.split('{}').join(value == null ? '' : String(value));
  const tarnText = (key, fallback, value) =>
    Object.prototype.hasOwnProperty.call(texts, key) ? fill(texts[key], value) : fallback;
  globalThis.tarnText = tarnText;
  if (Object.keys(texts).length === 0) return;
  // The text of a node, its surrounding white space kept.
  const retext = (node, key, value) => {
    const [, lead, text, trail] = /^(\s*)([\s\S]*?)(\s*)$/.exec(node.nodeValue);
    node.nodeValue = lead + tarnText(key, text, value) + trail;
  };
  document.addEventListener('DOMContentLoaded', () => {
    for (const el of document.querySelectorAll('*')) {
      const value = el.getAttribute('data-text-value');
      for (const attr of Array.from(el.attributes)) {
        if (attr.name === 'data-text') {
          el.textContent = tarnText(attr.value, el.textContent, value);
        } else if (attr.name === 'data-text-nodes') {
          const nodes = Array.from(el.childNodes)
              .filter((n) => n.nodeType === Node.TEXT_NODE && n.nodeValue.trim() !== '');
          attr.value.split(' ').forEach((key, i) => nodes[i] && retext(nodes[i], key, value));
        } else if (attr.name.startsWith('data-text-') && attr.name !== 'data-text-value') {
          const name = attr.name.slice('data-text-'.length);
          el.setAttribute(name, tarnText(attr.value, el.getAttribute(name), value));
        }
      }
    }
  });
})();)";

}  // namespace

std::string PageTexts::Script() {
  std::string script = "(() => {\n  const texts = {";
  for (const PageText& text : kTexts) {
    const char* translated = _(text.text);
    if (std::strcmp(translated, text.text) == 0) continue;
    script += "\n    " + BrowserView::ScriptLiteral(text.key) + ": " +
              BrowserView::ScriptLiteral(translated) + ",";
  }
  return script + "\n  };" + kLookup;
}

}  // namespace tarn

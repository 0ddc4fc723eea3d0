// Markdown to HTML for Tarn Blog Editor's pages.
//
// The site build calls markToHtml(markdown) in the manager page (in the
// window, or in a headless script engine that has no DOM), and the editor's
// live preview calls the same function, so a post looks the same in the
// preview and on the published site. Keep this file free of DOM access.
//
// Needs vendor/markdown-it.min.js loaded before it (it defines markdownit).
(function (global) {
  'use strict';

  // markdown-it's default preset is CommonMark plus tables and
  // strikethrough. Raw HTML stays allowed: posts are the blogger's own text,
  // and HTML is how they add what Markdown cannot say (a <details>, a
  // figure with a caption). Bare addresses become links. Typographic
  // replacements stay off: they would turn quotes in Chinese text into the
  // wrong kind.
  var md = global.markdownit({
    html: true,
    linkify: true,
    typographer: false,
    breaks: false
  });

  // Called by the program with one argument, the whole post text (header
  // block included); returns the HTML. Anything that is not text (undefined
  // from a failed read) converts as the empty post rather than "undefined".
  global.markToHtml = function markToHtml(markdown) {
    if (markdown === undefined || markdown === null) return '';
    return md.render(String(markdown));
  };
})(typeof globalThis !== 'undefined' ? globalThis : this);

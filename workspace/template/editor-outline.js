// The outline of the post in the editor: a panel at the left of the source
// (the toolbar's outline button opens and closes it) that lists the post's
// headings, indented by level. A click puts the cursor on the heading,
// shows it at the top of the source and shows the same heading in the
// preview. The list follows edits a moment after the last one.
//
// Needs editor-front-matter.js (tarnFrontMatterBlock). listHeadings is a
// pure function (tested in node); the rest needs the editor page
// (window.tarnEditor).
(function (global) {
  'use strict';

  var kAtx = /^ {0,3}((?:> ?)*)(#{1,6})(?:[ \t]+(.*?))?(?:[ \t]+#+)?[ \t]*$/;
  var kSetext = /^ {0,3}(=+|-+)[ \t]*$/;
  var kFence = /^ {0,3}(?:> ?)*(`{3,}|~{3,})/;
  // Lines that cannot be the text of a setext heading, or end it: a list
  // item, a quote, a thematic break, an HTML block or indented code (a
  // line of "-" alone is a thematic break too).
  var kNoParagraph = /^(?: {4}|\t| {0,3}(?:[-+*]|\d{1,9}[.)])(?:[ \t]|$)| {0,3}>| {0,3}<| {0,3}(?:(?:\*[ \t]*){3,}|(?:_[ \t]*){3,})$)/;

  // A heading's text as the outline shows it: without its attributes
  // ({#id .class}) and surrounding space.
  function shown(text) {
    return text.replace(/[ \t]*\{[^{}]*\}[ \t]*$/, '').trim();
  }

  // The headings of a post's Markdown text, in order: { level (1-6), text,
  // line (0-based, where the heading starts) }. ATX ("## Title") and setext
  // (a paragraph underlined with "=" or "-") headings count; lines in fenced
  // code and in the front matter never do, nor headings with no text.
  function listHeadings(markdown) {
    var lines = String(markdown).split(/\r?\n/);
    var headings = [];
    var fence = '';          // the open code fence, '' outside code
    var paragraph = -1;      // the first line of the open paragraph
    var front = global.tarnFrontMatterBlock(lines);   // editor-front-matter.js
    for (var i = front ? front.end + 1 : 0; i < lines.length; i++) {
      var line = lines[i];
      var opening = kFence.exec(line);
      if (fence) {
        if (opening && opening[1].charAt(0) === fence.charAt(0) && opening[1].length >= fence.length &&
            /^[ \t]*$/.test(line.slice(opening[0].length))) {
          fence = '';
        }
        continue;
      }
      if (opening) {
        fence = opening[1];
        paragraph = -1;
        continue;
      }
      var atx = kAtx.exec(line);
      var setext = kSetext.exec(line);
      if (setext && paragraph >= 0) {
        var text = shown(lines.slice(paragraph, i).join(' ').replace(/\s+/g, ' '));
        if (text) headings.push({ level: setext[1].charAt(0) === '=' ? 1 : 2, text: text, line: paragraph });
        paragraph = -1;
      } else if (atx) {
        var title = shown(atx[3] || '');
        if (title) headings.push({ level: atx[2].length, text: title, line: i });
        paragraph = -1;
      } else if (/^[ \t]*$/.test(line) || kNoParagraph.test(line) || (setext && setext[1].charAt(0) === '-')) {
        paragraph = -1;
      } else if (paragraph < 0) {
        paragraph = i;
      }
    }
    return headings;
  }
  global.tarnListHeadings = listHeadings;

  var editor = global.tarnEditor;
  if (!editor || !global.document) return;
  var cm = editor.codemirror;
  var document = global.document;

  var text = global.tarnEditorParts.text;

  var panel = document.createElement('nav');
  panel.className = 'outline-panel';
  panel.id = 'outline';
  panel.hidden = true;
  panel.setAttribute('aria-label', text('outline', '大纲'));
  var head = document.createElement('div');
  head.className = 'outline-head';
  head.textContent = text('outline', '大纲');
  var list = document.createElement('div');
  list.className = 'outline-list';
  panel.appendChild(head);
  panel.appendChild(list);
  document.body.appendChild(panel);

  // The preview shown (beside the text or instead of it), or null.
  function previewPane() {
    return document.querySelector('.editor-preview-active-side, .editor-preview-active');
  }

  // Scrolls the preview to its index-th heading. The preview's own scroll
  // would scroll the source along; with quiet, the source stays.
  function showInPreview(index, quiet) {
    var preview = previewPane();
    var target = preview && preview.querySelectorAll('h1, h2, h3, h4, h5, h6')[index];
    if (!target) return;
    var top = preview.scrollTop + target.getBoundingClientRect().top -
        preview.getBoundingClientRect().top - 8;
    var before = preview.scrollTop;
    var follow = preview.onscroll;
    if (quiet) {
      preview.onscroll = function () { preview.onscroll = follow; };
    }
    preview.scrollTop = Math.max(0, top);
    if (preview.scrollTop === before) preview.onscroll = follow;   // no scroll comes
  }

  function jump(heading, index) {
    var before = cm.getScrollInfo().top;
    cm.setCursor({ line: heading.line, ch: 0 });
    cm.scrollTo(null, cm.heightAtLine(heading.line, 'local'));
    if (cm.getScrollInfo().top === before) {
      showInPreview(index, true);
    } else {
      // The source's scroll moves the preview along (EasyMDE) when it
      // comes; the heading is shown after that.
      var once = function () {
        cm.off('scroll', once);
        showInPreview(index, false);
      };
      cm.on('scroll', once);
    }
    cm.focus();
  }

  function render() {
    list.textContent = '';
    var headings = listHeadings(cm.getValue());
    if (!headings.length) {
      var none = document.createElement('p');
      none.className = 'outline-none';
      none.textContent = text('outlineEmpty', '没有标题');
      list.appendChild(none);
    }
    headings.forEach(function (heading, index) {
      var item = document.createElement('button');
      item.type = 'button';
      item.className = 'outline-item outline-h' + heading.level;
      item.textContent = heading.text;
      item.title = heading.text;
      item.addEventListener('click', function () { jump(heading, index); });
      list.appendChild(item);
    });
  }

  // The panel sits over the window's left edge, between the toolbar and
  // the status bar; the text moves aside for it.
  function place() {
    var box = cm.getWrapperElement().getBoundingClientRect();
    panel.style.top = box.top + 'px';
    panel.style.height = box.height + 'px';
  }

  var button = null;
  function toggle() {
    panel.hidden = !panel.hidden;
    document.body.classList.toggle('outline-open', !panel.hidden);
    if (button) button.classList.toggle('active', !panel.hidden);
    if (!panel.hidden) render();
    cm.refresh();
    place();
  }
  global.tarnToggleOutline = toggle;

  global.tarnEditorParts.followWhileShown(cm, panel, render, place);

  button = global.tarnEditorParts.toolbarButton('outline', 'list', 'tool.outline', '大纲 Outline', toggle);
})(this);

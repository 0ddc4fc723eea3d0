// The post editor's writing tools: find and replace, the counts in the
// status bar, focus mode, the keyboard map and spell checking. editor.html loads this file
// after EasyMDE and calls tarnWriting.attach(editor, fit) once its editor
// exists; the toolbar's find, focus and spelling buttons call find, focus
// and spelling.
//
// Every key these tools answer to is in one table (KEYS): the keys are
// bound from it and the keyboard map (F1) lists it, together with EasyMDE's
// own shortcuts as the editor has them, so the map cannot drift from the
// bindings.
//
// When the program runs with TARN_PAGE_TRACE set it binds tarnTrace, and
// the tools report what they show ("find 3 ok", "focus on", "preview
// hidden", "keymap shown: Ctrl+F ...") for the GUI tests to wait on.
(function (root) {
  'use strict';

  // --- Counts --------------------------------------------------------------

  // Writing with no spaces between words: each Han, Hiragana or Katakana
  // character counts as a word.
  var CJK = /[\p{Script=Han}\p{Script=Hiragana}\p{Script=Katakana}]/u;
  // A word of other scripts: a run of letters, marks and digits, with an
  // apostrophe or hyphen inside it ("don't", "e-mail") kept in the word.
  var TOKEN = /[\p{Script=Han}\p{Script=Hiragana}\p{Script=Katakana}]|[\p{L}\p{M}\p{N}]+(?:['’-][\p{L}\p{M}\p{N}]+)*/gu;
  var WORDS_PER_MINUTE = 250;
  var CJK_PER_MINUTE = 300;

  // The text below a post's front matter (--- YAML --- or +++ TOML +++):
  // the front matter is no part of what readers read.
  function withoutFrontMatter(text) {
    var m = /^\uFEFF?(---|\+\+\+)[ \t]*\r?\n/.exec(text);
    if (!m) return text;
    var close = m[1] === '---' ? '(?:---|\\.\\.\\.)' : '\\+\\+\\+';
    var end = new RegExp('^' + close + '[ \\t]*(?:\\r?\\n|$)', 'm');
    var rest = text.slice(m[0].length);
    var found = end.exec(rest);
    return found ? rest.slice(found.index + found[0].length) : text;
  }

  // What the status bar says of text: words (CJK characters one each),
  // characters (every character but white space) and the minutes a reader
  // takes (250 words or 300 CJK characters a minute, rounded up; 0 for no
  // words).
  function countText(text) {
    var tokens = String(text).match(TOKEN) || [];
    var cjk = 0;
    tokens.forEach(function (token) { if (CJK.test(token)) cjk++; });
    var chars = Array.from(String(text).replace(/\s+/gu, '')).length;
    var minutes = Math.ceil((tokens.length - cjk) / WORDS_PER_MINUTE + cjk / CJK_PER_MINUTE);
    return { words: tokens.length, cjk: cjk, chars: chars, minutes: minutes };
  }

  // --- Find and replace: the query -------------------------------------------

  var WORD_CHAR = '[\\p{L}\\p{M}\\p{N}_]';

  // The regular expression that finds text with the options { caseSensitive,
  // wholeWord, regex }, as { regexp }; { error } names what is wrong with a
  // regular expression that does not compile; {} for no text.
  function buildQuery(text, options) {
    if (!text) return {};
    var source = options.regex ? text : text.replace(/[.*+?^${}()|[\]\\\/]/g, '\\$&');
    if (options.wholeWord) source = '(?<!' + WORD_CHAR + ')(?:' + source + ')(?!' + WORD_CHAR + ')';
    try {
      return { regexp: new RegExp(source, 'gmu' + (options.caseSensitive ? '' : 'i')) };
    } catch (e) {
      return { error: String(e.message || e) };
    }
  }

  // The replacement for one match: a regular expression's $1..$9 and $&
  // stand for the match's groups ($$ for $); other text is taken as it is.
  function expandReplacement(replacement, match, regex) {
    if (!regex) return replacement;
    return replacement.replace(/\$(\d|&|\$)/g, function (all, what) {
      if (what === '$') return '$';
      if (what === '&') return match[0];
      return match[Number(what)] === undefined ? '' : match[Number(what)];
    });
  }

  root.tarnWriting = {
    countText: countText,
    withoutFrontMatter: withoutFrontMatter,
    buildQuery: buildQuery,
    expandReplacement: expandReplacement
  };
  if (typeof document === 'undefined') return;   // node: the pure parts only

  // The program's translation of a text (its tarnText), or the page's own,
  // with value in place of "{}".
  function pageText(key, fallback, value) {
    var own = value === undefined ? fallback : fallback.split('{}').join(String(value));
    return typeof root.tarnText === 'function' ? root.tarnText(key, own, value) : own;
  }
  function trace(text) {
    if (typeof root.tarnTrace === 'function') root.tarnTrace(text);
  }
  function element(tag, className, text) {
    var el = document.createElement(tag);
    if (className) el.className = className;
    if (text !== undefined) el.textContent = text;
    return el;
  }

  var editor = null;
  var cm = null;
  var fit = function () {};

  // --- Counts in the status bar --------------------------------------------

  var countsEl = null;
  var countsQueued = false;
  function showCounts() {
    countsQueued = false;
    if (!countsEl || !cm) return;
    var all = countText(withoutFrontMatter(cm.getValue()));
    var text = pageText('countWords', '{} 字', all.words) + ' · ' +
        pageText('countChars', '{} 字符', all.chars) + ' · ' +
        pageText('countMinutes', '约 {} 分钟', all.minutes);
    if (cm.somethingSelected()) {
      var sel = countText(cm.getSelections().join('\n'));
      text = pageText('countSelected', '选中 {}', pageText('countWords', '{} 字', sel.words) +
                      ' / ' + pageText('countChars', '{} 字符', sel.chars)) + ' · ' + text;
    }
    countsEl.textContent = text;
  }
  function queueCounts() {
    if (countsQueued) return;
    countsQueued = true;
    (root.requestAnimationFrame || setTimeout)(showCounts);
  }
  // EasyMDE's status bar item for the counts.
  root.tarnWriting.countsStatus = {
    className: 'counts',
    defaultValue: function (el) { countsEl = el; }
  };

  // --- Find and replace: the panel -------------------------------------------

  var panel = null;
  var findInput = null;
  var replaceInput = null;
  var statusEl = null;
  var options = { caseSensitive: false, wholeWord: false, regex: false };
  var optionButtons = {};
  var overlay = null;

  function currentQuery() {
    return buildQuery(findInput.value, options);
  }

  // Every match of query, in document order, as { from, to, match }; empty
  // matches are passed over (a regular expression such as "x*").
  function matches(query) {
    var found = [];
    if (!query.regexp) return found;
    var cursor = cm.getSearchCursor(query.regexp, { line: 0, ch: 0 });
    while (cursor.findNext() && found.length < 100000) {
      var from = cursor.from();
      var to = cursor.to();
      if (posKey(from) === posKey(to)) continue;
      found.push({ from: from, to: to, match: cursor.pos.match });
    }
    return found;
  }
  // A position as a string, to compare two at once.
  function posKey(pos) { return pos.line + ':' + pos.ch; }

  function highlight(query) {
    if (overlay) cm.removeOverlay(overlay);
    overlay = null;
    if (!query.regexp) return;
    var re = query.regexp;
    overlay = {
      token: function (stream) {
        re.lastIndex = stream.pos;
        var m = re.exec(stream.string);
        if (m && m.index === stream.pos && m[0].length) {
          stream.pos += m[0].length;
          return 'tarn-match';
        }
        if (m && m.index > stream.pos) stream.pos = m.index;
        else if (m) stream.next();
        else stream.skipToEnd();
        return null;
      }
    };
    cm.addOverlay(overlay);
  }

  // Shows what the panel finds: "n of m", no match, or the regular
  // expression's fault; returns the matches.
  function refresh() {
    var query = currentQuery();
    highlight(query);
    var found = matches(query);
    panel.classList.toggle('bad', !!query.error);
    if (query.error) {
      statusEl.textContent = pageText('findBadRegex', '正则表达式有误：{}', query.error);
    } else if (!findInput.value) {
      statusEl.textContent = '';
    } else {
      var head = cm.getCursor('from');
      var at = found.findIndex(function (f) {
        return posKey(f.from) === posKey(head) &&
            posKey(f.to) === posKey(cm.getCursor('to'));
      });
      statusEl.textContent = found.length
          ? pageText('findCount', '{} 处', (at >= 0 ? (at + 1) + '/' : '') + found.length)
          : pageText('findNone', '没有找到');
    }
    trace('find ' + found.length + ' ' + (query.error ? 'error' : 'ok'));
    return found;
  }

  // Selects the next (or previous) match after the selection, wrapping.
  function go(backward) {
    var found = matches(currentQuery());
    if (!found.length) { refresh(); return; }
    var from = cm.getCursor('from');
    var to = cm.getCursor('to');
    var pick = null;
    if (backward) {
      for (var i = found.length - 1; i >= 0 && !pick; i--) {
        if (cmp(found[i].to, from) <= 0 && cmp(found[i].from, from) < 0) pick = found[i];
      }
      pick = pick || found[found.length - 1];
    } else {
      for (var j = 0; j < found.length && !pick; j++) {
        if (cmp(found[j].from, to) >= 0 && cmp(found[j].to, to) > 0) pick = found[j];
      }
      pick = pick || found[0];
    }
    cm.setSelection(pick.from, pick.to);
    cm.scrollIntoView({ from: pick.from, to: pick.to }, 60);
    refresh();
  }
  function cmp(a, b) { return a.line - b.line || a.ch - b.ch; }

  // Replaces the selected match, then selects the next one.
  function replaceOne() {
    var query = currentQuery();
    var found = matches(query);
    var from = cm.getCursor('from');
    var to = cm.getCursor('to');
    var hit = found.filter(function (f) { return !cmp(f.from, from) && !cmp(f.to, to); })[0];
    if (hit) cm.replaceRange(expandReplacement(replaceInput.value, hit.match, options.regex), hit.from, hit.to, '+tarnReplace');
    go(false);
  }

  // Replaces every match in one operation, which undo takes back as one
  // step. The last match goes first, so the earlier ones keep their places.
  function replaceAll() {
    var found = matches(currentQuery());
    cm.operation(function () {
      for (var i = found.length - 1; i >= 0; i--) {
        cm.replaceRange(expandReplacement(replaceInput.value, found[i].match, options.regex),
                        found[i].from, found[i].to, '+tarnReplace');
      }
    });
    refresh();
    trace('replaced ' + found.length);
  }

  function optionButton(name, label, key, title) {
    var b = element('button', 'find-option', label);
    b.type = 'button';
    b.title = title + ' (' + key + ')';
    b.setAttribute('aria-pressed', 'false');
    b.addEventListener('click', function () { toggleOption(name); });
    optionButtons[name] = b;
    return b;
  }
  function toggleOption(name) {
    options[name] = !options[name];
    optionButtons[name].setAttribute('aria-pressed', String(options[name]));
    refresh();
  }
  function actionButton(text, title, run) {
    var b = element('button', 'find-action', text);
    b.type = 'button';
    b.title = title;
    b.addEventListener('click', run);
    return b;
  }

  function textBox(id, label) {
    var box = element('input');
    box.type = 'text';
    box.id = id;
    box.placeholder = label;
    box.setAttribute('aria-label', label);
    return box;
  }

  function buildPanel() {
    panel = element('div', 'find-panel');
    panel.id = 'find-panel';
    panel.setAttribute('role', 'search');
    panel.hidden = true;
    var findRow = element('div', 'find-row');
    findInput = textBox('find-input', pageText('findPlaceholder', '查找'));
    findRow.appendChild(findInput);
    findRow.appendChild(optionButton('caseSensitive', 'Aa', 'Alt+C', pageText('findCase', '区分大小写')));
    findRow.appendChild(optionButton('wholeWord', 'W', 'Alt+W', pageText('findWord', '全字匹配')));
    findRow.appendChild(optionButton('regex', '.*', 'Alt+R', pageText('findRegex', '正则表达式')));
    findRow.appendChild(actionButton('↑', pageText('findPrevious', '上一个') + ' (Shift+Enter)', function () { go(true); }));
    findRow.appendChild(actionButton('↓', pageText('findNext', '下一个') + ' (Enter)', function () { go(false); }));
    findRow.appendChild(actionButton('×', pageText('historyClose', '关闭 Close (Esc)'), closeFind));
    var replaceRow = element('div', 'replace-row');
    replaceInput = textBox('replace-input', pageText('replacePlaceholder', '替换为'));
    replaceRow.appendChild(replaceInput);
    replaceRow.appendChild(actionButton(pageText('replaceOne', '替换'), 'Enter', replaceOne));
    replaceRow.appendChild(actionButton(pageText('replaceAll', '全部替换'), 'Ctrl+Enter', replaceAll));
    statusEl = element('div', 'find-status');
    statusEl.setAttribute('role', 'status');
    panel.appendChild(findRow);
    panel.appendChild(replaceRow);
    panel.appendChild(statusEl);
    document.body.appendChild(panel);

    findInput.addEventListener('input', refresh);
    findInput.addEventListener('keydown', function (event) {
      if (event.key !== 'Enter') return;
      event.preventDefault();
      go(event.shiftKey);
    });
    replaceInput.addEventListener('keydown', function (event) {
      if (event.key !== 'Enter') return;
      event.preventDefault();
      if (event.ctrlKey) replaceAll();
      else replaceOne();
    });
  }

  // Opens the panel (with the replace row when replace is true) on the
  // selected text, if any.
  // Pressed again with the replace row open, the replace key moves to the
  // other box.
  function openFind(replace) {
    if (replace && !panel.hidden && panel.classList.contains('replace') && inPanel()) {
      (document.activeElement === findInput ? replaceInput : findInput).focus();
      return;
    }
    var selected = cm.getSelection();
    if (selected && selected.indexOf('\n') < 0) findInput.value = selected;
    // Below the toolbar, which wraps to a second row in a narrow window.
    var toolbar = document.querySelector('.editor-toolbar');
    if (toolbar) panel.style.top = Math.round(toolbar.getBoundingClientRect().bottom + 4) + 'px';
    panel.hidden = false;
    panel.classList.toggle('replace', !!replace);
    findInput.focus();
    findInput.select();
    refresh();
  }
  function closeFind() {
    panel.hidden = true;
    highlight({});
    cm.focus();
  }
  function inPanel() {
    return panel && !panel.hidden && panel.contains(document.activeElement);
  }

  // --- Focus mode ------------------------------------------------------------

  var focusState = null;   // the layout to go back to, while in focus mode
  var currentLines = [];

  function previewShown() {
    var side = document.querySelector('.editor-preview-active-side');
    var full = document.querySelector('.editor-preview-active');
    return !!((side && side.offsetWidth) || (full && full.offsetWidth));
  }

  // The lines of the paragraph the cursor is in (up to blank lines) stay
  // clear in focus mode; the rest of the text is dimmed.
  function markParagraph() {
    currentLines.forEach(function (line) { cm.removeLineClass(line, 'wrap', 'focus-current'); });
    currentLines = [];
    if (!focusState) return;
    var line = cm.getCursor().line;
    var first = line;
    var last = line;
    while (first > 0 && /\S/.test(cm.getLine(first - 1))) first--;
    while (last < cm.lastLine() && /\S/.test(cm.getLine(last + 1))) last++;
    for (var i = first; i <= last; i++) {
      currentLines.push(cm.addLineClass(i, 'wrap', 'focus-current'));
    }
  }

  function setFocus(on) {
    if (!!focusState === on) return;
    var E = root.EasyMDE;
    if (on) {
      focusState = { side: editor.isSideBySideActive(), preview: editor.isPreviewActive() };
      if (focusState.side) E.toggleSideBySide(editor);
      if (focusState.preview) E.togglePreview(editor);
    } else {
      var back = focusState;
      focusState = null;
      if (back.side) E.toggleSideBySide(editor);
      if (back.preview) E.togglePreview(editor);
    }
    document.body.classList.toggle('focus-mode', on);
    if (typeof root.tarnFullscreen === 'function') root.tarnFullscreen(on ? '1' : '0');
    markParagraph();
    fit();
    cm.refresh();
    cm.focus();
    trace('focus ' + (on ? 'on' : 'off'));
  }

  // Traces each change of the preview's visibility (EasyMDE shows the side
  // preview a moment after its toggle).
  function watchPreview() {
    var shown = null;
    var observer = new MutationObserver(function () {
      if (previewShown() === shown) return;
      shown = previewShown();
      trace('preview ' + (shown ? 'shown' : 'hidden'));
    });
    var container = cm.getWrapperElement().parentNode;
    observer.observe(container, { attributes: true, attributeFilter: ['class'], subtree: true });
  }

  // --- Keyboard map ----------------------------------------------------------

  var help = null;

  // What a CodeMirror key name ("Shift-Cmd-H") reads as on this keyboard
  // ("Ctrl+Shift+H").
  function keyLabel(name) {
    var parts = String(name).split(/[-+](?!$)/);
    var key = parts.pop();
    var mods = parts.map(function (p) { return p === 'Cmd' ? 'Ctrl' : p; });
    var order = ['Ctrl', 'Alt', 'Shift'];
    mods.sort(function (a, b) { return order.indexOf(a) - order.indexOf(b); });
    return mods.concat([key]).join('+');
  }

  // The toolbar's commands with the keys EasyMDE binds to them, in the
  // toolbar's order; then EasyMDE's other shortcuts.
  function editorRows() {
    var E = root.EasyMDE;
    var shortcuts = editor.options.shortcuts || {};
    var rows = [];
    var listed = {};
    (editor.options.toolbar || []).forEach(function (item) {
      if (!item || typeof item !== 'object') return;
      var action = Object.keys(shortcuts).filter(function (name) {
        return shortcuts[name] && E[name] === item.action;
      })[0];
      if (action) listed[action] = true;
      rows.push([action ? keyLabel(shortcuts[action]) : '—', item.title.replace(/\s*\([^)]*\)$/, '')]);
    });
    Object.keys(shortcuts).forEach(function (name) {
      if (!shortcuts[name] || listed[name]) return;
      rows.push([keyLabel(shortcuts[name]), pageText('shortcut.' + name, name)]);
    });
    return rows;
  }

  function openKeymap() {
    if (!help) {
      help = element('div', 'keymap');
      help.id = 'keymap';
      help.setAttribute('role', 'dialog');
      help.tabIndex = -1;
      document.body.appendChild(help);
    }
    help.textContent = '';
    help.appendChild(element('div', 'keymap-head', pageText('keymapTitle', '快捷键 Keyboard shortcuts')));
    var table = element('table');
    KEYS.map(function (k) { return [k.keys, pageText(k.text, k.fallback)]; })
        .concat(editorRows())
        .forEach(function (row) {
          var tr = element('tr');
          tr.appendChild(element('th', '', row[0]));
          tr.appendChild(element('td', '', row[1]));
          table.appendChild(tr);
        });
    help.appendChild(table);
    help.hidden = false;
    help.focus();
    trace('keymap shown: ' + Array.prototype.map.call(table.querySelectorAll('th'), function (th) {
      return th.textContent;
    }).join(', '));
  }
  function closeKeymap() {
    help.hidden = true;
    cm.focus();
    trace('keymap hidden');
  }
  function keymapOpen() { return help && !help.hidden; }

  // --- Spell checking --------------------------------------------------------

  // WebKit checks the text in the languages the program chose for the post
  // (EditorSpelling). The switch is the page's, kept in its localStorage;
  // on unless turned off. Front matter, code, addresses and CJK text carry
  // spellcheck="false", so WebKit leaves them alone whatever the language.
  var SPELLING_KEY = 'tarn.spellcheck';
  var CJK_RUN = /^[\p{Script=Han}\p{Script=Hiragana}\p{Script=Katakana}]+/u;
  var UNCHECKED = '.cm-comment, .cm-url, .cm-link, .cm-tarn-cjk, .cm-formatting-code-block';
  var frontLines = 0;   // the lines of the front matter, fences included

  function spellingOn() {
    try { return root.localStorage.getItem(SPELLING_KEY) !== 'off'; } catch (e) { return true; }
  }
  function setSpelling(on) {
    try { root.localStorage.setItem(SPELLING_KEY, on ? 'on' : 'off'); } catch (e) { /* kept for this page only */ }
    cm.setOption('spellcheck', on);
    var button = editor.toolbarElements && editor.toolbarElements.spelling;
    if (button) button.classList.toggle('active', on);
    trace('spelling ' + (on ? 'on' : 'off'));
  }

  // Runs of CJK characters get a class of their own (cm-tarn-cjk).
  var cjkOverlay = {
    token: function (stream) {
      if (stream.match(CJK_RUN)) return 'tarn-cjk';
      stream.next();
      while (!stream.eol() && !CJK.test(stream.peek())) stream.next();
      return null;
    }
  };

  function countFrontLines() {
    var text = cm.getRange({ line: 0, ch: 0 }, { line: Math.min(cm.lastLine(), 400), ch: 0 });
    var body = withoutFrontMatter(text);
    var lines = body === text ? 0 : text.slice(0, text.length - body.length).split('\n').length - 1;
    if (lines !== frontLines) {
      frontLines = lines;
      cm.refresh();
    }
  }

  function markUnchecked(instance, line, elt) {
    var no = line.lineNo();
    if (no !== null && no < frontLines) {
      elt.setAttribute('spellcheck', 'false');
      return;
    }
    Array.prototype.forEach.call(elt.querySelectorAll(UNCHECKED), function (span) {
      span.setAttribute('spellcheck', 'false');
    });
  }

  function attachSpelling() {
    cm.addOverlay(cjkOverlay);
    cm.on('renderLine', markUnchecked);
    cm.on('changes', countFrontLines);
    countFrontLines();
    setSpelling(spellingOn());
  }

  // --- The keys --------------------------------------------------------------

  // Each key of the writing tools: what it reads as (also how it is
  // matched), its text in the keyboard map and what it does (null: a key
  // bound elsewhere, listed for completeness). Esc closes what is open
  // first: the keyboard map, the find panel, then focus mode.
  var KEYS = [
    { keys: 'Ctrl+F', text: 'key.find', fallback: '查找 Find', run: function () { openFind(false); } },
    { keys: 'Ctrl+H', text: 'key.replace', fallback: '替换 Replace', run: function () { openFind(true); } },
    { keys: 'F3', text: 'key.findNext', fallback: '下一个 Next match', run: function () { if (!panel.hidden) go(false); } },
    { keys: 'Shift+F3', text: 'key.findPrevious', fallback: '上一个 Previous match', run: function () { if (!panel.hidden) go(true); } },
    { keys: 'Alt+C', text: 'key.findCase', fallback: '查找：区分大小写 Find: match case', panel: true, run: function () { toggleOption('caseSensitive'); } },
    { keys: 'Alt+W', text: 'key.findWord', fallback: '查找：全字匹配 Find: whole word', panel: true, run: function () { toggleOption('wholeWord'); } },
    { keys: 'Alt+R', text: 'key.findRegex', fallback: '查找：正则表达式 Find: regular expression', panel: true, run: function () { toggleOption('regex'); } },
    { keys: 'Ctrl+Enter', text: 'key.replaceAll', fallback: '全部替换（在替换框中）Replace all (in the replace box)', run: null },
    { keys: 'F11', text: 'key.focus', fallback: '专注模式 Focus mode', run: function () { setFocus(!focusState); } },
    { keys: 'F1', text: 'key.keymap', fallback: '快捷键 This list', run: function () { if (keymapOpen()) closeKeymap(); else openKeymap(); } },
    { keys: 'Escape', text: 'key.escape', fallback: '关闭面板，退出专注模式 Close, leave focus mode', run: escape },
    { keys: 'Ctrl+S', text: 'key.save', fallback: '保存 Save', run: null },
    { keys: 'Ctrl+Z', text: 'key.undo', fallback: '撤销 Undo', run: null },
    { keys: 'Ctrl+Y', text: 'key.redo', fallback: '重做 Redo', run: null }
  ];

  // Returns whether Esc closed something.
  function escape() {
    if (keymapOpen()) { closeKeymap(); return true; }
    if (panel && !panel.hidden) { closeFind(); return true; }
    if (focusState) { setFocus(false); return true; }
    return false;
  }

  // The key of event as the table writes it.
  function eventKeys(event) {
    var key = event.key.length === 1 ? event.key.toUpperCase() : event.key;
    if (event.code && /^Key[A-Z]$/.test(event.code)) key = event.code.slice(3);
    return (event.ctrlKey ? 'Ctrl+' : '') + (event.altKey ? 'Alt+' : '') +
        (event.shiftKey ? 'Shift+' : '') + key;
  }

  function onKey(event) {
    if (event.isComposing || !cm) return;
    var keys = eventKeys(event);
    var entry = KEYS.filter(function (k) { return k.keys === keys && k.run; })[0];
    if (!entry || (entry.panel && !inPanel())) return;
    // Other panels of the page (history, alt text) keep their own Esc.
    if (keys === 'Escape' && !escape()) return;
    event.preventDefault();
    event.stopPropagation();
    if (keys !== 'Escape') entry.run();
  }

  root.tarnWriting.find = function () { openFind(false); };
  root.tarnWriting.spelling = function () {
    setSpelling(!spellingOn());
    cm.focus();
  };
  root.tarnWriting.focus = function () { setFocus(!focusState); };

  // Takes the page's EasyMDE editor and its layout function (fit).
  root.tarnWriting.attach = function attach(easyMde, fitLayout) {
    editor = easyMde;
    cm = editor.codemirror;
    fit = fitLayout || fit;
    buildPanel();
    document.addEventListener('keydown', onKey, true);
    cm.on('changes', queueCounts);
    cm.on('cursorActivity', queueCounts);
    cm.on('cursorActivity', function () { if (focusState) markParagraph(); });
    if (typeof root.tarnTrace === 'function') watchPreview();
    attachSpelling();
    showCounts();
  };
})(typeof window !== 'undefined' ? window : globalThis);

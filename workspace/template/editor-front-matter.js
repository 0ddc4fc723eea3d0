// The front matter in the post editor's source pane.
//
// A post may open with a YAML block between "---" lines (or "..." as the
// closing line) or a TOML block between "+++" lines. That block is no
// Markdown: the build leaves it out of the page, so the source pane draws
// it as front matter (its fences, keys, values and comments in classes of
// their own: cm-fm, cm-fm-fence, cm-fm-key, cm-fm-value, cm-fm-comment),
// never as Markdown (a line right above the closing "---" would otherwise
// be a heading). A small control at the end of the first line folds the
// block into one line and opens it again; moving the cursor into a folded
// block opens it.
//
// frontMatterLine is a pure function (tested in node); the rest needs the
// editor page (window.tarnEditor).
(function (global) {
  'use strict';

  function bare(line) {
    return line.replace(/^\uFEFF/, '').replace(/[\r \t]+$/, '');
  }

  // The fence a post's first line opens a block with ('---' or '+++'), or
  // '' when it opens none.
  function openingFence(line) {
    var fence = bare(line);
    return fence === '---' || fence === '+++' ? fence : '';
  }

  // Whether line closes the block that fence opened.
  function closes(fence, line) {
    var text = bare(line);
    return fence === '+++' ? text === '+++' : text === '---' || text === '...';
  }

  // The styles of one line inside the block, as [length, style] pieces
  // covering the line: a comment, or an optional "- ", a key, ":" or "=",
  // and its value (with a trailing comment of its own).
  function frontMatterLine(line) {
    var pieces = [];
    var comment = /^\s*#/.exec(line);
    if (comment) return [[line.length, 'fm fm-comment']];
    var key = /^(\s*(?:-\s+)?)((?:"[^"]*"|'[^']*'|[^\s:=#"'][^:=#]*?))(\s*[:=])/.exec(line);
    var at = 0;
    if (key) {
      if (key[1]) pieces.push([key[1].length, 'fm']);
      pieces.push([key[2].length, 'fm fm-key']);
      pieces.push([key[3].length, 'fm']);
      at = key[0].length;
    }
    var rest = line.slice(at);
    var hash = rest.search(/(^|\s)#/);
    if (hash > 0 || (hash === 0 && rest.charAt(0) === '#')) {
      if (hash > 0) pieces.push([hash, 'fm fm-value']);
      pieces.push([rest.length - hash, 'fm fm-comment']);
    } else if (rest.length) {
      pieces.push([rest.length, 'fm fm-value']);
    }
    return pieces;
  }
  global.tarnFrontMatterLine = frontMatterLine;

  // The block at the start of a post's lines: { fence, end (the closing
  // line) }, or null when the post opens with none.
  function frontMatterBlock(lines) {
    var fence = openingFence(lines[0] || '');
    for (var i = 1; fence && i < lines.length; i++) {
      if (closes(fence, lines[i])) return { fence: fence, end: i };
    }
    return null;
  }
  global.tarnFrontMatterBlock = frontMatterBlock;

  // The values of a front matter block's top-level keys as the form shows
  // them: a text for a scalar (quotes and comments off), an array of texts
  // for a list (block or flow). lines are the block's lines, fences left out.
  function frontMatterValues(lines) {
    var values = {};
    var list = null;
    function plain(text) {
      var value = text.replace(/^\s+|\s+$/g, '');
      var quoted = /^"((?:\\.|[^"\\])*)"|^'((?:''|[^'])*)'/.exec(value);
      if (quoted) {
        return quoted[1] !== undefined ? JSON.parse('"' + quoted[1] + '"') : quoted[2].replace(/''/g, "'");
      }
      return value.replace(/\s+#.*$/, '');
    }
    for (var i = 0; i < lines.length; i++) {
      var item = /^\s*-\s+(.*)$/.exec(lines[i]);
      if (item && list) {
        list.push(plain(item[1]));
        continue;
      }
      var pair = /^([A-Za-z_][\w-]*)\s*[:=]\s*(.*)$/.exec(lines[i]);
      list = null;
      if (!pair) continue;
      var value = pair[2].replace(/\s+#.*$/, '');
      if (/^[|>][+-]?\d*$/.test(value)) {   // a block of text on the lines below
        var block = [];
        while (i + 1 < lines.length && /^(\s+|$)/.test(lines[i + 1])) block.push(lines[++i].trim());
        values[pair[1]] = block.join(value.charAt(0) === '>' ? ' ' : '\n').trim();
      } else if (value === '') {
        list = values[pair[1]] = [];
      } else if (/^\[.*\]$/.test(value)) {
        var items = value.slice(1, -1).match(/"(?:\\.|[^"\\])*"|'(?:''|[^'])*'|[^,\s][^,]*/g) || [];
        values[pair[1]] = items.map(plain);
      } else {
        values[pair[1]] = plain(pair[2]);
      }
    }
    return values;
  }
  global.tarnFrontMatterValues = frontMatterValues;

  var editor = global.tarnEditor;
  if (!editor || !global.document) return;
  var cm = editor.codemirror;
  var CodeMirror = cm.constructor;

  // Before the block (line 0), in it, after it (the Markdown mode's).
  var kStart = 0;
  var kInside = 1;
  var kBody = 2;

  CodeMirror.defineMode('tarn-front-matter', function (config, options) {
    var base = CodeMirror.getMode(config, options.base);
    function body(state) {
      state.phase = kBody;
    }
    return {
      startState: function () {
        return { phase: kStart, fence: '', pieces: null, inner: CodeMirror.startState(base) };
      },
      copyState: function (state) {
        return {
          phase: state.phase,
          fence: state.fence,
          pieces: state.pieces && state.pieces.slice(),
          inner: CodeMirror.copyState(base, state.inner)
        };
      },
      token: function (stream, state) {
        if (state.phase === kStart) {
          state.fence = openingFence(stream.string);
          if (!state.fence) {
            body(state);
          } else {
            state.phase = kInside;
            stream.skipToEnd();
            return 'fm fm-fence';
          }
        }
        if (state.phase === kBody) return base.token(stream, state.inner);
        if (stream.sol()) {
          if (closes(state.fence, stream.string)) {
            body(state);
            stream.skipToEnd();
            return 'fm fm-fence';
          }
          state.pieces = frontMatterLine(stream.string);
        }
        var piece = state.pieces.shift();
        if (!piece) {
          stream.skipToEnd();
          return 'fm';
        }
        var from = stream.pos;
        for (var i = 0; i < piece[0] && !stream.eol(); i++) stream.next();
        if (stream.pos === from) stream.skipToEnd();   // a mode must move on
        return piece[1];
      },
      blankLine: function (state) {
        if (state.phase === kStart) body(state);
        else if (state.phase === kBody && base.blankLine) return base.blankLine(state.inner);
      },
      innerMode: function (state) {
        return state.phase === kBody ? { mode: base, state: state.inner } : { mode: this, state: state };
      },
      indent: function (state, text, line) {
        if (state.phase === kBody && base.indent) return base.indent(state.inner, text, line);
        return CodeMirror.Pass;
      }
    };
  });
  cm.setOption('mode', { name: 'tarn-front-matter', base: cm.getOption('mode') });

  // The block's closing line, or -1 when the text opens with none.
  function closingLine() {
    var block = frontMatterBlock(cm.getValue().split('\n'));
    return block ? block.end : -1;
  }

  var fold = null;     // the mark that folds the block
  var control = null;  // the bookmark of the fold control
  var text = global.tarnEditorParts.text;

  function folded(end) {
    var span = document.createElement('span');
    span.className = 'fm-folded';
    span.textContent = cm.getLine(0) + ' ' +
        text('frontMatterFolded', '…… ' + (end - 1) + ' 行 ……', String(end - 1)) + ' ' + cm.getLine(end);
    span.title = text('frontMatterUnfold', '展开文章信息');
    span.addEventListener('mousedown', function (event) {
      event.preventDefault();
      if (fold) fold.clear();
    });
    return span;
  }

  function toggle() {
    if (fold) {
      fold.clear();
      return;
    }
    var end = closingLine();
    if (end < 0) return;
    fold = cm.markText({ line: 0, ch: 0 }, { line: end, ch: cm.getLine(end).length },
                       { replacedWith: folded(end), clearOnEnter: true, inclusiveLeft: false,
                         inclusiveRight: false });
    fold.on('clear', function () {
      fold = null;
      place();
    });
    place();
  }
  global.tarnFoldFrontMatter = toggle;

  // The control sits at the end of the first line while the text has a
  // block and it is open.
  function place() {
    if (control) control.clear();
    control = null;
    if (fold || closingLine() < 0) return;
    var button = document.createElement('button');
    button.type = 'button';
    button.className = 'fm-fold';
    button.title = text('frontMatterFold', '折叠文章信息');
    button.textContent = '▾';
    button.addEventListener('mousedown', function (event) {
      event.preventDefault();
      toggle();
    });
    control = cm.setBookmark({ line: 0, ch: cm.getLine(0).length }, { widget: button });
  }
  var placing = 0;
  cm.on('changes', function () {
    clearTimeout(placing);
    placing = setTimeout(place, 200);
  });
  place();
})(this);

// Maths in Markdown for Tarn Blog Editor's pages: a markdown-it plug-in.
//
// Recognises TeX before any other inline rule sees it, so "_", "*" and "\\"
// inside a formula reach the reader untouched:
//   inline:  $...$, $$...$$ inside a line of text, \(...\)
//   display: a block that opens with $$ or \[ at the start of a line and
//            closes with $$ or \] at the end of a line, and ```math fences.
// The money rule keeps prices prose: a "$" followed by white space opens no
// formula, and a "$" preceded by white space or followed by a digit closes
// none ("$200 per month, about $20-$30" has no maths). As in TeX, a "$...$"
// formula ends at the next unescaped "$" or is not a formula.
//
// Every formula goes through one function, tarnMath.renderMath(tex, display,
// env), which writes the TeX (escaped for HTML) between the delimiters the
// theme's client-side typesetting reads: $...$ inline, $$...$$ display. A
// typesetter that runs at conversion time takes its place by assigning
// tarnMath.renderMath; it returns the HTML of the formula without its
// surrounding element (env is markdown-it's render environment). A dollar
// sign that is not maths is written as <span>$</span> when its paragraph has
// another one, so that the typesetting, which pairs dollars within one run of
// text, never pairs them; a lone one stays a plain "$". When the environment
// says the maths is typeset already (env.mathsTypeset), no typesetting runs
// in the browser and every such dollar is a plain "$".
// Keep this file free of DOM access (it also runs in a headless engine).
(function (global) {
  'use strict';

  var DOLLAR = 0x24;
  var BACKSLASH = 0x5c;

  // markdown-it's own escaping, taken when the plug-in is added.
  var escapeHtml;

  // The HTML of one formula, display or inline, without its surrounding
  // element: the TeX for the reader's browser to typeset.
  function renderMath(tex, display) {
    var delimiter = display ? '$$' : '$';
    return delimiter + escapeHtml(tex) + delimiter;
  }

  function isSpace(code) {
    return code === 0x20 || code === 0x09 || code === 0x0a || code === 0x0d;
  }

  function isDigit(code) {
    return code >= 0x30 && code <= 0x39;
  }

  // Where the closing delimiter of a formula opened before `from` starts,
  // or -1. Backslash pairs (\$, \\) inside the formula are skipped whole.
  function findClose(src, from, max, close, singleDollar) {
    for (var pos = from; pos < max; pos++) {
      var code = src.charCodeAt(pos);
      if (code === BACKSLASH && src.slice(pos, pos + close.length) !== close) {
        pos++;
        continue;
      }
      if (src.slice(pos, pos + close.length) !== close) continue;
      if (!singleDollar) return pos;
      // As in TeX, the first dollar ends the formula; when it cannot close
      // one, the opening dollar was prose.
      if (isSpace(src.charCodeAt(pos - 1)) || isDigit(src.charCodeAt(pos + 1))) return -1;
      return pos;
    }
    return -1;
  }

  // Inline rule, ahead of markdown-it's escapes and emphasis.
  function mathInline(state, silent) {
    var src = state.src;
    var start = state.pos;
    var open;
    var close;
    if (src.charCodeAt(start) === DOLLAR) {
      open = src.charCodeAt(start + 1) === DOLLAR ? '$$' : '$';
      close = open;
    } else if (src.charCodeAt(start) === BACKSLASH && src.charCodeAt(start + 1) === 0x28) {
      open = '\\(';
      close = '\\)';
    } else if (src.charCodeAt(start) === BACKSLASH && src.charCodeAt(start + 1) === 0x5b) {
      open = '\\[';
      close = '\\]';
    } else {
      return false;
    }
    var single = open === '$';
    var from = start + open.length;
    var end = -1;
    if (!(single && (from >= state.posMax || isSpace(src.charCodeAt(from))))) {
      end = findClose(src, from, state.posMax, close, single);
    }
    if (end <= from || src.slice(from, end).trim() === '') {
      if (open[0] === '\\') return false;
      // A dollar that opens nothing is text, kept away from the typesetting.
      if (!silent) state.push('math_dollar', '', 0).content = '$';
      state.pos += 1;
      return true;
    }
    if (!silent) {
      var token = state.push('math_inline', 'math', 0);
      token.markup = open;
      token.info = open === '\\[' ? 'display' : '';
      token.content = src.slice(from, end);
    }
    state.pos = end + close.length;
    return true;
  }

  // Escaped dollars (\$) are text too, and must not pair up either.
  function escapedDollar(state, silent) {
    var src = state.src;
    if (src.charCodeAt(state.pos) !== BACKSLASH) return false;
    if (src.charCodeAt(state.pos + 1) !== DOLLAR) return false;
    if (!silent) state.push('math_dollar', '', 0).content = '$';
    state.pos += 2;
    return true;
  }

  // Block rule: $$ or \[ at the start of a line (up to three spaces in),
  // through the line that ends with the matching $$ or \], within one run
  // of non-blank lines. Anything else is left to the paragraph.
  function mathBlock(state, startLine, endLine, silent) {
    var pos = state.bMarks[startLine] + state.tShift[startLine];
    var max = state.eMarks[startLine];
    if (state.sCount[startLine] - state.blkIndent >= 4) return false;
    var head = state.src.slice(pos, pos + 2);
    var close = head === '$$' ? '$$' : head === '\\[' ? '\\]' : null;
    if (!close) return false;
    var first = state.src.slice(pos + 2, max).replace(/\s+$/, '');
    var lines = [];
    var line = startLine;
    var text = first;
    for (;;) {
      // The first closing delimiter ends the block, and must end its line
      // ("$$a$$ and $$b$$" is a paragraph with two inline formulas).
      var at = text.indexOf(close);
      if (at >= 0 && at !== text.length - close.length) return false;
      if (at >= 0) {
        lines.push(text.slice(0, at));
        break;
      }
      lines.push(text);
      line++;
      if (line >= endLine) return false;
      if (state.sCount[line] < state.blkIndent || state.isEmpty(line)) return false;
      text = state.src.slice(state.bMarks[line] + state.tShift[line], state.eMarks[line])
        .replace(/\s+$/, '');
    }
    var tex = lines.join('\n');
    if (tex.trim() === '') return false;
    if (silent) return true;
    var token = state.push('math_block', 'math', 0);
    token.block = true;
    token.markup = head;
    token.content = tex;
    token.map = [startLine, line + 1];
    state.line = line + 1;
    return true;
  }

  function mathBlockHtml(tex, env) {
    return '<div class="math display">' + plugin.renderMath(tex, true, env) + '</div>\n';
  }

  // A paragraph's only dollar that is not maths has nothing to pair with:
  // it goes back into the text around it, as Markdown without maths has it
  // (an address holding a "$" stays one link).
  function loneDollars(state) {
    state.tokens.forEach(function (block) {
      if (block.type !== 'inline') return;
      var children = block.children;
      var dollars = children.filter(function (token) { return token.type === 'math_dollar'; });
      if (dollars.length !== 1) return;
      var at = children.indexOf(dollars[0]);
      dollars[0].type = 'text';
      if (at + 1 < children.length && children[at + 1].type === 'text') {
        dollars[0].content += children.splice(at + 1, 1)[0].content;
      }
      if (at > 0 && children[at - 1].type === 'text') {
        children[at - 1].content += children.splice(at, 1)[0].content;
      }
    });
  }

  function plugin(md) {
    escapeHtml = md.utils.escapeHtml;
    md.core.ruler.after('inline', 'math_lone_dollar', loneDollars);
    md.inline.ruler.before('escape', 'math_inline', mathInline);
    md.inline.ruler.before('escape', 'math_escaped_dollar', escapedDollar);
    md.block.ruler.before('fence', 'math_block', mathBlock, {
      alt: ['paragraph', 'reference', 'blockquote', 'list']
    });
    md.renderer.rules.math_inline = function (tokens, idx, options, env) {
      var display = tokens[idx].info === 'display';
      return '<span class="math ' + (display ? 'display' : 'inline') + '">' +
        plugin.renderMath(tokens[idx].content, display, env) + '</span>';
    };
    md.renderer.rules.math_block = function (tokens, idx, options, env) {
      return mathBlockHtml(tokens[idx].content, env);
    };
    md.renderer.rules.math_dollar = function (tokens, idx, options, env) {
      return env && env.mathsTypeset ? '$' : '<span>$</span>';
    };
    var fence = md.renderer.rules.fence;
    md.renderer.rules.fence = function (tokens, idx, options, env, self) {
      if (tokens[idx].info.trim() === 'math') {
        return mathBlockHtml(tokens[idx].content.replace(/\n$/, ''), env);
      }
      return fence(tokens, idx, options, env, self);
    };
  }

  plugin.renderMath = renderMath;
  global.tarnMath = plugin;
})(typeof globalThis !== 'undefined' ? globalThis : this);

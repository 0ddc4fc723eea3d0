// Markdown to HTML for Tarn Blog Editor's pages.
//
// The site build calls markToHtml(markdown) in the manager page (in the
// window, or in a headless script engine that has no DOM), and the editor's
// live preview calls the same function, so a post looks the same in the
// preview and on the published site. Keep this file free of DOM access.
//
// Needs vendor/markdown-it.min.js (it defines markdownit), its plug-ins in
// vendor/ and tarn-math.js loaded before it. Each extension only changes a
// post that uses its syntax; a post without any converts as plain
// markdown-it converts it.
//
// Code and maths may be rendered here, at conversion time, when the caller
// asks (a theme's "render" setting): fenced code in a language highlight.js
// knows is highlighted, and formulas are typeset by KaTeX into HTML and
// MathML, so the reader's browser runs no script for them. The two
// libraries come from vendor/on-demand/, which defines them as functions
// (tarnOnDemand.hljs, tarnOnDemand.katex) run on first use, so a page whose
// posts need neither never runs them. Without the request, or without the
// library on the page, the HTML is what the browser-side highlighting and
// typesetting expect.
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

  // Extensions bloggers bring from other generators: maths first (so TeX is
  // a token before emphasis sees "_" or "*"), then footnotes ([^1]), task
  // lists (- [x]), definition lists, ==mark==, H~2~O, x^2^, abbreviations
  // (*[HTML]: ...), GitHub-style alerts (> [!NOTE]) and heading attributes
  // (## Title {#id .class}).
  // markdownExtensions(md) adds them all to a markdown-it instance (tests
  // build their reference converter with it).
  global.markdownExtensions = function markdownExtensions(target) {
    return target.use(highlighting)
      .use(global.tarnMath)
      .use(global.markdownitFootnote)
      .use(global.markdownitTaskLists)
      .use(global.markdownitDeflist)
      .use(global.markdownitMark)
      .use(global.markdownitSub)
      .use(global.markdownitSup)
      .use(global.markdownitAbbr)
      .use(alerts)
      .use(headingAttributes);
  };
  global.markdownExtensions(md);

  // The library NAME (hljs, katex): loaded on first use from tarnOnDemand,
  // or as the page defined it; undefined when the page has neither.
  function library(name) {
    var onDemand = global.tarnOnDemand && global.tarnOnDemand[name];
    if (!global[name] && onDemand) global[name] = onDemand();
    return global[name];
  }

  // Fenced code in a language highlight.js knows, highlighted when the
  // render environment asks (env.codeHighlighted), in the classes its
  // stylesheets colour ("hljs language-NAME"). No language, "nohighlight",
  // plain text and languages it does not know stay as markdown-it writes
  // them: escaped, unhighlighted.
  function highlighting(md) {
    var fence = md.renderer.rules.fence;
    md.renderer.rules.fence = function (tokens, idx, options, env, self) {
      var token = tokens[idx];
      var lang = md.utils.unescapeAll(token.info).trim().split(/\s+/)[0];
      var hljs = env && env.codeHighlighted && lang && library('hljs');
      var known = hljs && hljs.getLanguage(lang);
      if (!known || known.name === 'Plain text') return fence(tokens, idx, options, env, self);
      var highlighted = hljs.highlight(token.content, { language: lang, ignoreIllegals: true });
      token.attrJoin('class', 'hljs');
      var withHighlight = Object.assign({}, options, {
        highlight: function () { return highlighted.value; }
      });
      return fence(tokens, idx, withHighlight, env, self);
    };
  }

  // A formula typeset by KaTeX into HTML and MathML when the render
  // environment asks (env.mathsTypeset); otherwise tarn-math.js's TeX for
  // the browser. A formula KaTeX cannot read is shown as its source in a
  // <span class="katex-error" title="the reason">, which the build reports
  // with the post's name.
  var texForBrowser = global.tarnMath.renderMath;
  global.tarnMath.renderMath = function (tex, display, env) {
    var katex = env && env.mathsTypeset && library('katex');
    if (!katex) return texForBrowser(tex, display, env);
    return katex.renderToString(tex, {
      displayMode: display,
      output: 'htmlAndMathml',
      throwOnError: false,
      // Chinese text and other non-TeX input are readers' maths, not mistakes.
      strict: 'ignore'
    });
  };

  // > [!NOTE] (or TIP, IMPORTANT, WARNING, CAUTION) as the first line of a
  // block quote makes it an alert: a <div class="markdown-alert
  // markdown-alert-note"> with a title paragraph, as GitHub shows it.
  var alertKinds = {
    NOTE: 'Note', TIP: 'Tip', IMPORTANT: 'Important', WARNING: 'Warning', CAUTION: 'Caution'
  };

  function alerts(md) {
    md.core.ruler.after('block', 'alerts', function (state) {
      var tokens = state.tokens;
      for (var i = 0; i + 2 < tokens.length; i++) {
        if (tokens[i].type !== 'blockquote_open') continue;
        if (tokens[i + 1].type !== 'paragraph_open') continue;
        var inline = tokens[i + 2];
        var marker = /^\[!([A-Za-z]+)\][ \t]*(?:\n|$)/.exec(inline.content);
        if (!marker || !alertKinds[marker[1].toUpperCase()]) continue;
        var kind = marker[1].toUpperCase();
        inline.content = inline.content.slice(marker[0].length);
        var close = i + 1;
        var level = tokens[i].level;
        while (tokens[close].type !== 'blockquote_close' || tokens[close].level !== level) close++;
        tokens[i].tag = tokens[close].tag = 'div';
        tokens[i].attrJoin('class', 'markdown-alert markdown-alert-' + kind.toLowerCase());
        var title = new state.Token('html_block', '', 0);
        title.content = '<p class="markdown-alert-title">' + alertKinds[kind] + '</p>\n';
        // The marker alone on its paragraph leaves no paragraph behind.
        var removed = inline.content === '' ? 3 : 0;
        tokens.splice(i + 1, removed, title);
      }
    });
  }

  // "## Title {#id .class}" gives the heading that id and those classes; a
  // brace group holding anything else stays text.
  function headingAttributes(md) {
    var pattern = /[ \t]*\{((?:[ \t]*[#.][^\s{}#.]+)+)[ \t]*\}$/;
    md.core.ruler.after('inline', 'heading_attributes', function (state) {
      var tokens = state.tokens;
      for (var i = 0; i + 1 < tokens.length; i++) {
        if (tokens[i].type !== 'heading_open') continue;
        var children = tokens[i + 1].children;
        var last = children && children[children.length - 1];
        var found = last && last.type === 'text' && pattern.exec(last.content);
        if (!found) continue;
        last.content = last.content.slice(0, found.index);
        found[1].trim().split(/[ \t]+/).forEach(function (name) {
          if (name[0] === '#') tokens[i].attrSet('id', name.slice(1));
          else tokens[i].attrJoin('class', name.slice(1));
        });
      }
    });
  }

  // markdown-it's linkify step first asks linkify-it whether a whole
  // paragraph holds a link, and only then looks at the paragraph's text
  // pieces one by one. The whole paragraph includes the addresses of its
  // ordinary [text](address) links, and linkify-it's address pattern is too
  // large for JavaScriptCore's regular-expression compiler: each question
  // runs in the slow interpreter (about 90 microseconds), once for every
  // paragraph with a link in it. The paragraph question only decides
  // anything when one of the pieces the step looks at holds a link, so ask
  // about those pieces first, the same pieces in the same order, and hand
  // only such paragraphs to markdown-it's own step. The HTML is the same.
  var linkifyRules = md.core.ruler.__rules__;
  for (var r = 0; r < linkifyRules.length; r++) {
    if (linkifyRules[r].name === 'linkify') {
      md.core.ruler.at('linkify', askPiecesFirst(linkifyRules[r].fn));
      break;
    }
  }

  function askPiecesFirst(linkifyStep) {
    return function (state) {
      if (!state.md.options.linkify) return;
      var candidates = [];
      for (var j = 0; j < state.tokens.length; j++) {
        var block = state.tokens[j];
        if (block.type === 'inline' && piecesHoldLink(state.md.linkify, block.children)) {
          candidates.push(block);
        }
      }
      if (candidates.length === 0) return;
      var narrowed = Object.create(state);
      narrowed.tokens = candidates;
      linkifyStep(narrowed);
    };
  }

  // Walks the pieces exactly as markdown-it's linkify step does: from the
  // end, skipping links and text inside raw <a> ... </a>.
  function piecesHoldLink(linkify, tokens) {
    var htmlLinkLevel = 0;
    for (var i = tokens.length - 1; i >= 0; i--) {
      var token = tokens[i];
      if (token.type === 'link_close') {
        i--;
        while (tokens[i].level !== token.level && tokens[i].type !== 'link_open') i--;
        continue;
      }
      if (token.type === 'html_inline') {
        if (/^<a[>\s]/i.test(token.content) && htmlLinkLevel > 0) htmlLinkLevel--;
        if (/^<\/a\s*>/i.test(token.content)) htmlLinkLevel++;
      }
      if (htmlLinkLevel > 0) continue;
      if (token.type === 'text' && mayHoldLink(linkify, token.content) &&
          linkify.test(token.content)) {
        return true;
      }
    }
    return false;
  }

  // linkify-it finds an address by its scheme ("http:", "mailto:", "//"
  // and the like) and an e-mail address by its "@"; only the optional fuzzy
  // links ("example.com" alone) need neither. Most pieces of prose hold no
  // ":", "/" or "@", and this check spares them a search with linkify-it's
  // large scheme pattern, the most expensive step left for such text.
  function mayHoldLink(linkify, text) {
    if (linkify.__opts__.fuzzyLink) return true;
    var schemes = Object.keys(linkify.__schemas__);
    for (var i = 0; i < schemes.length; i++) {
      if (schemes[i].indexOf(':') < 0 && schemes[i].indexOf('//') < 0) return true;
    }
    return text.indexOf(':') >= 0 || text.indexOf('/') >= 0 || text.indexOf('@') >= 0;
  }

  // What the build asks to be rendered at conversion time. A program that
  // can pass only the text (a conversion worker) puts the request on a first
  // line of its own: RENDER_MARK, then the names ("code", "maths") separated
  // by spaces, then a line feed. U+0001 is a control character no editor
  // writes into a post, so a post's own text never starts that way.
  var RENDER_MARK = '\u0001tarn-render:';

  function renderEnvironment(options) {
    return {
      codeHighlighted: !!(options && options.code === 'build'),
      mathsTypeset: !!(options && options.maths === 'build')
    };
  }

  // Says that markToHtml reads a render request line, and what it renders.
  global.markToHtmlRenders = function markToHtmlRenders() {
    return 'code maths';
  };

  // Called by the program with the whole post text (header block
  // included), and by the editor's preview with options as a theme's
  // "render" setting has them ({code: "build", maths: "build"}); returns the
  // HTML. Anything that is not text (undefined from a failed read) converts
  // as the empty post rather than "undefined".
  global.markToHtml = function markToHtml(markdown, options) {
    if (markdown === undefined || markdown === null) return '';
    var text = String(markdown);
    if (text.lastIndexOf(RENDER_MARK, 0) === 0) {
      var end = text.indexOf('\n');
      var names = text.slice(RENDER_MARK.length, end < 0 ? text.length : end).split(' ');
      options = {
        code: names.indexOf('code') >= 0 ? 'build' : '',
        maths: names.indexOf('maths') >= 0 ? 'build' : ''
      };
      text = end < 0 ? '' : text.slice(end + 1);
    }
    return md.render(text, renderEnvironment(options));
  };
})(typeof globalThis !== 'undefined' ? globalThis : this);

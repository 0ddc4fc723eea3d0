// The bundled pages and demo theme: the manager page's scripts run without a
// DOM (as the command line's script host runs them), TplRender and
// markToHtml give the expected HTML, the lake theme uses only the template
// constructs the program knows and its pages link to files that exist, and
// nothing is loaded from the network. Run: node --test tests/pages_test.mjs
// (TARN_BUILD_DIR names the build folder that holds template/vendor).
import { describe, it, before } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import vm from 'node:vm';
import os from 'node:os';
import path from 'node:path';
import { execFileSync } from 'node:child_process';
import * as lib from './pages_lib.mjs';

const managerPage = path.join(lib.templateDir, 'index copy.html');
const editorPage = path.join(lib.templateDir, 'editor.html');
const themeDir = path.join(lib.workspaceDir, 'themes', 'lake');
const read = (p) => fs.readFileSync(p, 'utf8');

const base = JSON.parse(read(path.join(lib.workspaceDir, 'config', 'base.json')));
const themeConf = JSON.parse(read(path.join(themeDir, '_conf.json')));
const postFiles = fs.readdirSync(path.join(lib.workspaceDir, '_posts')).filter((f) => f.endsWith('.md')).sort();
const samplePosts = postFiles.map((file, i) => ({
  file,
  content: read(path.join(lib.workspaceDir, '_posts', file)),
  // Two months, so the archive has more than one section.
  post_time: i % 2 ? `2020-02-0${i + 1} 14:03:09` : `2019-12-1${i} 08:00:00`,
  update_time: `2020-03-0${i + 1} 09:30:00`,
}));

let page;  // the manager page's global object, loaded without a DOM
before(() => {
  assert.ok(fs.existsSync(lib.vendorDir),
    `${lib.vendorDir} is missing: build the workspace target (it copies web/node_modules)`);
  page = lib.loadHeadless(managerPage);
});

describe('markToHtml', () => {
  it('is defined by the manager page without touching a DOM', () => {
    assert.equal(typeof page.markToHtml, 'function');
    assert.equal(typeof page.TplRender, 'function');
    assert.equal(typeof page.document, 'undefined');
  });

  it('converts CommonMark with tables and strikethrough', () => {
    const html = page.markToHtml([
      '## 标题 Title', '',
      '| 名称 | Value |', '| --- | ---: |', '| 苹果 | 3 |', '',
      'Some ~~old~~ text, *em* and **strong**.', '',
      '```cpp', 'if (a < b && c) {}', '```',
    ].join('\n'));
    assert.match(html, /<h2>标题 Title<\/h2>/);
    assert.match(html, /<table>[\s\S]*<th>名称<\/th>[\s\S]*<td style="text-align:right">3<\/td>/);
    assert.match(html, /<s>old<\/s>/);
    assert.match(html, /<em>em<\/em> and <strong>strong<\/strong>/);
    assert.match(html, /<pre><code class="language-cpp">if \(a &lt; b &amp;&amp; c\) \{\}\n<\/code><\/pre>/);
  });

  it('converts each Markdown extension a post may use', () => {
    const cases = [
      ['Text[^1].\n\n[^1]: The note.', /<sup class="footnote-ref"><a href="#fn1" id="fnref1">\[1\]<\/a><\/sup>[\s\S]*<li id="fn1" class="footnote-item"><p>The note\./],
      ['- [x] done\n- [ ] todo', /<li class="task-list-item"><input class="task-list-item-checkbox" checked="" disabled="" type="checkbox"> done<\/li>/],
      ['Term\n: Definition', /<dl>\n<dt>Term<\/dt>\n<dd>Definition<\/dd>\n<\/dl>/],
      ['==marked== H~2~O x^2^', /<p><mark>marked<\/mark> H<sub>2<\/sub>O x<sup>2<\/sup><\/p>/],
      ['The HTML page.\n\n*[HTML]: Hyper Text', /<abbr title="Hyper Text">HTML<\/abbr> page/],
      ['> [!WARNING]\n> Mind the gap.', /^<div class="markdown-alert markdown-alert-warning">\n<p class="markdown-alert-title">Warning<\/p>\n<p>Mind the gap\.<\/p>\n<\/div>\n$/],
      ['> [!tip]\n> - a list', /^<div class="markdown-alert markdown-alert-tip">\n<p class="markdown-alert-title">Tip<\/p>\n<ul>/],
      ['> [!TIP] on the title line', /^<blockquote>\n<p>\[!TIP\] on the title line/],
      ['> [!OTHER]\n> stays a quote', /^<blockquote>\n<p>\[!OTHER\]\nstays a quote/],
      ['## Title {#intro .wide .dark}', /^<h2 id="intro" class="wide dark">Title<\/h2>\n$/],
      ['## Set {x}', /^<h2>Set \{x\}<\/h2>\n$/],
    ];
    for (const [markdown, expected] of cases) assert.match(page.markToHtml(markdown), expected, markdown);
  });

  it('keeps TeX whole for the typesetting and prices as prose', () => {
    const inline = (tex) => `<span class="math inline">$${tex}$</span>`;
    const display = (tex) => `<div class="math display">$$${tex}$$</div>\n`;
    const dollar = '<span>$</span>';
    const cases = [
      ['$a_1 * b_2 * c$', `<p>${inline('a_1 * b_2 * c')}</p>\n`],
      ['kramdown $$x_i$$ inline', `<p>kramdown ${inline('x_i')} inline</p>\n`],
      ['\\(a \\\\ b\\) and \\[c\\]', `<p>${inline('a \\\\ b')} and <span class="math display">$$c$$</span></p>\n`],
      ['$$\n\\begin{align}\na_1 &= b \\\\\nc &< d \\| e\n\\end{align}\n$$', display('\n\\begin{align}\na_1 &amp;= b \\\\\nc &amp;&lt; d \\| e\n\\end{align}\n')],
      ['\\[\nx^*_1\n\\]', display('\nx^*_1\n')],
      ['$$x$$', display('x')],
      ['$$a$$ and $$b$$', `<p>${inline('a')} and ${inline('b')}</p>\n`],
      ['\\[x\\] is\nset', `<p><span class="math display">$$x$$</span> is\nset</p>\n`],
      ['```math\n\\frac{1}{2}\n```', display('\\frac{1}{2}')],
      ['Where\n$$\ny\n$$', `<p>Where</p>\n${display('\ny\n')}`],
      ['$200 per month. We get about $20-$30', `<p>${dollar}200 per month. We get about ${dollar}20-${dollar}30</p>\n`],
      ['$ 5 and 6 $', `<p>${dollar} 5 and 6 ${dollar}</p>\n`],
      ['$5 or $6 for $x_1 * y$', `<p>${dollar}5 or ${dollar}6 for ${inline('x_1 * y')}</p>\n`],
      ['Cost \\$5, $\\$x$', `<p>Cost $5, ${inline('\\$x')}</p>\n`],
      ['See https://x.example/a$b', '<p>See <a href="https://x.example/a$b">https://x.example/a$b</a></p>\n'],
      ['Costs $5\\\nor \\$6', `<p>Costs ${dollar}5<br>\nor ${dollar}6</p>\n`],
      ['- item $a_b$\n\n  $$\n  c_d\n  $$', `<ul>\n<li>\n<p>item ${inline('a_b')}</p>\n${display('\nc_d\n')}</li>\n</ul>\n`],
      ['| a | b |\n| - | - |\n| $x_1$ | $y*z$ |', /<td><span class="math inline">\$x_1\$<\/span><\/td>\n<td><span class="math inline">\$y\*z\$<\/span><\/td>/],
      ['`$x_1$` stays code', '<p><code>$x_1$</code> stays code</p>\n'],
    ];
    for (const [markdown, expected] of cases) {
      const html = page.markToHtml(markdown);
      if (expected instanceof RegExp) assert.match(html, expected, markdown);
      else assert.equal(html, expected, markdown);
    }
  });

  it('sends every formula through tarnMath.renderMath', () => {
    const own = page.tarnMath.renderMath;
    const seen = [];
    page.tarnMath.renderMath = (tex, display) => { seen.push([tex, display]); return '<b>TeX</b>'; };
    try {
      const html = page.markToHtml('$a$ \\(b\\) \\[c\\] $$d$$\n\n$$\ne\n$$\n\n```math\nf\n```\n');
      assert.equal(html, '<p><span class="math inline"><b>TeX</b></span> <span class="math inline"><b>TeX</b></span> ' +
        '<span class="math display"><b>TeX</b></span> <span class="math inline"><b>TeX</b></span></p>\n' +
        '<div class="math display"><b>TeX</b></div>\n<div class="math display"><b>TeX</b></div>\n');
      assert.deepEqual(seen, [['a', false], ['b', false], ['c', true], ['d', false], ['\ne\n', true], ['f', true]]);
    } finally {
      page.tarnMath.renderMath = own;
    }
  });

  it('keeps raw HTML and Chinese text, links bare addresses', () => {
    const html = page.markToHtml('按 <kbd>Ctrl</kbd>+<kbd>S</kbd> 保存。见 https://example.com');
    assert.equal(html,
      '<p>按 <kbd>Ctrl</kbd>+<kbd>S</kbd> 保存。见 <a href="https://example.com">https://example.com</a></p>\n');
  });

  it('converts a post with a CR LF header block as text', () => {
    const hello = samplePosts.find((p) => p.file === 'Hello Tarn.md');
    const html = page.markToHtml('----------\r\nwelcome|tarn|english\r\n\r\n----------\r\n\r\n' +
      hello.content.slice(hello.content.indexOf('\r\n---\r\n') + 7));
    assert.ok(!html.includes('\r'));
    assert.match(html, /^<hr>\n<p>welcome\|tarn\|english<\/p>\n<hr>\n/);
    assert.match(html, /<img src="\.\.\/assets\/img\/lake\.svg"/);
  });

  it('has demo posts that open with front matter', () => {
    for (const p of samplePosts) {
      assert.match(p.content, /^---\r?\ntitle: .+\r?\ndate: \d{4}-\d\d-\d\d \d\d:\d\d:\d\d \+0800\r?\n/, p.file);
      assert.match(p.content, /\r?\ntags: \[.+\]\r?\ndescription: ".+"\r?\n---\r?\n/, p.file);
    }
  });

  it('treats a missing argument as an empty post', () => {
    assert.equal(page.markToHtml(undefined), '');
    assert.equal(page.markToHtml(null), '');
    assert.equal(page.markToHtml(42), '<p>42</p>\n');
  });

  it('is the same converter in the editor preview', () => {
    const scriptsOf = (p) => lib.pageScripts(read(p)).filter((s) => s.src).map((s) => s.src);
    for (const p of [managerPage, editorPage]) {
      const srcs = scriptsOf(p);
      const mdAt = srcs.indexOf('vendor/markdown-it.min.js');
      assert.ok(mdAt >= 0 && srcs.indexOf('tarn-markdown.js') > mdAt, `${path.basename(p)}: ${srcs}`);
    }
    assert.match(read(editorPage), /previewRender: preview,/);
    assert.match(read(editorPage), /var rendered = { code: .build., maths: .build. };/);
    assert.match(read(editorPage), /return window\.markToHtml\(text, rendered\);/);
  });

  it('links exactly what plain markdown-it links, on random text full of addresses', () => {
    // The page narrows markdown-it's linkify step for speed; the HTML must
    // not change. Plain markdown-it with the page's options is the oracle.
    const options = { html: true, linkify: true, typographer: false, breaks: false };
    const plain = page.markdownExtensions(page.markdownit(options));
    const pieces = [
      'https://example.com/a_(b)?q=1#x', 'http://例子.测试/路径', 'ftp://ftp.example.org/f.txt',
      '//example.net/p', 'www.example.com', 'example.com', 'mail me@example.com', 'mailto:a@b.cn',
      '[t](https://example.com/l)', '[https://x.org](https://y.org)', '<https://auto.example>',
      '<a href="https://h.example">https://in.html</a>', '<a>', '</a>', '<b>x</b>', '`https://code.example`',
      'http\\://esc.example', 'https&#58;//ent.example', '**https://strong.example**', '_em_',
      '![img](https://img.example/a.png)', 'https://end.example.', '(https://paren.example)',
      '中文，https://cn.example。', '\\', '*', 'a@', '@b.c', ':', '://', 'x', ' ', '\n', '\n\n', '- ', '> ',
    ];
    let seed = 20200205;
    const random = (n) => {  // xorshift32
      seed ^= seed << 13; seed ^= seed >>> 17; seed ^= seed << 5;
      return (seed >>> 0) % n;
    };
    for (let doc = 0; doc < 3000; doc++) {
      let text = '';
      for (let k = random(doc % 2 ? 3 : 25); k >= 0; k--) text += pieces[random(pieces.length)] + (random(3) ? ' ' : '');
      assert.equal(page.markToHtml(text), plain.render(text), JSON.stringify(text));
    }
    // The demo posts use no extension: each converts as bare markdown-it does.
    const bare = page.markdownit(options);
    for (const p of samplePosts) assert.equal(page.markToHtml(p.content), bare.render(p.content), p.file);
  });
});

describe('code and maths rendered while converting', () => {
  const renderDir = path.join(lib.sourceDir, 'tests', 'fixtures', 'render');
  // A post with code in each language of the demo, nested maths, a formula
  // with an error, dollars as money, maths in a list and a table; the build
  // test (RenderedBuildTest) expects the same HTML in the article.
  const sample = read(path.join(renderDir, 'rendered.md'));
  const expected = read(path.join(renderDir, 'rendered.html'));
  const both = { code: 'build', maths: 'build' };

  it('gives the expected HTML in the build\'s page and the editor preview alike', () => {
    assert.equal(page.markToHtml(sample, both), expected);
    assert.equal(page.markToHtml('\u0001tarn-render: code maths\n' + sample), expected);
    const editor = lib.loadHeadless(editorPage, { through: 'tarn-markdown.js' });
    assert.equal(editor.markToHtml(sample, both), expected);
    assert.equal(page.markToHtmlRenders(), 'code maths');
  });

  it('renders only what is asked for; without a request the HTML is as before', () => {
    const code = '```js\nlet a = "<b>";\n```\n';
    const maths = 'Costs $5 and $10 for \\$x and $a_1 * b$.\n';
    const highlighted = '<pre><code class="hljs language-js"><span class="hljs-keyword">let</span> a = ' +
      '<span class="hljs-string">&quot;&lt;b&gt;&quot;</span>;\n</code></pre>\n';
    const plainCode = '<pre><code class="language-js">let a = &quot;&lt;b&gt;&quot;;\n</code></pre>\n';
    const texMaths = '<p>Costs <span>$</span>5 and <span>$</span>10 for <span>$</span>x and ' +
      '<span class="math inline">$a_1 * b$</span>.</p>\n';
    // Typeset, the dollars that are not maths are plain text.
    const typeset = /^<p>Costs \$5 and \$10 for \$x and <span class="math inline"><span class="katex">.*<\/span>\.<\/p>\n$/;
    const cases = [
      [undefined, plainCode, texMaths],
      [{}, plainCode, texMaths],
      [{ code: 'browser', maths: 'browser' }, plainCode, texMaths],
      [{ code: 'build' }, highlighted, texMaths],
      [{ maths: 'build' }, plainCode, typeset],
    ];
    for (const [options, wantCode, wantMaths] of cases) {
      const what = JSON.stringify(options);
      assert.equal(page.markToHtml(code, options), wantCode, what);
      if (typeof wantMaths === 'string') assert.equal(page.markToHtml(maths, options), wantMaths, what);
      else assert.match(page.markToHtml(maths, options), wantMaths, what);
    }
    // Languages highlight.js does not know, plain text and no language stay as markdown-it writes them.
    for (const info of ['', 'nohighlight', 'text', 'plaintext', 'no-such-language']) {
      const fence = '```' + info + '\n<x> & "y"\n```\n';
      assert.equal(page.markToHtml(fence, both), page.markToHtml(fence), info);
    }
  });
});

describe('TplRender on the manager page', () => {
  const template = fs.readFileSync(managerPage, 'utf8');
  const render = (data) => page.TplRender(template, JSON.stringify(data));

  it('lists the site, its post count and every post', () => {
    const data = lib.siteData(base, themeConf, samplePosts);
    const html = render(data);
    assert.ok(!/{{|}}/.test(html), 'no template tag is left');
    assert.match(html, /<body data-raw="">/, 'the loading panel gives way to the page');
    assert.ok(html.includes(`<h1 class="site-title">${base.system.title}</h1>`));
    assert.ok(html.includes(`共 ${samplePosts.length} 篇`));
    for (const p of data.posts) {
      assert.ok(html.includes(`<span class="post-title">${p.title}</span>`), p.title);
      assert.ok(html.includes(`data-time="${p.update_time}"`), p.update_time);
    }
    assert.ok(!html.includes('class="empty"'));
  });

  it('lists the most recently edited post first, posts edited at the same time in file order', () => {
    const posts = ['a', 'b', 'c', 'd'].map((name) => ({ ...samplePosts[0], file: 'T-' + name + '.md' }));
    const data = lib.siteData(base, themeConf, posts);
    const times = ['2020-01-01 10:00:00', '2024-05-05 09:00:00', '2020-01-01 10:00:00', '2024-05-05 09:00:00'];
    data.posts.forEach((p, i) => { p.update_time = times[i]; });
    const html = render(data);
    const order = [...html.matchAll(/<span class="post-title">(T-\w)<\/span>/g)].map((m) => m[1]);
    assert.deepEqual(order, ['T-b', 'T-d', 'T-a', 'T-c']);
  });

  it('shows a hint when the post index is not there yet', () => {
    const data = structuredClone(base);
    data.system.articleCount = '3';
    const html = render(data);
    assert.ok(html.includes('class="empty"'));
    assert.ok(html.includes('共 3 篇'));
    assert.ok(!html.includes('<li class="post"'));
  });

  it('says whether a push address is set', () => {
    const data = structuredClone(base);
    data.system.deployUrl = '';
    assert.match(render(data), /未设置推送地址/);
    data.system.deployUrl = 'git@example.com:me/blog.git';
    const html = render(data);
    assert.ok(html.includes('推送到 <code>git@example.com:me&#x2F;blog.git</code>'));
    assert.ok(!html.includes('未设置推送地址'));
  });

  it('escapes markup in titles', () => {
    const data = lib.siteData(base, themeConf, [{ ...samplePosts[0], file: 'a <b>&amp; c.md' }]);
    data.system.title = '<script>x</script>';
    const html = render(data);
    assert.ok(!html.includes('<script>x</script>'));
    assert.ok(html.includes('&lt;script&gt;x&lt;&#x2F;script&gt;'));
    assert.ok(html.includes('a &lt;b&gt;&amp;amp; c'));
  });

  it('reports site data that is not JSON', () => {
    assert.throws(() => page.TplRender(template, '{"system": '), /TplRender: the site data is not valid JSON/);
  });
});

describe('lake theme', () => {
  const templates = fs.readdirSync(themeDir).filter((f) => f.endsWith('.mtpl'));
  const children = templates.filter((f) => f !== 'layout.mtpl');
  const render = (name, data) => lib.renderTemplate(read(path.join(themeDir, name)), data, themeDir);

  it('uses only the template constructs the program knows, each closed', () => {
    const allowed = [
      /^{-extend name="[^"\n]+"}/, /^{-block name="[\w-]+"}/, /^{-block\/}/,
      /^{-volist name="[\w.[\]]+" key="\w+"}/, /^{-volist\/}/, /^{\$[\w.[\]]+(\|e)?}/,
      /^{-if name="[\w.[\]]+"}/, /^{-else\/}/, /^{-if\/}/,
    ];
    for (const name of templates) {
      const text = read(path.join(themeDir, name));
      for (const m of text.matchAll(/{[-$%#{]/g)) {
        const rest = text.slice(m.index);
        assert.ok(allowed.some((re) => re.test(rest)),
          `${name}: unknown construct ${JSON.stringify(rest.slice(0, 40))}`);
      }
      // Loops and conditions nest; each one is closed by its own kind.
      const open = [];
      for (const t of text.matchAll(/{-(volist|if)( name|\/)/g)) {
        if (t[2] === ' name') open.push(t[1]);
        else assert.equal(open.pop(), t[1], `${name}: {-${t[1]}/} closes something else`);
      }
      assert.deepEqual(open, [], `${name}: every loop and condition is closed`);
    }
  });

  it('fills the layout slots from every page', () => {
    const slots = [...read(path.join(themeDir, 'layout.mtpl')).matchAll(/{-block name="(.*?)"}/g)].map((m) => m[1]);
    assert.deepEqual([...new Set(slots)].sort(),
      ['description', 'head', 'main', 'ogextra', 'ogtype', 'page', 'title']);
    for (const name of children) {
      const text = read(path.join(themeDir, name));
      assert.ok(text.startsWith('{-extend name="./layout.mtpl"}'), name);
      const defined = [...text.matchAll(/{-block name="(.*?)"}[\s\S]*?{-block\/}/g)].map((m) => m[1]);
      for (const slot of ['description', 'main', 'ogtype', 'page', 'title']) {
        assert.ok(defined.includes(slot), `${name} fills ${slot}`);
      }
      for (const block of defined) assert.ok(slots.includes(block), `${name}: ${block} has no slot`);
    }
    const pages = themeConf.pages.map((p) => `${p.tpl}.mtpl`);
    assert.deepEqual([...children].sort(),
      ['index.mtpl', 'page.mtpl', 'post.mtpl', 'timeline.mtpl', 'tag.mtpl', 'tags.mtpl', ...pages].sort());
  });

  it('needs no script for reading: only lake.js, and the search library on the search page', () => {
    const data = lib.siteData(base, themeConf, samplePosts);
    data.post = { ...data.posts[0], content: '<p>x</p>' };
    assert.deepEqual(themeConf.render, { code: 'build', maths: 'build' });
    for (const name of children) {
      const html = render(name, data);
      const scripts = [...html.matchAll(/<script\b[^>]*\bsrc="([^"]*)"/gi)].map((m) => m[1].replace(/^[./]+/, ''));
      assert.deepEqual(scripts, ['assets/js/lake.js'], name);
      // The search page names its library and index, which lake.js loads
      // when a search starts.
      const later = /data-scripts="([^"]*)"/.exec(html)?.[1].split(' ').map((s) => s.replace(/^[./]+/, ''));
      assert.deepEqual(later, name === 'search.mtpl' ? ['assets/vendor/minisearch.js', 'search.js'] : undefined, name);
      assert.doesNotMatch(html, /<script>/, `${name}: no inline script`);
    }
    assert.ok(fs.statSync(path.join(themeDir, 'assets', 'js', 'lake.js')).size < 10 * 1024, 'lake.js stays small');
    // KaTeX's stylesheet only on articles with maths: RenderedBuildTest, on the real build.
  });

  // That every post is listed and every link of every page leads to a file
  // the build writes is checked on the real build of the bundled workspace
  // (NavigationTest.BundledThemeLinksEverythingAndValidates).

  it('puts the post content into the article (and a page\'s into its page) unchanged', () => {
    // The theme guide shows template syntax; the page must not expand it.
    const data = lib.siteData(base, themeConf, samplePosts);
    for (const p of data.posts) {
      const content = page.markToHtml(p.content);
      data.post = { ...p, content };
      for (const name of ['post.mtpl', 'page.mtpl']) {
        const html = render(name, data);
        assert.ok(html.includes(content), `${name}: ${p.title}`);
        assert.ok(html.includes(`<h1 class="post-title">${p.title}</h1>`), `${name}: ${p.title}`);
      }
    }
    const guide = data.posts.find((p) => p.title === '写一个主题');
    assert.match(page.markToHtml(guide.content), /{\$p\.title}/);
  });
});

describe('offline pages', () => {
  const pageFiles = [managerPage, editorPage];
  const themeFiles = fs.readdirSync(themeDir).filter((f) => f.endsWith('.mtpl')).map((f) => path.join(themeDir, f));

  // Scripts, stylesheets, fonts and images the file loads (not plain links).
  function loads(text) {
    const refs = [];
    for (const m of text.matchAll(/<script\b[^>]*\bsrc="([^"]*)"/gi)) refs.push(m[1]);
    for (const m of text.matchAll(/<link\b[^>]*>/gi)) {
      if (/rel="(stylesheet|icon)"/i.test(m[0])) refs.push(/href="([^"]*)"/i.exec(m[0])[1]);
    }
    for (const m of text.matchAll(/<img\b[^>]*\bsrc="([^"]*)"/gi)) refs.push(m[1]);
    for (const m of text.matchAll(/url\(\s*['"]?([^'")]+)/gi)) refs.push(m[1]);
    for (const m of text.matchAll(/@import\s+['"]([^'"]+)/gi)) refs.push(m[1]);
    return refs;
  }

  it('loads nothing from the network', () => {
    const cssFiles = [
      ...fs.readdirSync(lib.templateDir).filter((f) => f.endsWith('.css')).map((f) => path.join(lib.templateDir, f)),
      path.join(themeDir, 'assets', 'css', 'lake.css'),
    ];
    for (const file of [...pageFiles, ...themeFiles, ...cssFiles]) {
      for (const ref of loads(read(file))) {
        assert.ok(!/^(https?:)?\/\//i.test(ref), `${path.basename(file)} loads ${ref}`);
      }
    }
    const editor = read(editorPage);
    assert.match(editor, /autoDownloadFontAwesome: false/);
    assert.match(editor, /spellChecker: false/);
  });

  it('finds every file the manager and editor pages load', () => {
    for (const file of pageFiles) {
      for (const ref of loads(read(file))) {
        const target = lib.resolvePageFile(path.dirname(file), ref);
        assert.ok(fs.existsSync(target), `${path.basename(file)} loads ${ref}: ${target} is missing`);
        if (target.endsWith('.css')) {
          for (const inner of loads(read(target))) {
            if (inner.startsWith('data:')) continue;
            const font = path.join(path.dirname(target), inner.split(/[?#]/)[0]);
            assert.ok(fs.existsSync(font), `${ref} loads ${inner}: ${font} is missing`);
          }
        }
      }
    }
  });

  it('ships a base.json with every key the program reads', () => {
    for (const key of ['url', 'theme', 'author', 'title', 'description', 'deployUrl']) {
      assert.equal(typeof base.system[key], 'string', `system.${key}`);
    }
    assert.ok(!base.system.url.endsWith('/'), 'system.url has no trailing slash');
    assert.equal(base.system.deployUrl, '', 'the demo pushes nowhere');
    assert.ok(fs.existsSync(path.join(lib.workspaceDir, 'themes', base.system.theme, 'index.mtpl')));
  });
});

// The pages' own scripts need a DOM: check them in a real browser when one
// is installed (headless Chromium).
const chromium = ['chromium', 'chromium-browser', 'google-chrome'].find((c) => {
  try { execFileSync('which', [c], { stdio: 'ignore' }); return true; } catch { return false; }
});

// Copies the pages with their vendor files into a temporary folder, adds
// check.html, which loads `page` in a frame and runs `script` (the body of a
// function of w, the frame's window, returning a JSON-able result) once the
// frame has loaded and `delayMs` has passed, and returns that result.
function inBrowser(page, script, { delayMs = 0, files = {} } = {}) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'tarn-pages-'));
  try {
    fs.cpSync(lib.templateDir, dir, { recursive: true });
    fs.cpSync(lib.vendorDir, path.join(dir, 'vendor'), { recursive: true });
    for (const [name, text] of Object.entries(files)) fs.writeFileSync(path.join(dir, name), text);
    fs.writeFileSync(path.join(dir, 'check.html'), `<!DOCTYPE html><html><head><meta charset="utf-8"></head><body>
<iframe id="f" src="${encodeURI(page)}" style="width:780px;height:500px"></iframe><pre id="out"></pre>
<script>
document.getElementById('f').onload = function () {
  var w = document.getElementById('f').contentWindow;
  var run = function (w) { ${script} };
  var state = {};
  function finish(r) { document.getElementById('out').textContent = JSON.stringify(r); }
  try { state.first = run.call(state, w); } catch (e) { return finish({ error: String(e) }); }
  setTimeout(function () {
    try { finish(state.later ? state.later() : state.first); } catch (e) { finish({ error: String(e) }); }
  }, ${delayMs});
};
</script></body></html>`);
    const dom = execFileSync(chromium, [
      '--headless', '--no-sandbox', '--disable-gpu', '--allow-file-access-from-files',
      '--virtual-time-budget=5000', '--dump-dom', 'file://' + path.join(dir, 'check.html'),
    ], { encoding: 'utf8', stdio: ['ignore', 'pipe', 'ignore'], timeout: 60000 });
    const out = /<pre id="out">([\s\S]*?)<\/pre>/.exec(dom)[1]
      .replace(/&quot;/g, '"').replace(/&lt;/g, '<').replace(/&gt;/g, '>').replace(/&amp;/g, '&');
    assert.ok(out, 'the check ran');
    const result = JSON.parse(out);
    assert.equal(result.error, undefined);
    return result;
  } finally {
    fs.rmSync(dir, { recursive: true, force: true });
  }
}

describe('pages in a browser', { skip: chromium ? false : 'no chromium installed' }, () => {
  it('editor: round-trips text through setValue and getValue and previews it', () => {
    const text = '## 你好 Tarn\r\n\r\n| a | b |\r\n| - | - |\r\n| ~~x~~ | 表 |\r\n';
    const r = inBrowser('editor.html', `
      var r = {};
      w.setValue(${JSON.stringify(text)});
      r.value = w.getValue(0, 0);
      w.showMsg('保存成功', 1);
      var toast = w.document.getElementById('toast');
      r.toast = toast.className + '|' + toast.textContent;
      r.preview = w.document.querySelector('.editor-preview-side').innerHTML;
      r.markToHtml = w.markToHtml(r.value);
      w.setValue(${JSON.stringify(text.replace(/\r\n/g, '\n'))});
      r.lf = w.getValue(0, 0);
      return r;`);
    assert.equal(r.value, text, 'a file with CR LF line ends is saved with CR LF');
    assert.equal(r.lf, text.replace(/\r\n/g, '\n'), 'and one with LF with LF');
    assert.equal(r.toast, 'toast show ok|保存成功');
    assert.equal(r.preview, r.markToHtml, 'the live preview is markToHtml of the text');
    assert.match(r.preview, /<h2>你好 Tarn<\/h2>[\s\S]*<s>x<\/s>/);
  });

  it('editor: the preview shows code highlighted and maths typeset, through its sanitizer', () => {
    const sample = read(path.join(lib.sourceDir, 'tests', 'fixtures', 'render', 'rendered.md'));
    const r = inBrowser('editor.html', `
      w.setValue(${JSON.stringify(sample)});
      var side = w.document.querySelector('.editor-preview-side');
      var count = function (sel) { return side.querySelectorAll(sel).length; };
      return { keywords: count('code.hljs .hljs-keyword'), formulas: count('.katex'),
               mathml: count('.katex math'), errors: count('.katex-error'),
               sheets: Array.prototype.map.call(w.document.styleSheets, function (s) {
                 return String(s.href); }) };`);
    assert.ok(r.keywords > 0, 'highlighted code');
    assert.equal(r.formulas, 8, 'every formula that parses');
    assert.equal(r.mathml, 8, 'each with its MathML');
    assert.equal(r.errors, 1);
    for (const sheet of ['/vendor/katex/katex.min.css', '/vendor/highlight-light.min.css']) {
      assert.ok(r.sheets.some((href) => href.endsWith(sheet)), `${sheet} in ${r.sheets}`);
    }
  });

  it('editor: the preview leaves front matter out and shows title, date and tags', () => {
    const r = inBrowser('editor.html', `
      return {
        yaml: w.tarnPreview('---\\r\\ntitle: "A <b>"\\r\\ndate: 2020-02-05\\r\\ntags:\\r\\n  - x\\r\\n  - y\\r\\n---\\r\\n# Body\\r\\n'),
        toml: w.tarnPreview('+++\\ntitle = "T"\\ntags = ["a", "b"]\\n+++\\ntext\\n'),
        unclosed: w.tarnPreview('---\\ntitle: x\\n'),
        body: w.markToHtml('# Body\\r\\n')
      };`);
    assert.equal(r.yaml, '<div class="front-matter"><strong>A &lt;b&gt;</strong> <time>2020-02-05</time>' +
      ' <span class="tags">x, y</span></div>' + r.body);
    assert.match(r.toml, /^<div class="front-matter"><strong>T<\/strong> <span class="tags">a, b<\/span><\/div><p>text<\/p>/);
    assert.doesNotMatch(r.unclosed, /front-matter/);
  });

  it('editor: lists earlier versions as text and puts one back, undoable, in the post\'s line ends', () => {
    const listing = { reason: '', versions: [
      { commit: 'a'.repeat(40), date: '2026-01-02 03:04', time: 2, subject: '<img src=x onerror="top.hacked=1">' },
      { commit: 'b'.repeat(40), date: '2026-01-01 00:00', time: 1, subject: 'first' }] };
    const r = inBrowser('editor.html', `
      var r = {};
      var calls = [];
      w.tarnListHistory = function () { calls.push('list'); };
      w.tarnRestoreVersion = function (commit) { calls.push('restore:' + commit); };
      w.setValue('now\\r\\n');
      w.document.querySelector('.editor-toolbar button.history').click();
      r.count = w.showHistory(${JSON.stringify(JSON.stringify(listing))});
      var items = w.document.querySelectorAll('.history-item');
      r.texts = Array.prototype.map.call(items, function (e) { return e.textContent; });
      r.focused = w.document.activeElement === items[0];
      items[1].click();
      r.closed = w.document.getElementById('history').hidden;
      w.restoreVersion('old\\nversion\\n', '2026-01-01 00:00');
      r.restored = w.getValue(0, 0);
      w.document.querySelector('.editor-toolbar button.undo').click();
      r.undone = w.getValue(0, 0);
      r.calls = calls;
      w.showHistory(JSON.stringify({ reason: 'no history yet', versions: [] }));
      r.reason = w.document.getElementById('history-list').textContent;
      this.later = function () { r.hacked = !!window.hacked; return r; };`, { delayMs: 300 });
    assert.equal(r.count, 2);
    assert.deepEqual(r.texts, ['2026-01-02 03:04<img src=x onerror="top.hacked=1">',
      '2026-01-01 00:00first'], 'a commit message is shown as text');
    assert.equal(r.hacked, false, 'and never runs');
    assert.ok(r.focused, 'the newest version has the focus');
    assert.deepEqual(r.calls, ['list', 'restore:' + 'b'.repeat(40)]);
    assert.ok(r.closed, 'choosing closes the list');
    assert.equal(r.restored, 'old\r\nversion\r\n', 'the post keeps its CR LF line ends');
    assert.equal(r.undone, 'now\r\n', 'undo brings back the text before');
    assert.equal(r.reason, 'no history yet');
  });

  it('manager: the post list marks drafts and scheduled posts with the date', () => {
    const data = lib.siteData(base, themeConf, samplePosts);
    const rendered = page.TplRender(fs.readFileSync(managerPage, 'utf8'), JSON.stringify(data));
    const post = (name, more) => Object.assign({
      name, title: name, post_time: '2026-01-01 08:00:00', update_time: '2026-01-01 08:00:00',
      draft: false, scheduled: '', tags: [],
    }, more);
    const posts = [
      post('later.md', { scheduled: '2026-06-01 09:00:00', post_time: '2026-06-01 09:00:00' }),
      post('draft.md', { draft: true }),
      post('out.md'),
    ];
    const r = inBrowser('index.html', `
      w.tarnShowPosts(${JSON.stringify(JSON.stringify(posts))});
      return Array.prototype.map.call(w.document.querySelectorAll('.posts .post'), function (li) {
        return [li.getAttribute('data-name'), li.className,
          Array.prototype.map.call(li.querySelectorAll('.badge'), function (b) {
            return b.className + ': ' + b.textContent; })];
      });`, { files: { 'index.html': rendered } });
    assert.deepEqual(r, [
      ['later.md', 'post is-draft', ['badge scheduled: scheduled 2026-06-01 09:00:00']],
      ['draft.md', 'post is-draft', ['badge draft: 草稿']],
      ['out.md', 'post', []],
    ]);
  });

  it('manager: buttons call the program, newest edits first', () => {
    const data = lib.siteData(base, themeConf, samplePosts);
    data.posts[1].update_time = '2030-01-01 00:00:00';
    const rendered = page.TplRender(fs.readFileSync(managerPage, 'utf8'), JSON.stringify(data));
    const r = inBrowser('index.html', `
      var calls = [];
      w.Rendering = function () { calls.push('Rendering:' + arguments.length); };
      w.document.querySelector('[data-call="Rendering"]').click();
      w.document.querySelector('[data-call="Push"]').click();   // not provided by this "program"
      var toast = w.document.getElementById('toast');
      var missing = toast.textContent;
      var titles = Array.prototype.map.call(w.document.querySelectorAll('.post-title'), function (e) { return e.textContent; });
      this.later = function () { return { calls: calls, missing: missing, titles: titles }; };`,
    { delayMs: 200, files: { 'index.html': rendered } });
    assert.deepEqual(r.calls, ['Rendering:0']);
    assert.match(r.missing, /Push.*只能在 Tarn Blog Editor 程序里使用/);
    assert.equal(r.titles[0], data.posts[1].title);
    assert.equal(r.titles.length, samplePosts.length);
  });
});

describe('the editor\'s writing tools (editor-writing.js)', () => {
  let tools;
  before(async () => {
    const vm = await import('node:vm');
    const sandbox = {};
    vm.runInNewContext(read(path.join(lib.templateDir, 'editor-writing.js')), sandbox);
    tools = sandbox.tarnWriting;
  });

  it('counts words, characters and reading time in English, Chinese and both', () => {
    const cases = [
      // text, words, characters (no white space), minutes
      ['', 0, 0, 0],
      ['Hello, world!', 2, 12, 1],
      ["Don't e-mail me at 10:30", 6, 20, 1],
      ['水光潋滟晴方好', 7, 7, 1],
      ['西湖 West Lake，很美。', 6, 14, 1],
      ['日本語のテキスト', 8, 8, 1],
      ['한국어 문장', 2, 5, 1],
      ['café naïve', 2, 9, 1],
      [Array(251).fill('word').join(' '), 251, 1004, 2],
      ['字'.repeat(301), 301, 301, 2],
    ];
    for (const [text, words, chars, minutes] of cases) {
      const c = tools.countText(text);
      assert.deepEqual([c.words, c.chars, c.minutes], [words, chars, minutes], text.slice(0, 30));
    }
  });

  it('leaves the front matter out of the counts', () => {
    const cases = [
      ['---\ntitle: A long title here\ntags: [x, y]\n---\nTwo words', 'Two words'],
      ['+++\ntitle = "T"\n+++\r\n正文', '正文'],
      ['---\ntitle: never closed\nbody', '---\ntitle: never closed\nbody'],
      ['Text\n---\nmore', 'Text\n---\nmore'],
    ];
    for (const [text, body] of cases) assert.equal(tools.withoutFrontMatter(text), body, text);
  });

  it('builds the find query from its options and names a faulty regular expression', () => {
    const find = (text, options, subject) => {
      const q = tools.buildQuery(text, { caseSensitive: false, wholeWord: false, regex: false, ...options });
      return q.error ? 'error' : (subject.match(q.regexp) || []).join('|');
    };
    const cases = [
      ['a.b', {}, 'a.b axb A.B', 'a.b|A.B'],
      ['a.b', { caseSensitive: true }, 'a.b axb A.B', 'a.b'],
      ['a.b', { regex: true }, 'a.b axb', 'a.b|axb'],
      ['cat', { wholeWord: true }, 'cat concat cat_s cats Cat', 'cat|Cat'],
      ['(c|d)at', { regex: true, wholeWord: true }, 'cat dat scat', 'cat|dat'],
      ['湖', { wholeWord: true }, '西湖 湖', '湖'],
      ['([a-', { regex: true }, 'x', 'error'],
      ['([a-', {}, '([a-', '([a-'],
    ];
    for (const [text, options, subject, expected] of cases) {
      assert.equal(find(text, options, subject), expected, `${text} ${JSON.stringify(options)}`);
    }
    assert.equal(JSON.stringify(tools.buildQuery('', {})), '{}');
  });

  it('expands a regular expression\'s groups in the replacement only', () => {
    const match = ['2024-05', '2024', '05'];
    assert.equal(tools.expandReplacement('$2/$1 ($&) $$ $9', match, true), '05/2024 (2024-05) $ ');
    assert.equal(tools.expandReplacement('$2/$1', match, false), '$2/$1');
  });
});

describe('the editor preview\'s addresses', () => {
  // The script is pure until it finds a DOM; it runs alone here.
  const context = vm.createContext({});
  vm.runInContext(read(path.join(lib.templateDir, 'editor-preview.js')), context);
  const address = context.tarnPreviewAddress;

  it('leads where the built article page (public/post/) would, never out of public/', () => {
    const cases = [
      // theme assets, then static/ for everything else
      ['../assets/img/lake.svg', 'lake', '../themes/lake/assets/img/lake.svg'],
      ['../assets/img/lake.svg', '', '../static/assets/img/lake.svg'],
      ['/assets/css/a.css?v=2#x', 'lake', '../themes/lake/assets/css/a.css?v=2#x'],
      ['../images/a b.png', 'lake', '../static/images/a b.png'],
      ['./../images/./x.png', 'lake', '../static/images/x.png'],
      ['photo.jpg', 'lake', '../static/post/photo.jpg'],
      ['sub/../photo.jpg', 'lake', '../static/post/photo.jpg'],
      ['/CNAME', 'lake', '../static/CNAME'],
      ['..\\assets\\x.png', 'lake', '../themes/lake/assets/x.png'],
      // a theme name that is no single folder is not used
      ['../assets/x.png', '../..', '../static/assets/x.png'],
      ['../assets/x.png', 'a/b', '../static/assets/x.png'],
      // out of public/: refused
      ['../../config/base.json', 'lake', ''],
      ['../%2e%2e/_posts/a.md', 'lake', ''],
      ['/../x', 'lake', ''],
      ['..', 'lake', ''],
      // not relative: as written
      ['https://example.com/a.png', 'lake', 'https://example.com/a.png'],
      ['data:image/png;base64,AA', 'lake', 'data:image/png;base64,AA'],
      ['//cdn.example/x.png', 'lake', '//cdn.example/x.png'],
      ['#top', 'lake', '#top'],
      ['', 'lake', ''],
    ];
    for (const [src, theme, want] of cases) {
      assert.equal(address(src, theme), want, `${src} (theme ${theme})`);
    }
  });
});

describe('the editor\'s front matter lines', () => {
  // Without an editor on the page the script only defines the function.
  const context = vm.createContext({});
  vm.runInContext(read(path.join(lib.templateDir, 'editor-front-matter.js')), context);
  const styles = (line) => JSON.parse(JSON.stringify(context.tarnFrontMatterLine(line)));

  it('reads the values the form shows: texts, lists and blocks, without quotes or comments', () => {
    const values = (text) => JSON.parse(JSON.stringify(context.tarnFrontMatterValues(text.split('\n'))));
    assert.deepEqual(values([
      'title: Lake   # the title', 'date: 2020-01-02 08:00:00', 'tags: [lake, "a, b", \'c\']',
      'categories:', '  - Notes  # first', '- "Two"', 'description: >', '  A morning', '  by the water',
      'draft: true', 'quoted: "say \\"hi\\" # not a comment"', 'empty: []',
      'slug = "toml-style"',
    ].join('\n')), {
      title: 'Lake', date: '2020-01-02 08:00:00', tags: ['lake', 'a, b', 'c'],
      categories: ['Notes', 'Two'], description: 'A morning by the water', draft: 'true',
      quoted: 'say "hi" # not a comment', empty: [], slug: 'toml-style',
    });
  });

  it('splits a YAML or TOML line into key, value and comment, covering it whole', () => {
    const cases = [
      ['title: Lake', [[5, 'fm fm-key'], [1, 'fm'], [5, 'fm fm-value']]],
      ['title = "Lake" # home', [[5, 'fm fm-key'], [2, 'fm'], [7, 'fm fm-value'], [7, 'fm fm-comment']]],
      ['  - lake', [[8, 'fm fm-value']]],
      ['# a comment', [[11, 'fm fm-comment']]],
      ['url: "http://a/#x"', [[3, 'fm fm-key'], [1, 'fm'], [14, 'fm fm-value']]],
      ['"a b": 1', [[5, 'fm fm-key'], [1, 'fm'], [2, 'fm fm-value']]],
      ['', []],
    ];
    for (const [line, want] of cases) {
      const got = styles(line);
      assert.deepEqual(got, want, line);
      assert.equal(got.reduce((sum, [n]) => sum + n, 0), line.length, line);
    }
  });
});

describe('the editor\'s outline', () => {
  const context = vm.createContext({});
  for (const file of ['editor-front-matter.js', 'editor-outline.js']) {
    vm.runInContext(read(path.join(lib.templateDir, file)), context);
  }
  const headings = (text) => JSON.parse(JSON.stringify(context.tarnListHeadings(text)))
    .map((h) => `${h.line}:${h.level}:${h.text}`);

  it('lists ATX and setext headings with their levels and lines, and nothing else', () => {
    const cases = [
      ['# One\n\n## Two ##\ntext\n###### Six', ['0:1:One', '2:2:Two', '4:6:Six']],
      ['Title\n=====\n\nSub\ntitle\n---\n', ['0:1:Title', '3:2:Sub title']],
      // the front matter's last line is no setext underline, its keys no headings
      ['---\ntitle: A\ndescription: B\n---\n# Body', ['4:1:Body']],
      ['+++\n# x = 1\n+++\n## Body', ['3:2:Body']],
      // fenced code, closed only by a fence as long and of the same kind
      ['````\n# not\n~~~~\n# not\n```\n# not\n`````\n# Yes', ['7:1:Yes']],
      ['~~~~md\n# not\n~~~~\nText\n---', ['3:2:Text']],
      // no heading: "#hash", indented code, empty, a break, a list item
      ['#hash\n\n    # code\n\n#\n\n---\n\n- item\n---', []],
      // attributes and CR LF line ends
      ['## Title {#id .c}\r\n# Closing #   \r\n', ['0:2:Title', '1:1:Closing']],
      ['> # Quoted', ['0:1:Quoted']],
    ];
    for (const [text, want] of cases) assert.deepEqual(headings(text), want, text);
  });
});

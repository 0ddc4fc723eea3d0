// The bundled theme as readers meet it: the demo blog plus an article with
// code, maths and an image (tests/fixtures/pages_audit), built by the real
// tarn and served over HTTP on 127.0.0.1, audited in headless Chromium:
//  - Lighthouse, mobile and desktop presets: 100 in every category (for
//    the article with maths on mobile, see below);
//  - page weight from Lighthouse's report: the home page and an article
//    without images stay small, and no page but search loads a big script;
//  - axe-core: no violations with the system light, the system dark, and the
//    reader's toggle;
//  - a reader whose system is dark gets dark code colours without a script;
//  - the Nu HTML checker finds no error.
// Lighthouse is pinned to 12.8.2 (web/package.json), the last release that
// runs on Debian 12's Node 20.
// Lighthouse's JSON reports are kept in the build folder (pages_audit/).
//
// What is asserted, and why it holds on a slow, loaded machine: Lighthouse's
// default simulated throttling computes most of the metrics from the page's
// requests (bytes, order, priority) on a modelled slow network and CPU, not
// from this run's wall clock. Accessibility, best practices and SEO do not
// depend on time at all: 100 on every run. Two inputs of the performance
// score do depend on this machine:
//  - Speed Index starts from the speed index seen in this run's
//    screenshots, which a busy moment stretches (one home page run on two
//    loaded cores saw 2.2 s instead of 0.2 s: 99). A fault in a page (a
//    script before the first paint, heavy bytes, a late layout) costs every
//    run, a busy moment one: so performance is the best of up to
//    kPerformanceRuns runs. The pages score 100 on a quiet machine; the
//    test holds them to kPerformance, which no busy moment has come near
//    and any such fault goes below.
//  - On the article with maths, KaTeX's fonts are requested at the highest
//    priority during the first layout, and the mobile simulation counts
//    those requested before the first paint it observed into the first
//    paint: on the modelled 1.6 Mbit/s their 48 KB put it at 1.8 s (98).
//    Whether they start before that paint depends on this machine's speed,
//    so there the mobile score must reach kMobileMathsPerformance.
// What makes the score 100 is asserted directly on every run: no script
// delays the first paint, and nothing shifts once drawn. Every run's scores
// are printed.
import { describe, it, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { createRequire } from 'node:module';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import { pathToFileURL } from 'node:url';

const sourceDir = process.env.TARN_SOURCE_DIR;
const buildDir = process.env.TARN_BUILD_DIR;
const tarn = process.env.TARN_BINARY;
const chromium = ['chromium', 'chromium-browser', 'google-chrome'].find((c) => {
  try { execFileSync('which', [c], { stdio: 'ignore' }); return true; } catch { return false; }
});
const webRequire = createRequire(path.join(sourceDir, 'web', 'package.json'));
const load = async (name) => import(pathToFileURL(webRequire.resolve(name)).href);

const KB = 1024;
const kPerformance = 95;
const kMobileMathsPerformance = 90;
const kPerformanceRuns = 3;
// The pages the issue names, by their address under public/.
const pages = {
  home: 'index.html',
  article: 'articles/Code%20and%20maths.html',
  tag: 'tags/welcome/index.html',
  archive: 'timeline.html',
  search: 'search.html',
  notFound: '404.html',
};
// An article without images, weighed against its own text.
const plainArticle = { page: 'articles/%E5%86%99%E4%B8%80%E4%B8%AA%E4%B8%BB%E9%A2%98.html',
  source: '_posts/写一个主题.md' };

const types = { '.html': 'text/html; charset=utf-8', '.css': 'text/css', '.js': 'text/javascript',
  '.svg': 'image/svg+xml', '.woff2': 'font/woff2', '.json': 'application/json', '.xml': 'application/xml' };

// public/ as a plain static host serves it: files as they are, no
// compression, a missing file answered with the site's 404 page.
function serve(root) {
  const server = http.createServer((req, res) => {
    let name = decodeURIComponent(new URL(req.url, 'http://x').pathname);
    if (name.endsWith('/')) name += 'index.html';
    const file = path.join(root, path.normalize(name));
    const found = file.startsWith(root) && fs.existsSync(file) && fs.statSync(file).isFile();
    res.writeHead(found ? 200 : 404,
      { 'Content-Type': types[path.extname(found ? file : '.html')] || 'application/octet-stream' });
    res.end(fs.readFileSync(found ? file : path.join(root, '404.html')));
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

// The audits that scored below 1, for a message that says what to fix.
function failing(report) {
  return Object.values(report.audits)
    .filter((a) => typeof a.score === 'number' && a.score < 1 &&
      !['informative', 'notApplicable', 'manual'].includes(a.scoreDisplayMode))
    .map((a) => `${a.id} ${a.score} ${a.displayValue || ''}`).join('\n');
}

describe('the bundled theme audited in Chromium', {
  skip: chromium && tarn ? false : 'Chromium is not installed (scripts/setup.sh test installs it)',
}, () => {
  let dir, ws, server, base, chrome, browser, lighthouse, desktopConfig;
  const reports = {};
  const artifacts = path.join(buildDir || os.tmpdir(), 'pages_audit');

  before(async () => {
    dir = fs.mkdtempSync(path.join(os.tmpdir(), 'tarn-pages-audit-'));
    ws = path.join(dir, 'ws');
    for (const part of ['_posts', 'config', 'themes', 'template'])
      fs.cpSync(path.join(buildDir, part), path.join(ws, part), { recursive: true });
    fs.cpSync(path.join(sourceDir, 'tests/fixtures/pages_audit'), ws, { recursive: true });
    execFileSync(tarn, ['-w', ws, 'build'], { stdio: 'pipe' });
    server = await serve(path.join(ws, 'public'));
    base = `http://127.0.0.1:${server.address().port}/`;
    fs.mkdirSync(artifacts, { recursive: true });

    lighthouse = (await load('lighthouse')).default;
    desktopConfig = (await import(pathToFileURL(
      path.join(path.dirname(webRequire.resolve('lighthouse')), 'config/desktop-config.js')).href)).default;
    const launcher = await load('chrome-launcher');
    chrome = await launcher.launch({ chromePath: execFileSync('which', [chromium]).toString().trim(),
      chromeFlags: ['--headless=new', '--no-sandbox', '--disable-gpu'] });
    const puppeteer = (await load('puppeteer-core')).default;
    browser = await puppeteer.connect({ browserURL: `http://127.0.0.1:${chrome.port}` });
  });

  after(async () => {
    await browser?.disconnect();
    await chrome?.kill();
    server?.close();
    if (dir) fs.rmSync(dir, { recursive: true, force: true, maxRetries: 5 });
  });

  // One Lighthouse run, its JSON report kept as pages_audit/NAME-PRESET.json.
  async function audit(name, page, preset) {
    const result = await lighthouse(base + page, { port: chrome.port, output: 'json', logLevel: 'error' },
      preset === 'desktop' ? desktopConfig : undefined);
    fs.writeFileSync(path.join(artifacts, `${name}-${preset}.json`), result.report);
    return result.lhr;
  }

  // Lighthouse shows a category's score as Math.round(score * 100).
  const scoresOf = (report) => Object.fromEntries(Object.entries(report.categories)
    .map(([id, category]) => [id, Math.round(category.score * 100)]));

  for (const preset of ['mobile', 'desktop']) {
    it(`scores 100 in accessibility, best practices and SEO, and 95 or more in performance, on every page (${preset})`, async (t) => {
      for (const [name, page] of Object.entries(pages)) {
        const least = name === 'article' && preset === 'mobile' ? kMobileMathsPerformance : kPerformance;
        for (let run = 1; ; ++run) {
          const report = await audit(name, page, preset);
          reports[`${name}-${preset}`] = report;
          assert.equal(report.runtimeError, undefined, `${name}: ${report.runtimeError?.message}`);
          const scores = scoresOf(report);
          t.diagnostic(`${name} ${preset}: ${JSON.stringify(scores)}`);
          const why = `${name} ${preset} ${JSON.stringify(scores)}:\n${failing(report)}`;
          for (const id of ['accessibility', 'best-practices', 'seo']) assert.equal(scores[id], 100, why);
          const blocking = report.audits['render-blocking-resources'].details?.items ?? [];
          assert.deepEqual(blocking.filter((r) => !/\.css$/.test(new URL(r.url).pathname)), [], why);
          assert.ok(report.audits['cumulative-layout-shift'].numericValue < 0.01, why);
          if (scores.performance >= least) break;
          assert.ok(run < kPerformanceRuns, why);
        }
      }
    });
  }

  it('keeps pages light', async () => {
    const weight = (report) => report.audits['total-byte-weight'].numericValue;
    const home = reports['home-mobile'] || await audit('home', pages.home, 'mobile');
    assert.ok(weight(home) <= 60 * KB, `home: ${weight(home)} bytes`);
    const plain = await audit('plain-article', plainArticle.page, 'mobile');
    const text = fs.statSync(path.join(ws, plainArticle.source)).size;
    assert.ok(weight(plain) <= 60 * KB + text, `article: ${weight(plain)} bytes, its text ${text}`);

    for (const [name, page] of Object.entries(pages)) {
      if (name === 'search') continue;
      const report = reports[`${name}-mobile`] || await audit(name, page, 'mobile');
      const big = report.audits['network-requests'].details.items
        .filter((r) => r.resourceType === 'Script' && r.resourceSize > 10 * KB)
        .map((r) => `${r.url} ${r.resourceSize}`);
      assert.deepEqual(big, [], `${name} loads a script over 10 KB`);
    }
  });

  // The same blog in English: the pages say so (html-has-lang, valid-lang)
  // and keep 100 in accessibility and SEO, as the Chinese pages do above.
  it('gives an English blog pages in English that pass the language audits', async () => {
    const en = path.join(dir, 'en');
    for (const part of ['_posts', 'config', 'themes', 'template'])
      fs.cpSync(path.join(ws, part), path.join(en, part), { recursive: true });
    const settings = path.join(en, 'config', 'base.json');
    const base_json = JSON.parse(fs.readFileSync(settings, 'utf8'));
    base_json.system.language = 'en';
    fs.writeFileSync(settings, JSON.stringify(base_json, null, 2));
    execFileSync(tarn, ['-w', en, 'build'], { stdio: 'pipe' });
    const enServer = await serve(path.join(en, 'public'));
    try {
      const enBase = `http://127.0.0.1:${enServer.address().port}/`;
      for (const page of [pages.home, pages.article]) {
        const result = await lighthouse(enBase + page, { port: chrome.port, output: 'json', logLevel: 'error',
          onlyCategories: ['accessibility', 'seo'] });
        const report = result.lhr;
        fs.writeFileSync(path.join(artifacts, `en-${path.basename(page, '.html')}.json`), result.report);
        const why = `${page}: ${JSON.stringify(scoresOf(report))}\n${failing(report)}`;
        for (const id of ['html-has-lang', 'html-lang-valid']) assert.equal(report.audits[id].score, 1, why);
        assert.equal(scoresOf(report).accessibility, 100, why);
        assert.equal(scoresOf(report).seo, 100, why);
        assert.match(fs.readFileSync(path.join(en, 'public', decodeURIComponent(page)), 'utf8'),
          /<html lang="en"/);
      }
    } finally {
      enServer.close();
    }
  });

  // An article with three photos of a phone camera's size, published as
  // the bundled theme asks ("images": {"responsive": true}): Lighthouse's
  // image audits pass (properly sized images, modern formats, explicit
  // width and height, offscreen images deferred) and the markup is valid.
  it('passes the image audits on an article with three photos', async () => {
    const photos = path.join(dir, 'photos');
    for (const part of ['config', 'themes', 'template'])
      fs.cpSync(path.join(ws, part), path.join(photos, part), { recursive: true });
    fs.mkdirSync(path.join(photos, 'static', 'images'), { recursive: true });
    fs.mkdirSync(path.join(photos, '_posts'));
    let body = '---\ntitle: Three photos\ndate: 2026-01-02 10:00:00\n---\n\n';
    for (const [n, colours] of ['skyblue-navy', 'khaki-olive', 'pink-purple'].entries()) {
      execFileSync('convert', ['-size', '4000x3000', `gradient:${colours}`, '-quality', '90',
        path.join(photos, 'static', 'images', `photo-${n}.jpg`)]);
      body += `A paragraph before photo ${n}, long enough to push the next one down the page. `.repeat(12);
      body += `\n\n![Photo ${n} of the lake](../images/photo-${n}.jpg)\n\n`;
    }
    fs.writeFileSync(path.join(photos, '_posts', 'Three photos.md'), body);
    execFileSync(tarn, ['-w', photos, 'build'], { stdio: 'pipe' });
    const html = fs.readFileSync(path.join(photos, 'public', 'articles', 'Three photos.html'), 'utf8');
    assert.equal((html.match(/<picture>/g) || []).length, 3);
    const photoServer = await serve(path.join(photos, 'public'));
    try {
      const url = `http://127.0.0.1:${photoServer.address().port}/articles/Three%20photos.html`;
      for (const preset of ['mobile', 'desktop']) {
        const result = await lighthouse(url, { port: chrome.port, output: 'json', logLevel: 'error',
          onlyCategories: ['performance'] }, preset === 'desktop' ? desktopConfig : undefined);
        fs.writeFileSync(path.join(artifacts, `photos-${preset}.json`), result.report);
        const report = result.lhr;
        for (const id of ['uses-responsive-images', 'modern-image-formats', 'unsized-images',
          'offscreen-images', 'uses-optimized-images']) {
          const audit = report.audits[id];
          assert.ok(audit.score === 1 || audit.scoreDisplayMode === 'notApplicable',
            `${preset} ${id}: ${audit.score} ${audit.displayValue || ''}`);
        }
      }
    } finally {
      photoServer.close();
    }
  });

  // The Nu HTML checker on every page of the audited site, the article with
  // code, maths and an image included.
  it('writes pages the Nu HTML checker finds no error in', (t) => {
    const vnu = path.join(sourceDir, 'web/node_modules/vnu-jar/build/dist/vnu.jar');
    try { execFileSync('java', ['-version'], { stdio: 'ignore' }); } catch {
      t.skip('the Nu HTML checker needs a Java runtime (scripts/setup.sh test)');
      return;
    }
    const html = fs.readdirSync(path.join(ws, 'public'), { recursive: true })
      .filter((f) => f.endsWith('.html')).map((f) => path.join(ws, 'public', f));
    try {
      execFileSync('java', ['-jar', vnu, '--errors-only', ...html], { stdio: 'pipe' });
    } catch (e) {
      assert.fail(String(e.stderr));
    }
  });

  // The three ways a page can be dark or light: the system's setting alone,
  // and the reader's choice with the toggle over a light system.
  const modes = [
    { name: 'light system', dark: false, toggle: false },
    { name: 'dark system', dark: true, toggle: false },
    { name: 'light system, toggled dark', dark: false, toggle: true },
  ];

  it('has no axe-core violations, light or dark', async () => {
    const axe = fs.readFileSync(webRequire.resolve('axe-core/axe.min.js'), 'utf8');
    const tab = await browser.newPage();
    try {
      for (const mode of modes) {
        await tab.emulateMediaFeatures([{ name: 'prefers-color-scheme', value: mode.dark ? 'dark' : 'light' }]);
        for (const [name, page] of Object.entries(pages)) {
          await tab.goto(base + page, { waitUntil: 'load' });
          if (mode.toggle) {
            await tab.click('.theme-toggle');
            await tab.waitForFunction(() => document.documentElement.getAttribute('data-theme') === 'dark');
          }
          await tab.evaluate(axe);
          const violations = await tab.evaluate(async () => (await window.axe.run()).violations
            .map((v) => `${v.id}: ${v.nodes.map((n) => n.target.join(' ')).join(', ')}`));
          assert.deepEqual(violations, [], `${name}, ${mode.name}`);
          await tab.evaluate(() => localStorage.clear());
        }
      }
    } finally {
      await tab.close();
    }
  });

  // A keyword's colour in each mode, with and without the theme's script.
  it('gives code the colours of the page, with or without a script', async () => {
    const tab = await browser.newPage();
    const keyword = () => getComputedStyle(document.querySelector('pre code .hljs-keyword')).color;
    try {
      for (const script of [false, true]) {
        await tab.setJavaScriptEnabled(script);
        for (const mode of modes) {
          if (mode.toggle && !script) continue;
          await tab.emulateMediaFeatures([{ name: 'prefers-color-scheme', value: mode.dark ? 'dark' : 'light' }]);
          await tab.goto(base + pages.article, { waitUntil: 'load' });
          if (mode.toggle) {
            await tab.click('.theme-toggle');
            await tab.waitForFunction(() => document.documentElement.getAttribute('data-theme') === 'dark');
          }
          const dark = mode.dark || mode.toggle;
          assert.equal(await tab.evaluate(keyword), dark ? 'rgb(220, 198, 224)' : 'rgb(121, 40, 161)',
            `${mode.name}, ${script ? 'with' : 'without'} the script`);
          if (script) await tab.evaluate(() => localStorage.clear());
        }
      }
    } finally {
      await tab.close();
    }
  });
});

// tarn serve with a real browser: an open page reloads by itself after a
// post is saved, and shows why when a rebuild fails. And the bundled theme's
// script on a built blog: its words in the blog's language. Headless Chromium is
// driven over its DevTools protocol; the server is the real tarn binary on
// a copy of the serve fixture.
import { describe, it, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { spawn, execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

const sourceDir = process.env.TARN_SOURCE_DIR;
const tarn = process.env.TARN_BINARY;
const chromium = ['chromium', 'chromium-browser', 'google-chrome'].find((c) => {
  try { execFileSync('which', [c], { stdio: 'ignore' }); return true; } catch { return false; }
});

// Starts a program and resolves with the first match of re in its output.
function launch(command, args, re, stream) {
  const child = spawn(command, args, { stdio: ['ignore', 'pipe', 'pipe'] });
  return new Promise((resolve, reject) => {
    let text = '';
    const guard = setTimeout(() => reject(new Error(`${command} did not start: ${text}`)), 60000);
    child[stream].on('data', (chunk) => {
      text += chunk;
      const m = re.exec(text);
      if (m) {
        clearTimeout(guard);
        resolve({ child, match: m });
      }
    });
    child.on('exit', () => reject(new Error(`${command} ended: ${text}`)));
  });
}

// A minimal DevTools client: one page, flattened session.
class Browser {
  static async open(endpoint) {
    const b = new Browser();
    b.ws = new WebSocket(endpoint);
    b.next = 1;
    b.waiting = new Map();
    b.ws.onmessage = (e) => {
      const msg = JSON.parse(e.data);
      if (msg.id && b.waiting.has(msg.id)) {
        const { resolve, reject } = b.waiting.get(msg.id);
        b.waiting.delete(msg.id);
        if (msg.error) reject(new Error(msg.error.message)); else resolve(msg.result);
      }
    };
    await new Promise((resolve, reject) => { b.ws.onopen = resolve; b.ws.onerror = reject; });
    return b;
  }
  send(method, params = {}, sessionId) {
    const id = this.next++;
    this.ws.send(JSON.stringify({ id, method, params, sessionId }));
    return new Promise((resolve, reject) => this.waiting.set(id, { resolve, reject }));
  }
  async newPage(url) {
    const { targetId } = await this.send('Target.createTarget', { url });
    const { sessionId } = await this.send('Target.attachToTarget', { targetId, flatten: true });
    this.session = sessionId;
  }
  async evaluate(expression) {
    const r = await this.send('Runtime.evaluate', { expression, returnByValue: true }, this.session);
    return r.result.value;
  }
  // Evaluates expression until it is truthy (a guard keeps a broken server
  // from hanging the suite; nothing is timed).
  async until(expression) {
    const guard = Date.now() + 60000;
    while (Date.now() < guard) {
      try {
        const value = await this.evaluate(expression);
        if (value) return value;
      } catch { /* the page is reloading */ }
      await new Promise((r) => setTimeout(r, 50));
    }
    assert.fail(`never true: ${expression}`);
  }
  close() { this.ws.close(); }
}

describe('tarn serve in a browser', { skip: chromium && tarn ? false : 'no chromium or tarn' }, () => {
  let dir, ws, server, browser, chrome, port;

  before(async () => {
    dir = fs.mkdtempSync(path.join(os.tmpdir(), 'tarn-serve-browser-'));
    ws = path.join(dir, 'ws');
    fs.cpSync(path.join(sourceDir, 'tests/fixtures/serve/blog'), ws, { recursive: true });
    const s = await launch(tarn, ['-w', ws, 'serve', '--port', '0'], /127\.0\.0\.1:(\d+)\//, 'stdout');
    server = s.child;
    port = s.match[1];
    const c = await launch(chromium, ['--headless', '--no-sandbox', '--disable-gpu',
      '--remote-debugging-port=0', `--user-data-dir=${path.join(dir, 'profile')}`, 'about:blank'],
    /DevTools listening on (ws:\S+)/, 'stderr');
    chrome = c.child;
    browser = await Browser.open(c.match[1]);
    await browser.newPage(`http://127.0.0.1:${port}/articles/Hello.html`);
  });

  // Resolves with the exit code once the child has ended.
  const ended = (child) => new Promise((resolve) => {
    if (!child || child.exitCode !== null) resolve(child?.exitCode);
    else child.on('exit', (code) => resolve(code));
  });

  after(async () => {
    browser?.close();
    chrome?.kill();
    await ended(chrome);
    server?.kill('SIGINT');
    const status = await ended(server);
    fs.rmSync(dir, { recursive: true, force: true, maxRetries: 5 });
    assert.equal(status, 0, 'Ctrl+C ends tarn serve with status 0');
  });

  it('reloads an open page after a save, and shows a failed rebuild over it', async () => {
    await browser.until(`document.querySelector('.content') &&
      document.querySelector('.content').textContent.includes('First words.')`);
    // A mark that a reload wipes out.
    await browser.evaluate('window.tarnMark = 1');
    fs.writeFileSync(path.join(ws, '_posts/Hello.md'),
      '----------\ntitle|Hello|2020\n----------\nSaved again.\n');
    await browser.until(`!window.tarnMark && document.querySelector('.content') &&
      document.querySelector('.content').textContent.includes('Saved again.')`);

    const good = fs.readFileSync(path.join(ws, 'themes/plain/index.mtpl'), 'utf8');
    await browser.evaluate('window.tarnMark = 2');
    fs.writeFileSync(path.join(ws, 'themes/plain/index.mtpl'), '{-extend name="./nowhere.mtpl"}\n');
    const panel = await browser.until(`document.querySelector('[data-tarn-serve-error]') &&
      document.querySelector('[data-tarn-serve-error]').textContent`);
    assert.match(panel, /nowhere\.mtpl/);
    // The page under it is the last good one, not reloaded.
    assert.equal(await browser.evaluate('window.tarnMark'), 2);
    assert.match(await browser.evaluate('document.body.textContent'), /Saved again\./);

    fs.writeFileSync(path.join(ws, 'themes/plain/index.mtpl'), good);
    await browser.until(`!window.tarnMark && !document.querySelector('[data-tarn-serve-error]')`);
  });

  // The search page's status line in the page's words; list days as the
  // build wrote them for a blog with a language, cut to the day from the
  // full time for one without.
  it('runs the bundled theme in the blog\'s language', async () => {
    const cases = [
      { language: null, found: '找到 2 篇文章', none: '没有找到相关文章', day: /^\d{4}-\d{2}-\d{2}$/ },
      { language: 'en', found: '2 posts found', none: 'No posts found', day: /^[A-Z][a-z]+ \d{1,2}, \d{4}$/ },
    ];
    for (const c of cases) {
      const blog = path.join(dir, `lake-${c.language}`);
      fs.cpSync(path.join(sourceDir, 'tests/fixtures/serve/blog'), blog, { recursive: true });
      // The theme as the build put it beside tarn, with its search library.
      fs.cpSync(path.join(path.dirname(tarn), 'themes/lake'), path.join(blog, 'themes/lake'), { recursive: true });
      fs.writeFileSync(path.join(blog, '_posts/Lake.md'),
        '---\ntitle: Lake words\ndate: 2024-06-15 06:20:00\n---\nFirst light on the lake.\n');
      const settings = JSON.parse(fs.readFileSync(path.join(blog, 'config/base.json'), 'utf8'));
      settings.system.theme = 'lake';
      if (c.language) settings.system.language = c.language;
      fs.writeFileSync(path.join(blog, 'config/base.json'), JSON.stringify(settings));
      execFileSync(tarn, ['-w', blog, 'build'], { stdio: 'ignore' });
      const site = `file://${path.join(blog, 'public')}`;

      await browser.newPage(`${site}/search.html?q=first`);
      assert.equal(await browser.until(`document.getElementById('search-status').textContent`), c.found);
      await browser.evaluate(`(() => { const i = document.getElementById('search-input');
        i.value = 'nowhere'; i.dispatchEvent(new Event('input')); })()`);
      assert.equal(await browser.evaluate(`document.getElementById('search-status').textContent`), c.none);

      await browser.newPage(`${site}/index.html`);
      await browser.until(`document.readyState === 'complete'`);
      const days = await browser.evaluate(`Array.from(document.querySelectorAll('.post-list time'),
        (t) => t.textContent)`);
      assert.ok(days.length > 0);
      for (const day of days) assert.match(day, c.day);
    }
  });
});

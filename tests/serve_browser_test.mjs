// tarn serve with a real browser: an open page reloads by itself after a
// post is saved, and shows why when a rebuild fails. Headless Chromium is
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
});

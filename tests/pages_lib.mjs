// Helpers for pages_test.mjs: run a page's scripts the way the program's
// headless script host does (no DOM), and render the demo theme with a small
// model of the native template engine, so the theme can be checked without
// the C++ build.
import fs from 'node:fs';
import path from 'node:path';
import vm from 'node:vm';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
export const sourceDir = process.env.TARN_SOURCE_DIR || path.resolve(here, '..');
export const buildDir = process.env.TARN_BUILD_DIR || path.join(sourceDir, 'build');
export const workspaceDir = path.join(sourceDir, 'workspace');
export const templateDir = path.join(workspaceDir, 'template');
// Vendor files are copied from web/node_modules at build time.
export const vendorDir = path.join(buildDir, 'template', 'vendor');

// The <script> elements of a page in document order: { src } or { code }.
export function pageScripts(html) {
  const scripts = [];
  const re = /<script\b([^>]*)>([\s\S]*?)<\/script>/gi;
  for (const m of html.matchAll(re)) {
    const src = /\bsrc\s*=\s*"([^"]*)"/i.exec(m[1]);
    scripts.push(src ? { src: src[1] } : { code: m[2] });
  }
  return scripts;
}

// Where a page's relative reference is on disk: vendor/ from the build,
// everything else beside the page in the source workspace.
export function resolvePageFile(pageDir, ref) {
  if (ref.startsWith('vendor/')) return path.join(vendorDir, ref.slice('vendor/'.length));
  return path.join(pageDir, ref);
}

// Runs every script of the page at pagePath in a fresh context whose global
// object is also `window` and that has no document, as the headless host
// does. Returns the context; a script that throws fails the call. With
// through, the scripts stop after the one whose src that is (the converter
// of a page whose later scripts need a DOM, such as the editor).
export function loadHeadless(pagePath, { through } = {}) {
  const html = fs.readFileSync(pagePath, 'utf8');
  const context = vm.createContext({ console });
  vm.runInContext('var window = this;', context);
  for (const script of pageScripts(html)) {
    if (through && context.__through) break;
    if (through && script.src === through) context.__through = true;
    if (script.src !== undefined) {
      const file = resolvePageFile(path.dirname(pagePath), script.src);
      vm.runInContext(fs.readFileSync(file, 'utf8'), context, { filename: file });
    } else {
      vm.runInContext(script.code, context, { filename: pagePath + ' (inline)' });
    }
  }
  return context;
}

// --- a model of the native template engine ------------------------------

function lookup(data, p) {
  let node = data;
  for (const part of p.match(/[^.[\]]+|\[\d+\]/g) || []) {
    if (node === null || typeof node !== 'object') return undefined;
    node = part.startsWith('[') ? node[Number(part.slice(1, -1))] : node[part];
  }
  return node;
}

// Text of a path: strings as they are, numbers and booleans literally,
// anything else (missing, object, array) as empty text.
export function getText(data, p) {
  const v = lookup(data, p);
  if (typeof v === 'string') return v;
  if (typeof v === 'number' || typeof v === 'boolean') return String(v);
  return '';
}

// A placeholder's text: "PATH|e" gives PATH's text with & < > " ' as
// character references.
const kEscapes = { '&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;', "'": '&apos;' };
function placeholderText(data, p) {
  if (p.length <= 2 || !p.endsWith('|e')) return getText(data, p);
  return getText(data, p.slice(0, -2)).replace(/[&<>"']/g, (c) => kEscapes[c]);
}

function count(data, p) {
  const v = lookup(data, p);
  if (Array.isArray(v)) return v.length;
  if (v && typeof v === 'object') return Object.keys(v).length;
  return 0;
}

const replaceAll = (text, what, by) => text.split(what).join(by);

export function expandLoops(text, data) {
  const loops = [...text.matchAll(/{-volist name="(.*?)" key="(.*?)"}([\s\S]*?){-volist\/}/gi)];
  for (const [whole, name, key, body] of loops) {
    let acc = '';
    const fields = [...body.matchAll(new RegExp('{\\$' + key + '\\.(.*?)}', 'gi'))];
    for (let j = 0; j < count(data, name); j++) {
      let w = body;
      for (const f of fields) w = replaceAll(w, f[0], placeholderText(data, `${name}[${j}].${f[1]}`));
      acc += w + '\r\n';
    }
    text = replaceAll(text, whole, acc);
  }
  return text;
}

export function renderTemplate(templateText, data, themeDir) {
  let t = templateText;
  const extend = /{-extend name="(.*?)"}/i.exec(t);
  const blocks = [...t.matchAll(/{-block name="(.*?)"}([\s\S]*?){-block\/}/gi)];
  if (extend) {
    const layoutPath = replaceAll(extend[1], './', themeDir + '/');
    let layout = fs.existsSync(layoutPath) ? fs.readFileSync(layoutPath, 'utf8') : '';
    for (const [, name, content] of blocks) layout = replaceAll(layout, `{-block name="${name}"}`, content);
    t = layout.replace(/{-block name="(.*?)"}/gi, '');
  }
  t = expandLoops(t, data);
  for (const m of [...t.matchAll(/{\$(.*?)}/gi)]) t = replaceAll(t, m[0], placeholderText(data, m[1]));
  return t;
}

// --- site data as the builder makes it ---------------------------------

const MONTHS = ['一', '二', '三', '四', '五', '六', '七', '八', '九', '一十', '一十一', '一十二'];
export const monthKey = (time) =>
  `${MONTHS[Number(time.slice(5, 7)) - 1]}月,${Number(time.slice(0, 4))}`;

// posts: [{ file, content, post_time, update_time }] in listing order.
export function siteData(base, themeConf, posts, { prefix = '.' } = {}) {
  const data = structuredClone(base);
  data.system.articleCount = String(posts.length);
  data.system.head = '<meta name="generator" content="TarnBlogEditor">\r\n<meta name="author" content="MORVEN Tarn" />';
  data.assetsPath = prefix + '/assets';
  data.theme = structuredClone(themeConf);
  data.create_time = '2026-1-2 03:04:05';
  data.generation_tool = 'TarnBlogEditor';
  data.posts = [];
  data.timeline = [];
  for (const p of posts) {
    const title = p.file.replace(/\.md/gi, '');
    const record = {
      title,
      url: `${prefix}/articles/${title}.html`,
      absolute_url: `${data.system.url}/articles/${title}.html`,
      content: p.content,
      author: data.system.author,
      post_time: p.post_time,
      update_time: p.update_time,
    };
    data.posts.push(record);
    const key = monthKey(p.post_time);
    let group = data.timeline.find((g) => g.date === key);
    if (!group) data.timeline.push((group = { date: key, posts: [] }));
    group.posts.push(record);
  }
  return data;
}

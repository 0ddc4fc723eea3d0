// lake theme: the light/dark toggle, and small touches over the generated
// HTML. Every page works without this script; it only improves them.
(function () {
  'use strict';

  var KEY = 'lake-theme';
  var root = document.documentElement;

  function stored() {
    try { return localStorage.getItem(KEY); } catch (e) { return null; }  // file:// or privacy mode
  }
  function store(value) {
    try { localStorage.setItem(KEY, value); } catch (e) { /* not kept; still applied */ }
  }
  function systemDark() {
    return !!(window.matchMedia && window.matchMedia('(prefers-color-scheme: dark)').matches);
  }

  // Runs in <head>, before the body is drawn, so a dark choice never flashes light.
  var choice = stored();
  if (choice === 'dark' || choice === 'light') root.setAttribute('data-theme', choice);

  function isDark() {
    var t = root.getAttribute('data-theme');
    return t ? t === 'dark' : systemDark();
  }

  // "2020-02-05 14:03:09" -> a sortable key; anything else sorts last.
  function timeKey(text) {
    return /^\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}$/.test(text || '') ? text : '';
  }

  function newestFirst(a, b) {
    var ka = a.key, kb = b.key;
    return ka === kb ? a.index - b.index : (ka < kb ? 1 : -1);
  }

  // Children in the order of their keys, newest first; ties keep their order.
  function sortChildren(parent, keyOf) {
    var items = Array.prototype.map.call(parent.children, function (el, i) {
      return { el: el, key: keyOf(el), index: i };
    });
    items.sort(newestFirst);
    items.forEach(function (item) { parent.appendChild(item.el); });
  }

  function latestIn(section) {
    var latest = '';
    Array.prototype.forEach.call(section.querySelectorAll('time[datetime]'), function (t) {
      var k = timeKey(t.getAttribute('datetime'));
      if (k > latest) latest = k;
    });
    return latest;
  }

  document.addEventListener('DOMContentLoaded', function () {
    var toggle = document.querySelector('.theme-toggle');
    if (toggle) {
      toggle.addEventListener('click', function () {
        var next = isDark() ? 'light' : 'dark';
        root.setAttribute('data-theme', next);
        store(next);
        codeColours();
      });
    }
    codeColours();
    startSearch();

    // Posts come in the order of the files in _posts; readers expect the newest first.
    Array.prototype.forEach.call(document.querySelectorAll('.post-list[data-sort="time"]'), function (list) {
      sortChildren(list, function (li) { return timeKey(li.getAttribute('data-time')); });
    });
    Array.prototype.forEach.call(document.querySelectorAll('.timeline[data-sort="time"]'), function (line) {
      Array.prototype.forEach.call(line.querySelectorAll('.month-posts'), function (ol) {
        sortChildren(ol, function (li) {
          var t = li.querySelector('time[datetime]');
          return li.getAttribute('data-u') ? timeKey(t && t.getAttribute('datetime')) : '';
        });
      });
      sortChildren(line, latestIn);
    });

    // Lists show the day; the full time stays in the tooltip. A day the
    // build already wrote in the blog's language is left as it is.
    Array.prototype.forEach.call(document.querySelectorAll('.post-list time, .month-posts time'), function (t) {
      var full = t.getAttribute('datetime') || '';
      if (timeKey(full) && t.textContent === full) {
        t.title = full;
        t.textContent = full.slice(0, 10);
      }
    });
  });

  // Code blocks take the colours of the page's light or dark mode. Without a
  // choice the stylesheets' media queries follow the system, script or not;
  // a reader's choice overrides them.
  function codeColours() {
    var chosen = root.getAttribute('data-theme');
    if (!chosen) return;
    Array.prototype.forEach.call(document.querySelectorAll('link.code-light, link.code-dark'), function (link) {
      link.media = link.classList.contains('code-' + chosen) ? 'all' : 'not all';
    });
  }

  // Words in Latin scripts are whole tokens; Chinese, Japanese and Korean
  // text is searched character by character, as it has no spaces.
  function tokens(text) {
    var out = [];
    String(text || '').toLowerCase().replace(/[\u3040-\u30ff\u3400-\u9fff\uac00-\ud7af\uf900-\ufaff]|[^\s\u3000-\u303f\uff00-\uffef!-\/:-@\[-`{-~\u3040-\u30ff\u3400-\u9fff\uac00-\ud7af\uf900-\ufaff]+/g,
      function (token) { out.push(token); return token; });
    return out;
  }

  // Adds the scripts named in the form's data-scripts, in order, and calls
  // done once the last has run.
  function loadScripts(names, done) {
    names.forEach(function (src, i) {
      var script = document.createElement('script');
      script.src = src;
      script.async = false;  // run in the order added
      if (i === names.length - 1) script.onload = done;
      document.head.appendChild(script);
    });
  }

  // The search library and the blog's index load when the reader starts a
  // search (or the address asks for one), so the page draws and settles
  // without them.
  function startSearch() {
    var input = document.getElementById('search-input');
    if (!input || !input.form.getAttribute('data-scripts')) return;
    var status = document.getElementById('search-status');
    var list = document.getElementById('search-results');
    var index = null, loading = false;
    function build() {
      var entries = window.tarnSearchIndex || [];
      index = new window.MiniSearch({
        fields: ['title', 'tagText', 'text'],
        storeFields: ['title', 'url', 'date'],
        tokenize: tokens,
        searchOptions: { boost: { title: 3, tagText: 2 }, prefix: true, combineWith: 'AND', tokenize: tokens }
      });
      index.addAll(entries.map(function (entry, i) {
        return { id: i, title: entry.title, url: entry.url, date: entry.date,
                 tagText: (entry.tags || []).join(' '), text: entry.text };
      }));
    }
    function ready() {
      if (!window.MiniSearch) return false;
      if (!index) build();
      return true;
    }
    function load() {
      if (loading) return;
      loading = true;
      loadScripts(input.form.getAttribute('data-scripts').split(' '), show);
    }
    function show() {
      if (!ready()) { load(); return; }
      var query = input.value.trim();
      list.textContent = '';
      if (!query) { status.textContent = ''; return; }
      var found = index.search(query);
      // The texts in the blog's language, where the page carries them.
      status.textContent = found.length
        ? (status.getAttribute('data-found') || '找到 {n} 篇文章').replace('{n}', found.length)
        : status.getAttribute('data-none') || '没有找到相关文章';
      found.slice(0, 50).forEach(function (hit) {
        var li = document.createElement('li');
        li.className = 'post-item';
        var a = document.createElement('a');
        a.className = 'post-link';
        a.href = hit.url;
        a.textContent = hit.title;
        var meta = document.createElement('p');
        meta.className = 'post-meta';
        meta.textContent = String(hit.date || '').slice(0, 10);
        li.appendChild(a);
        li.appendChild(meta);
        list.appendChild(li);
      });
    }
    input.addEventListener('focus', load);
    input.addEventListener('input', show);
    input.form.addEventListener('submit', function (event) { event.preventDefault(); show(); });
    var asked = /[?&]q=([^&]*)/.exec(location.search);
    if (asked) { input.value = decodeURIComponent(asked[1].replace(/\+/g, ' ')); show(); }
  }
})();

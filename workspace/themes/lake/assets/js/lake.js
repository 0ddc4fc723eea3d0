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
      });
    }

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

    // Lists show the day; the full time stays in the tooltip.
    Array.prototype.forEach.call(document.querySelectorAll('.post-list time, .month-posts time'), function (t) {
      var full = t.getAttribute('datetime') || '';
      if (timeKey(full)) {
        t.title = full;
        t.textContent = full.slice(0, 10);
      }
    });
  });
})();

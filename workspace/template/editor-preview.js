// Addresses in the post editor's preview.
//
// A post's relative addresses are written for its article page,
// public/post/NAME.html, while the preview is template/editor.html. The
// build fills public/ from the active theme's assets/ (public/assets/) and
// from the workspace's static/ (everything else), so the preview points an
// address at the file the built page would load: public/assets/X at
// themes/THEME/assets/X (then static/assets/X, as the build lets a static
// file stand in where the theme has none), any other public/X at static/X.
// An address that climbs out of public/ is refused: the preview would
// otherwise reach files of the workspace, or beyond, that the site never
// shows.
//
// tarnPreviewAddress is a pure function (tested in node); the rest needs
// the editor page's DOM and DOMPurify.
(function (global) {
  'use strict';

  // A theme's name as system.theme gives it: one folder name under themes/.
  function safeTheme(theme) {
    return typeof theme === 'string' && /^[^\/\\]+$/.test(theme) && theme !== '.' && theme !== '..';
  }

  // What the preview loads for src, an address on the article page of a
  // post: src itself when it is no relative address (a scheme, "//host",
  // "#anchor", empty), '' when it leads out of public/, else the file of
  // the workspace, relative to template/. theme is system.theme ('' when
  // unknown: assets are then looked for in static/).
  function previewAddress(src, theme) {
    var address = String(src).trim();
    if (!address || /^[a-z][a-z0-9+.\-]*:/i.test(address) || /^[\/\\]{2}/.test(address) ||
        address.charAt(0) === '#') {
      return src;
    }
    var cut = address.search(/[?#]/);
    var rest = cut < 0 ? '' : address.slice(cut);
    var path = cut < 0 ? address : address.slice(0, cut);
    // As the browser reads it: "\" is "/", "%2e" is ".".
    var parts = path.replace(/\\/g, '/').split('/');
    var at = path.charAt(0) === '/' || path.charAt(0) === '\\' ? [] : ['post'];
    for (var i = 0; i < parts.length; i++) {
      var part = parts[i].replace(/%2e/gi, '.');
      if (part === '' || part === '.') continue;
      if (part === '..') {
        if (!at.length) return '';
        at.pop();
      } else {
        at.push(parts[i]);
      }
    }
    if (!at.length) return '';
    var inPublic = at.join('/');
    if (at[0] === 'assets' && safeTheme(theme)) return '../themes/' + theme + '/' + inPublic + rest;
    return '../static/' + inPublic + rest;
  }
  global.tarnPreviewAddress = previewAddress;

  if (!global.document || !global.DOMPurify) return;

  var theme = null;   // until base.json has been read
  // The active theme, from config/base.json beside template/; read when the
  // page starts and each time a post is put in (the manager may have
  // switched themes meanwhile). The preview is drawn again when it changes.
  function readTheme() {
    var request = new XMLHttpRequest();
    request.open('GET', '../config/base.json');
    request.onload = function () {
      var read = '';
      try {
        var system = JSON.parse(request.responseText).system;
        read = system && safeTheme(system.theme) ? system.theme : '';
      } catch (e) {
        read = '';
      }
      if (read === theme) return;
      theme = read;
      redraw();
    };
    request.send();
  }
  function redraw() {
    var side = global.document.querySelector('.editor-preview-active-side');
    var editor = global.tarnEditor;
    if (side && editor && global.tarnPreview) side.innerHTML = global.tarnPreview(editor.value());
  }

  // Theme assets that the theme lacks may come from static/ (see above).
  var fallback = 'data-tarn-static';
  global.DOMPurify.addHook('afterSanitizeAttributes', function (node) {
    var src = node.getAttribute && node.getAttribute('src');
    if (!src) return;
    var shown = previewAddress(src, theme || '');
    if (shown === '') {
      node.removeAttribute('src');
    } else if (shown !== src) {
      node.setAttribute('src', shown);
      var plain = previewAddress(src, '');
      if (plain !== shown) node.setAttribute(fallback, plain);
    }
  });
  global.document.addEventListener('error', function (event) {
    var node = event.target;
    var other = node && node.getAttribute && node.getAttribute(fallback);
    if (!other) return;
    node.removeAttribute(fallback);
    node.setAttribute('src', other);
  }, true);

  var setValue = global.setValue;
  global.setValue = function () {
    readTheme();
    return setValue.apply(this, arguments);
  };
  readTheme();
})(this);

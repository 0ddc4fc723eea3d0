// What the editor page's own parts (editor-front-matter.js,
// editor-outline.js, editor-front-matter-form.js) share: the program's
// translation of a text the page shows, a toolbar button of their own, and
// a panel that follows the text.
(function (global) {
  'use strict';

  // The desktop program's translation (tarnText), or the page's own text.
  function text(key, fallback, value) {
    return typeof global.tarnText === 'function' ? global.tarnText(key, fallback, value) : fallback;
  }

  // A button in the editor's toolbar, after the history button: class
  // name, a Font Awesome icon, the title under titleKey (fallback), action
  // on a click. Returns it, or null on a page without the toolbar.
  function toolbarButton(name, icon, titleKey, fallback, action) {
    var editor = global.tarnEditor;
    var toolbar = global.document.querySelector('.editor-toolbar');
    if (!editor || !toolbar) return null;
    var button = global.document.createElement('button');
    button.type = 'button';
    button.className = name + ' no-disable';
    button.title = text(titleKey, fallback);
    button.setAttribute('aria-label', button.title);
    var glyph = global.document.createElement('i');
    glyph.className = 'fa-solid fa-' + icon;
    button.appendChild(glyph);
    button.addEventListener('click', action);
    var after = editor.toolbarElements && editor.toolbarElements.history;
    toolbar.insertBefore(button, after ? after.nextSibling : null);
    // The toolbar may take another row now: the page fits the text to the
    // window again on a resize.
    global.dispatchEvent(new global.Event('resize'));
    return button;
  }

  // A panel that follows the text while it is shown: refresh runs 300 ms
  // after the last change, place on every resize of the window.
  function followWhileShown(cm, panel, refresh, place) {
    var pending = 0;
    cm.on('changes', function () {
      if (panel.hidden) return;
      clearTimeout(pending);
      pending = setTimeout(refresh, 300);
    });
    global.addEventListener('resize', function () {
      if (!panel.hidden) place();
    });
  }

  global.tarnEditorParts = {
    text: text,
    toolbarButton: toolbarButton,
    followWhileShown: followWhileShown
  };
})(this);

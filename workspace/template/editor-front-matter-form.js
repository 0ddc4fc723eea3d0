// The front-matter form of the post editor: a panel that drops down over
// the top of the source (the toolbar's button opens and closes it) with the
// post's title, date, updated date, tags, categories, draft, description,
// slug and cover. It shows what the text's front matter says, and each
// field changed is set through the program (tarnSetFrontMatter), which
// edits the block in place, keeping every other key, its order and its
// comments byte for byte; the edited block comes back through
// applyFrontMatter as one undo step. Tags and categories are chips, with
// completion from every tag and category the blog uses (tarnListTags
// answers with showBlogTags). TOML front matter is shown, not edited.
//
// Needs editor-front-matter.js (tarnFrontMatterBlock, tarnFrontMatterValues)
// and the editor page (window.tarnEditor).
(function (global) {
  'use strict';

  var editor = global.tarnEditor;
  if (!editor || !global.document || !global.tarnFrontMatterBlock) return;
  var cm = editor.codemirror;
  var document = global.document;

  var text = global.tarnEditorParts.text;

  // The fields: key, kind (text, date, list, flag) and label.
  var kFields = [
    ['title', 'text', 'fmTitle', '标题'],
    ['date', 'date', 'fmDate', '日期'],
    ['updated', 'date', 'fmUpdated', '更新日期'],
    ['tags', 'list', 'fmTags', '标签'],
    ['categories', 'list', 'fmCategories', '分类'],
    ['draft', 'flag', 'fmDraft', '草稿'],
    ['description', 'text', 'fmDescription', '描述'],
    ['slug', 'text', 'fmSlug', '网址名 slug'],
    ['cover', 'text', 'fmCover', '封面图片']
  ];

  var form = document.createElement('form');
  form.className = 'fm-form';
  form.id = 'fm-form';
  form.hidden = true;
  form.setAttribute('aria-label', text('fmForm', '文章信息'));
  var note = document.createElement('p');
  note.className = 'fm-note';
  note.hidden = true;
  note.textContent = text('fmTomlReadOnly', 'TOML 文章信息只在文本里修改');
  form.appendChild(note);
  var inputs = {};
  var chips = {};
  var suggestions = { tags: [], categories: [] };

  // A date of the front matter ("2020-01-02 08:00:00", "2020-01-02") for a
  // datetime-local input, and back.
  function toInput(value) {
    var m = /^(\d{4}-\d\d-\d\d)(?:[ T](\d\d:\d\d(?::\d\d)?))?/.exec(value || '');
    return m ? m[1] + 'T' + (m[2] || '00:00') : '';
  }
  function fromInput(value) {
    if (!value) return '';
    var time = value.slice(11);
    return value.slice(0, 10) + ' ' + (time.length === 5 ? time + ':00' : time);
  }
  function now() {
    var d = new Date();
    var two = function (n) { return (n < 10 ? '0' : '') + n; };
    return d.getFullYear() + '-' + two(d.getMonth() + 1) + '-' + two(d.getDate()) + 'T' +
        two(d.getHours()) + ':' + two(d.getMinutes()) + ':' + two(d.getSeconds());
  }

  function send(key, kind, value) {
    if (typeof global.tarnSetFrontMatter !== 'function') {
      global.showMsg(text('editorOnly', '只能在 Tarn Blog Editor 程序里使用'), 2);
      return;
    }
    var field = { key: key, kind: kind };
    if (kind === 'list') field.values = value;
    else field.value = value;
    global.tarnSetFrontMatter(JSON.stringify({ text: cm.getValue(), fields: [field] }));
  }

  function chipList(key) {
    return Array.prototype.map.call(chips[key].querySelectorAll('.fm-chip'), function (c) {
      return c.getAttribute('data-value');
    });
  }
  function addChip(key, value) {
    var box = chips[key];
    var chip = document.createElement('span');
    chip.className = 'fm-chip';
    chip.setAttribute('data-value', value);
    chip.textContent = value;
    var remove = document.createElement('button');
    remove.type = 'button';
    remove.textContent = '×';
    remove.title = value;
    remove.addEventListener('click', function () {
      box.removeChild(chip);
      send(key, 'list', chipList(key));
    });
    chip.appendChild(remove);
    box.insertBefore(chip, inputs[key]);
  }

  function field(fieldDef) {
    var key = fieldDef[0];
    var kind = fieldDef[1];
    // A row is no <label>: a click on a chip's button would reach the
    // label's first button too.
    var row = document.createElement('div');
    row.className = 'fm-row fm-' + kind;
    var name = document.createElement('label');
    name.className = 'fm-label';
    name.textContent = text(fieldDef[2], fieldDef[3]);
    name.htmlFor = 'fm-' + key;
    row.appendChild(name);
    var input = document.createElement(key === 'description' ? 'textarea' : 'input');
    input.name = key;
    input.id = 'fm-' + key;
    inputs[key] = input;
    if (kind === 'flag') {
      input.type = 'checkbox';
      row.insertBefore(input, name);
      input.addEventListener('change', function () { send(key, 'literal', input.checked ? 'true' : 'false'); });
    } else if (kind === 'date') {
      input.type = 'datetime-local';
      input.step = 1;
      row.appendChild(input);
      var button = document.createElement('button');
      button.type = 'button';
      button.className = 'fm-now';
      button.textContent = text('fmNow', '现在');
      button.addEventListener('click', function () {
        input.value = now();
        send(key, 'literal', fromInput(input.value));
      });
      row.appendChild(button);
      input.addEventListener('change', function () { send(key, 'literal', fromInput(input.value)); });
    } else if (kind === 'list') {
      var box = document.createElement('span');
      box.className = 'fm-chips';
      chips[key] = box;
      input.type = 'text';
      input.setAttribute('list', 'fm-' + key + '-list');
      var known = document.createElement('datalist');
      known.id = 'fm-' + key + '-list';
      box.appendChild(input);
      row.appendChild(box);
      row.appendChild(known);
      input.addEventListener('keydown', function (event) {
        if (event.key !== 'Enter' && event.key !== ',') return;
        event.preventDefault();
        var value = input.value.trim();
        input.value = '';
        if (!value || chipList(key).indexOf(value) >= 0) return;
        addChip(key, value);
        send(key, 'list', chipList(key));
      });
    } else {
      if (input.tagName === 'INPUT') input.type = 'text';
      row.appendChild(input);
      input.addEventListener('change', function () { send(key, 'text', input.value.trim()); });
    }
    form.appendChild(row);
  }
  kFields.forEach(field);
  form.addEventListener('submit', function (event) { event.preventDefault(); });
  document.body.appendChild(form);

  // The form shows the text's front matter; a field being edited is left
  // alone.
  function fill() {
    var lines = cm.getValue().split('\n');
    var block = global.tarnFrontMatterBlock(lines);
    var values = block ? global.tarnFrontMatterValues(lines.slice(1, block.end)) : {};
    var locked = !!block && block.fence === '+++';
    note.hidden = !locked;
    kFields.forEach(function (fieldDef) {
      var key = fieldDef[0];
      var input = inputs[key];
      var value = values[key];
      input.disabled = locked;
      if (input === document.activeElement) return;
      if (fieldDef[1] === 'flag') {
        input.checked = value === 'true';
      } else if (fieldDef[1] === 'date') {
        input.value = toInput(typeof value === 'string' ? value : '');
      } else if (fieldDef[1] === 'list') {
        Array.prototype.slice.call(chips[key].querySelectorAll('.fm-chip')).forEach(function (c) {
          chips[key].removeChild(c);
        });
        (Array.isArray(value) ? value : value ? [value] : []).forEach(function (v) { addChip(key, v); });
      } else {
        input.value = typeof value === 'string' ? value : '';
      }
    });
  }

  // The program's answer to tarnSetFrontMatter: the edited text, of which
  // only the front matter is taken (what was typed meanwhile stays).
  global.applyFrontMatter = function applyFrontMatter(edited) {
    var lines = String(edited).split('\n');
    var block = global.tarnFrontMatterBlock(lines);
    if (!block) return false;
    var old = global.tarnFrontMatterBlock(cm.getValue().split('\n'));
    var to = old ? { line: old.end + 1, ch: 0 } : { line: 0, ch: 0 };
    cm.replaceRange(lines.slice(0, block.end + 1).join('\n') + '\n', { line: 0, ch: 0 }, to, '+frontmatter');
    return true;
  };

  global.showBlogTags = function showBlogTags(json) {
    var listing = JSON.parse(String(json));
    ['tags', 'categories'].forEach(function (key) {
      suggestions[key] = listing[key] || [];
      var known = document.getElementById('fm-' + key + '-list');
      known.textContent = '';
      suggestions[key].forEach(function (value) {
        var option = document.createElement('option');
        option.value = value;
        known.appendChild(option);
      });
    });
    return suggestions.tags.length;
  };

  function place() {
    var box = cm.getWrapperElement().getBoundingClientRect();
    form.style.top = box.top + 'px';
    form.style.left = box.left + 'px';
    form.style.width = box.width + 'px';
  }

  var button = null;
  function toggle() {
    form.hidden = !form.hidden;
    if (button) button.classList.toggle('active', !form.hidden);
    if (form.hidden) {
      cm.focus();
      return;
    }
    fill();
    place();
    if (typeof global.tarnListTags === 'function') global.tarnListTags();
  }
  global.tarnToggleFrontMatterForm = toggle;

  global.tarnEditorParts.followWhileShown(cm, form, fill, place);
  form.addEventListener('keydown', function (event) {
    if (event.key !== 'Escape') return;
    event.preventDefault();   // the key must not reach the text it returns to
    toggle();
  });

  button = global.tarnEditorParts.toolbarButton('front-matter', 'sliders', 'tool.frontMatter',
                                                '文章信息 Front matter', toggle);
})(this);

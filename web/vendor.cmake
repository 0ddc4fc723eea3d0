# Copies the pages' front-end libraries from WEB/node_modules into
# DST/template/vendor. Included by scripts/copy_workspace.cmake with WEB and
# DST set. Unlike the rest of the workspace these files are ours, not the
# blogger's, so they are always brought up to date. The pages load them by
# relative path (vendor/...): nothing is ever fetched from the network.

set(_tarn_modules ${WEB}/node_modules)
set(_tarn_vendor ${DST}/template/vendor)

# source (under node_modules) -> destination (under template/vendor)
set(_tarn_vendor_files
  "markdown-it/dist/browser/markdown-it.umd.min.js|markdown-it.min.js"
  "markdown-it/LICENSE|licenses/markdown-it.txt"
  "markdown-it-footnote/dist/markdown-it-footnote.min.js|markdown-it-footnote.min.js"
  "markdown-it-footnote/LICENSE|licenses/markdown-it-footnote.txt"
  "markdown-it-task-lists/dist/markdown-it-task-lists.min.js|markdown-it-task-lists.min.js"
  "markdown-it-task-lists/LICENSE|licenses/markdown-it-task-lists.txt"
  "markdown-it-deflist/dist/markdown-it-deflist.min.js|markdown-it-deflist.min.js"
  "markdown-it-deflist/LICENSE|licenses/markdown-it-deflist.txt"
  "markdown-it-mark/dist/markdown-it-mark.min.js|markdown-it-mark.min.js"
  "markdown-it-mark/LICENSE|licenses/markdown-it-mark.txt"
  "markdown-it-sub/dist/markdown-it-sub.min.js|markdown-it-sub.min.js"
  "markdown-it-sub/LICENSE|licenses/markdown-it-sub.txt"
  "markdown-it-sup/dist/markdown-it-sup.min.js|markdown-it-sup.min.js"
  "markdown-it-sup/LICENSE|licenses/markdown-it-sup.txt"
  "markdown-it-abbr/dist/markdown-it-abbr.min.js|markdown-it-abbr.min.js"
  "markdown-it-abbr/LICENSE|licenses/markdown-it-abbr.txt"
  "@highlightjs/cdn-assets/styles/a11y-light.min.css|highlight-light.min.css"
  "@highlightjs/cdn-assets/LICENSE|licenses/highlight.js.txt"
  "katex/LICENSE|licenses/katex.txt"
  "mustache/mustache.min.js|mustache.min.js"
  "mustache/LICENSE|licenses/mustache.txt"
  "easymde/dist/easymde.min.js|easymde/easymde.min.js"
  "easymde/dist/easymde.min.css|easymde/easymde.min.css"
  "easymde/LICENSE|licenses/easymde.txt"
  "dompurify/dist/purify.min.js|purify.min.js"
  "dompurify/LICENSE|licenses/dompurify.txt"
  "@fortawesome/fontawesome-free/css/fontawesome.min.css|fontawesome/css/fontawesome.min.css"
  "@fortawesome/fontawesome-free/css/solid.min.css|fontawesome/css/solid.min.css"
  "@fortawesome/fontawesome-free/webfonts/fa-solid-900.woff2|fontawesome/webfonts/fa-solid-900.woff2"
  "@fortawesome/fontawesome-free/LICENSE.txt|licenses/fontawesome-free.txt"
)

# The bundled theme's files: code and maths are rendered by the build (the
# converter page above), so the theme ships only their stylesheets and
# KaTeX's fonts; search runs in the reader's browser. All come from the
# theme's own assets, so pages work offline and from file://. The code
# colours are highlight.js's a11y styles, whose colours keep the contrast
# readers need (WCAG AA) on the theme's light and dark code blocks.
set(_tarn_theme_vendor ${DST}/themes/lake/assets/vendor)
set(_tarn_theme_vendor_files
  "@highlightjs/cdn-assets/styles/a11y-light.min.css|highlight-light.min.css"
  "@highlightjs/cdn-assets/styles/a11y-dark.min.css|highlight-dark.min.css"
  "@highlightjs/cdn-assets/LICENSE|licenses/highlight.js.txt"
  "katex/LICENSE|licenses/katex.txt"
  "minisearch/dist/umd/index.js|minisearch.js"
  "minisearch/LICENSE.txt|licenses/minisearch.txt"
)

if(NOT EXISTS ${_tarn_modules})
  message(WARNING "web/node_modules is missing: run scripts/setup.sh (npm ci in web/); "
                  "the manager and editor pages need template/vendor")
  return()
endif()

# Copies each "from|to" entry of the list named entries from node_modules
# into dest, failing loudly when a file is missing.
function(_tarn_copy_vendor_files entries dest)
  foreach(_entry ${${entries}})
    string(REPLACE "|" ";" _pair "${_entry}")
    list(GET _pair 0 _from)
    list(GET _pair 1 _to)
    if(NOT EXISTS ${_tarn_modules}/${_from})
      message(FATAL_ERROR "web/node_modules/${_from} is missing: run npm ci in web/")
    endif()
    get_filename_component(_dir ${dest}/${_to} DIRECTORY)
    file(MAKE_DIRECTORY ${_dir})
    file(COPY_FILE ${_tarn_modules}/${_from} ${dest}/${_to} ONLY_IF_DIFFERENT)
  endforeach()
endfunction()

# Writes text to path unless the file holds it already (its time stamp then
# stays, and nothing that depends on it is redone).
function(_tarn_write_if_changed path text)
  set(_old "")
  if(EXISTS ${path})
    file(READ ${path} _old)
  endif()
  if(NOT _old STREQUAL text)
    get_filename_component(_dir ${path} DIRECTORY)
    file(MAKE_DIRECTORY ${_dir})
    file(WRITE ${path} "${text}")
  endif()
endfunction()

# The converter page's libraries for code and maths (highlight.js, KaTeX),
# which only some posts need: each is wrapped in a function,
# tarnOnDemand.NAME, that runs the library and returns it. A script engine
# loading the page then only reads them; a conversion host whose posts have
# no code or maths to render never spends the time running them.
function(_tarn_copy_on_demand from to name)
  file(READ ${_tarn_modules}/${from} _library)
  _tarn_write_if_changed(${_tarn_vendor}/${to}
    "(globalThis.tarnOnDemand = globalThis.tarnOnDemand || {}).${name} = function () {\n${_library}\n;return ${name};\n};\n")
endfunction()

# KaTeX's stylesheet and fonts into dest/katex. Its fonts are declared with
# font-display: block, which keeps a formula's text invisible until they
# arrive; the copy says swap, so text draws at once in a fallback font. Only
# the WOFF2 fonts are shipped (every current browser reads them), so the
# copy names no WOFF or TrueType fallback.
function(_tarn_copy_katex_styles dest)
  file(READ ${_tarn_modules}/katex/dist/katex.min.css _css)
  string(REPLACE "font-display:block" "font-display:swap" _css "${_css}")
  string(REGEX REPLACE ",url\\(fonts/[A-Za-z0-9_-]+\\.woff\\) format\\(\"woff\"\\),url\\(fonts/[A-Za-z0-9_-]+\\.ttf\\) format\\(\"truetype\"\\)"
         "" _css "${_css}")
  file(MAKE_DIRECTORY ${dest}/katex/fonts)
  _tarn_write_if_changed(${dest}/katex/katex.min.css "${_css}")
  file(GLOB _fonts ${_tarn_modules}/katex/dist/fonts/*.woff2)
  foreach(_font ${_fonts})
    get_filename_component(_name ${_font} NAME)
    file(COPY_FILE ${_font} ${dest}/katex/fonts/${_name} ONLY_IF_DIFFERENT)
  endforeach()
endfunction()

_tarn_copy_vendor_files(_tarn_vendor_files ${_tarn_vendor})
_tarn_copy_vendor_files(_tarn_theme_vendor_files ${_tarn_theme_vendor})
_tarn_copy_on_demand(@highlightjs/cdn-assets/highlight.min.js on-demand/highlight.min.js hljs)
_tarn_copy_on_demand(katex/dist/katex.min.js on-demand/katex.min.js katex)
_tarn_copy_katex_styles(${_tarn_vendor})
_tarn_copy_katex_styles(${_tarn_theme_vendor})

"""Deterministic blog posts for the site benchmark.

Each post is realistic Markdown of about 6 KB: headings, paragraphs mixing
English and Chinese, bullet and numbered lists, fenced code, a table, links,
emphasis and a quote. The same seed always gives the same posts, so runs on
different days (and different tools in one run) see identical input.
"""

import datetime
import random

ENGLISH = (
    "static site generator template render build deploy theme layout markdown "
    "archive feed index timeline article draft publish commit branch remote "
    "cache memory thread string buffer parser token heading paragraph table "
    "column row link image code block quote list item number bullet reader "
    "writer blogger morning evening weekend travel river mountain coffee tea "
    "garden winter summer autumn spring library station window keyboard "
    "notebook journal letter history science music painting kitchen bicycle"
).split()

CHINESE = (
    "静态网站 生成器 模板 渲染 部署 主题 布局 文章 归档 订阅 首页 时间线 草稿 发布 "
    "提交 分支 远程 缓存 内存 线程 字符串 解析 标题 段落 表格 链接 图片 代码 引用 "
    "列表 读者 作者 早晨 傍晚 周末 旅行 河流 山峰 咖啡 茶 花园 冬天 夏天 秋天 春天 "
    "图书馆 车站 窗户 键盘 笔记本 日记 信件 历史 科学 音乐 绘画 厨房 自行车"
).split()

LANGS = ("python", "cpp", "bash", "javascript", "go")

CODE = {
    "python": [
        "def {w}_{n}(items):",
        "    total = 0",
        "    for item in items:",
        "        total += len(item) * {n}",
        "    return total",
    ],
    "cpp": [
        "int {w}_{n}(const std::vector<int>& v) {{",
        "  int sum = 0;",
        "  for (int x : v) sum += x * {n};",
        "  return sum;",
        "}}",
    ],
    "bash": [
        "for f in _posts/*.md; do",
        "  echo \"{w} $f\" | wc -c",
        "done",
        "tarn build -w ~/blog && echo {n}",
    ],
    "javascript": [
        "function {w}{n}(list) {{",
        "  return list.filter((x) => x.length > {n})",
        "             .map((x) => x.toUpperCase());",
        "}}",
    ],
    "go": [
        "func {w}{n}(xs []string) int {{",
        "\tn := 0",
        "\tfor _, x := range xs {{ n += len(x) }}",
        "\treturn n + {n}",
        "}}",
    ],
}

TARGET_BYTES = 6 * 1024
FIRST_DAY = datetime.datetime(2015, 1, 1, 8, 0, 0)


class Post:
    """One post: file stem, title, date, body (Markdown, LF line ends)."""

    def __init__(self, stem, title, date, body):
        self.stem = stem
        self.title = title
        self.date = date
        self.body = body


def _sentence(rng, words=None):
    words = words or rng.randint(8, 18)
    parts = []
    for _ in range(words):
        if rng.random() < 0.35:
            parts.append(rng.choice(CHINESE))
        else:
            parts.append(rng.choice(ENGLISH))
    text = " ".join(parts)
    return text[0].upper() + text[1:] + rng.choice((".", ".", "。", "!", "?"))


def _inline(rng, text):
    """Sprinkles emphasis, inline code and links into a sentence."""
    words = text.split(" ")
    for _ in range(rng.randint(0, 3)):
        i = rng.randrange(len(words))
        kind = rng.randrange(4)
        if kind == 0:
            words[i] = "**" + words[i] + "**"
        elif kind == 1:
            words[i] = "*" + words[i] + "*"
        elif kind == 2:
            words[i] = "`" + words[i] + "`"
        else:
            words[i] = "[%s](https://example.com/%s/%d)" % (
                words[i], rng.choice(ENGLISH), rng.randint(1, 999))
    return " ".join(words)


def _paragraph(rng):
    return " ".join(_inline(rng, _sentence(rng)) for _ in range(rng.randint(2, 5)))


def _list(rng, ordered):
    lines = []
    for i in range(rng.randint(3, 7)):
        mark = "%d." % (i + 1) if ordered else "-"
        lines.append("%s %s" % (mark, _inline(rng, _sentence(rng, rng.randint(4, 10)))))
        if not ordered and rng.random() < 0.2:
            lines.append("  - " + _sentence(rng, rng.randint(3, 6)))
    return "\n".join(lines)


def _code(rng):
    lang = rng.choice(LANGS)
    w = rng.choice(ENGLISH)
    n = rng.randint(2, 99)
    lines = [line.format(w=w, n=n) for line in CODE[lang]]
    return "```%s\n%s\n```" % (lang, "\n".join(lines))


def _table(rng):
    cols = rng.randint(3, 5)
    head = [rng.choice(ENGLISH + CHINESE).capitalize() for _ in range(cols)]
    rows = ["| " + " | ".join(head) + " |", "|" + "---|" * cols]
    for _ in range(rng.randint(3, 7)):
        cells = []
        for c in range(cols):
            if c == 0:
                cells.append(rng.choice(CHINESE))
            elif rng.random() < 0.5:
                cells.append(str(rng.randint(0, 10000)))
            else:
                cells.append(rng.choice(ENGLISH))
        rows.append("| " + " | ".join(cells) + " |")
    return "\n".join(rows)


def _quote(rng):
    return "> " + _sentence(rng) + "\n> " + _sentence(rng, 6)


def make_post(rng, index, total):
    """Post number `index` (0-based) of `total`; dates rise with the index."""
    title = "%s %s %d" % (rng.choice(ENGLISH).capitalize(), rng.choice(CHINESE), index + 1)
    span_minutes = 10 * 365 * 24 * 60
    minutes = span_minutes * index // max(total, 1) + rng.randint(0, 600)
    date = FIRST_DAY + datetime.timedelta(minutes=minutes, seconds=rng.randint(0, 59))
    blocks = ["# " + title, _paragraph(rng)]
    section = 0
    makers = (_paragraph, _paragraph, lambda r: _list(r, False), lambda r: _list(r, True),
              _code, _table, _quote)
    while sum(len(b.encode("utf-8")) + 2 for b in blocks) < TARGET_BYTES:
        if len(blocks) % 4 == 2:
            section += 1
            level = "##" if section % 3 else "###"
            blocks.append("%s %d. %s" % (level, section, _sentence(rng, rng.randint(3, 6))))
        blocks.append(rng.choice(makers)(rng))
    stem = "post-%05d" % (index + 1)
    return Post(stem, title, date, "\n\n".join(blocks) + "\n")


def make_posts(count, seed):
    rng = random.Random(seed)
    return [make_post(rng, i, count) for i in range(count)]


SMALL_TARGET_BYTES = 800


def make_small_post(rng, index, total):
    """Post number `index` of `total` for the small corpus: a title and plain
    paragraphs, about SMALL_TARGET_BYTES of Markdown; dates rise with the index."""
    title = "%s %s %d" % (rng.choice(ENGLISH).capitalize(), rng.choice(CHINESE), index + 1)
    minutes = 10 * 365 * 24 * 60 * index // max(total, 1) + rng.randint(0, 600)
    date = FIRST_DAY + datetime.timedelta(minutes=minutes, seconds=rng.randint(0, 59))
    sentences = []
    while len(" ".join(sentences).encode("utf-8")) < SMALL_TARGET_BYTES - 90:
        sentences.append(_inline(rng, _sentence(rng)))
    half = len(sentences) // 2
    body = " ".join(sentences[:half]) + "\n\n" + " ".join(sentences[half:]) + "\n"
    return Post("post-%05d" % (index + 1), title, date, body)


def make_small_posts(count, seed):
    rng = random.Random(seed)
    return [make_small_post(rng, i, count) for i in range(count)]

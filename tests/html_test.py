#!/usr/bin/env python3
"""Usage: html_test.py CORPUS_DIR PROGRAM [--browser]

The pages of --html. Without --browser: pages of real recordings and of
hostile inputs are read by a strict reader that knows every element and
attribute a page may have, and their labels, descriptions and text must be
those of the account; a string of 100 MB through a pipe comes out as it is
read, and safe. With --browser: headless Chromium loads pages of real
recordings with a probe script added, and the DOM it dumps must hold the
expected elements, the computed colours of a few spans, and no element that
came from the input. Without Chromium the browser test is skipped (77)."""
import html.parser
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading

corpus, program = sys.argv[1], sys.argv[2]
browser = "--browser" in sys.argv[3:]
failures = 0

# What a page may hold, and the attributes of each element.
ALLOWED = {
    "html": {"lang"}, "head": set(), "meta": {"charset", "name", "content"},
    "title": set(), "style": set(), "body": set(), "main": set(), "nav": set(),
    "div": {"class"}, "p": {"class"}, "u": {"class"}, "b": {"class"}, "q": {"class"},
    "i": {"class", "style"}, "span": {"class", "style"}, "details": {"open", "class"},
    "summary": set(), "a": {"id", "href", "class", "title"}, "ol": set(), "li": set(),
}
STYLE = re.compile(r"^([a-z-]+:[#0-9a-z .-]+;)*$")
# The element of each kind of row, and the class of a delay or metadata row.
ROWS = {"p": "tl", "u": "cl", "summary": "el", "b": "ll", "q": "dl"}
DIV_ROWS = {"w": "wl", "m": "ml"}
# What is not the account's text: the bar and the time of a delay row.
NOT_TEXT = ("bar", "at")


def fail(message):
    global failures
    failures += 1
    print("FAIL: " + message)


class Page(html.parser.HTMLParser):
    """The rows of a page, with what the strict reader found wrong."""

    def __init__(self, extra=None):
        super().__init__(convert_charrefs=True)
        self.allowed = dict(ALLOWED, **(extra or {}))
        self.problems = []
        self.rows = []  # (row kind, text of the row, text in the stream's pen, time)
        self.row = None
        self.stack = []  # the open elements of the row: (tag, classes)
        self.elements = {}
        self.attributes = []  # every attribute, for the probe's values
        self.ids = set()
        self.links = []  # the index's links, with their text
        self.painters = []  # the screen rows' links to their painters
        self.twice = set()  # ids given more than once
        self.where = []  # main, nav
        self.in_style = False
        self.link = None
        self.groups = 0  # the account's groups, not the index's

    def handle_starttag(self, tag, attrs):
        self.elements[tag] = self.elements.get(tag, 0) + 1
        self.attributes.append((tag, dict(attrs)))
        known = self.allowed.get(tag)
        if known is None:
            self.problems.append("element <%s>" % tag)
            return
        for name, value in attrs:
            if name not in known:
                self.problems.append("attribute %s of <%s>" % (name, tag))
            if name == "style" and not STYLE.match(value or ""):
                self.problems.append("style %r" % value)
            if name == "id":
                if value in self.ids:
                    self.twice.add(value)
                self.ids.add(value)
            if name == "href" and re.fullmatch(r"#p\d+", value or ""):
                self.painters.append(value[1:])
            elif name == "href":
                if not re.fullmatch(r"#x\d+", value or ""):
                    self.problems.append("link %r" % value)
                self.link = [value[1:], ""]
        classes = (dict(attrs).get("class", "") or "").split()
        if tag in ("main", "nav"):
            self.where.append(tag)
        elif tag == "style":
            self.in_style = True
        if self.where[-1:] != ["main"]:
            return
        if tag == "details":
            self.groups += 1
        kind = ROWS.get(tag) or (tag == "div" and DIV_ROWS.get(classes[0] if classes else "",
                                                               "pl"))
        if kind and self.row is None:
            self.row = [kind, "", "", None, tag]
            self.stack = []
        elif self.row is not None:
            self.stack.append((tag, classes))

    def handle_endtag(self, tag):
        if tag in ("main", "nav") and self.where:
            self.where.pop()
        elif tag == "style":
            self.in_style = False
        elif tag == "a" and self.link is not None:
            self.links.append(tuple(self.link))
            self.link = None
        if self.row is None:
            return
        if self.stack and self.stack[-1][0] == tag:
            self.stack.pop()
        elif tag == self.row[4] and not self.stack:
            self.rows.append(tuple(self.row[:4]))
            self.row = None

    def handle_data(self, data):
        if self.in_style:
            return
        if self.link is not None:
            self.link[1] += data
        if self.row is None:
            return
        classes = [c for _, cs in self.stack for c in cs]
        if "at" in classes:
            self.row[3] = (self.row[3] or "") + data
        elif "bar" not in classes:
            self.row[1] += data
        if any(tag == "i" for tag, _ in self.stack):
            self.row[2] += data


def read_page(data, extra=None):
    page = Page(extra)
    page.feed(data.decode("utf-8"))
    page.close()
    return page


def run(*args, stdin=None):
    return subprocess.run([program, "-I", *args], input=stdin, capture_output=True,
                          check=True).stdout


def account_lines(*args, stdin=None):
    return run(*args, stdin=stdin).decode("utf-8").splitlines()


def text_of(lines):
    """The text of the text lines of an account, without the bars and wrap marks."""
    out = ""
    for line in lines:
        if not line.startswith(("|", "-|")):
            continue
        line = line[2:] if line.startswith("-|") else line[1:]
        for tail in ("|-", "|.", "|"):
            if line.endswith(tail):
                line = line[: -len(tail)]
                break
        out += line
    return out


def unwrapped(rows):
    """Description rows with the rows of a wrapped description joined again:
    a row broken inside a word ends with "-" and its next row begins with
    two blanks and "-", any other further row with two blanks. The page,
    whose rows never wrap, has the long description in one row."""
    out = []
    for row in rows:
        if not row.startswith('"  ') or not out:
            out.append(row)
        elif row.startswith('"  -') and out[-1].endswith("-"):
            out[-1] = out[-1][:-1] + row[4:]
        else:
            out[-1] += " " + row[3:]
    return out


def agrees(name, page, lines):
    """The records of the page are the account's, and so is its text; the
    time line's times are extended mode's own, or the pauses added up."""
    want = [line for line in lines if line.startswith("& ")]
    got = [text for row, text, _, _ in page.rows if row == "ll"]
    if want != got:
        fail("%s: the label rows are not the account's label lines" % name)
    delays = [line for line in lines if line.startswith("@ ")]
    got = [(text, at) for row, text, _, at in page.rows if row == "wl"]
    if [re.sub(r" at \S+$", "", line) for line in delays] != [text for text, _ in got]:
        fail("%s: the delay rows are not the account's delay lines" % name)
    elapsed = 0.0
    for line, (_, at) in zip(delays, got):
        elapsed += float(line.split()[1])
        own = re.search(r" at (\S+)$", line)
        minutes, seconds = divmod(round(elapsed, 3), 60)
        expected = "at " + (own.group(1) if own else "%d:%06.3f" % (minutes, seconds))
        if at != expected:
            fail("%s: the time line says %r after %r, not %r" % (name, at, line, expected))
            break
    want = unwrapped([line for line in lines if line.startswith('"')])
    got = unwrapped([text for row, text, _, _ in page.rows if row == "dl"])
    if want != got:
        fail("%s: the description rows are not the account's" % name)
    # The text in the stream's pen, but for the rows of a screen ("=|").
    if text_of(lines) != "".join(t for _, r, t, _ in page.rows if not r.startswith("=")):
        fail("%s: the text of the page is not the text of the account" % name)
    escapes = sum(1 for row, _, _, _ in page.rows if row == "el")
    if page.groups != escapes:
        fail("%s: %d groups for %d escape lines" % (name, page.groups, escapes))
    for anchor, _ in page.links:
        if anchor not in page.ids:
            fail("%s: the index links to #%s, which is nowhere" % (name, anchor))
    anchors = [i for i in page.ids if i.startswith("x")]
    if len(anchors) != len(page.links):
        fail("%s: %d anchors for %d links of the index" % (name, len(anchors), len(page.links)))
    if page.twice:
        fail("%s: ids given twice: %s" % (name, sorted(page.twice)[:5]))
    for painter in page.painters:
        if painter not in page.ids:
            fail("%s: a screen row links to #%s, which is nowhere" % (name, painter))


RECORDINGS = [
    ("typescripts/vim-xterm256", ["-X"]),
    ("typescripts/htop", ["-X"]),
    ("typescripts/ls-color", []),
    ("typescripts/tmux", ["-X"]),
]
HOSTILE = [
    b"</pre></main><script>alert('x')</script>\"&amp;\0\xff\xc3(\r\n",
    b"\x1b]0;</title><script>alert(1)</script>\x07\x1b]8;id=\"><img src=x onerror=alert(1)>;"
    b"javascript:alert(1)\x1b\\<a href='x'>\xed\xa0\x80\xf4\x90\x80\x80\n",
    b"\x1bP$q\"><svg onload=alert(1)>\x1b\\\x1b_G<style>;PHN0eWxlPg==\x1b\\",
]


def check_pages():
    for base, mode in RECORDINGS:
        path = os.path.join(corpus, base + ".typescript")
        args = [*mode, "-t", os.path.join(corpus, base + ".timing"), path]
        page = read_page(run("--html", *args))
        if page.problems:
            fail("%s: %s" % (base, ", ".join(page.problems[:5])))
        agrees(base, page, account_lines(*args))
        if page.painters:
            fail("%s: links to painters without --screen" % base)
    # With screens, each changed row links to an anchor of the page.
    for base, mode in RECORDINGS[:2]:
        path = os.path.join(corpus, base + ".typescript")
        args = [*mode, "--screen=byte:20000", "-t", os.path.join(corpus, base + ".timing"),
                path]
        name = base + " with screens"
        page = read_page(run("--html", *args))
        if page.problems:
            fail("%s: %s" % (name, ", ".join(page.problems[:5])))
        agrees(name, page, account_lines(*args))
        if len(page.painters) < 10:
            fail("%s: %d rows link to their painters" % (name, len(page.painters)))
    for i, data in enumerate(HOSTILE):
        for mode in ([], ["-X"]):
            name = "hostile input %d %s" % (i + 1, " ".join(mode))
            page = read_page(run(*mode, "--html", stdin=data))
            if page.problems:
                fail("%s: %s" % (name, ", ".join(page.problems)))
            agrees(name, page, account_lines(*mode, stdin=data))


# Any "<" of a page begins one of these tags; the input's never does.
TAG = re.compile(rb"<(/?)(html|head|meta|title|style|body|main|nav|div|p|u|b|q|i|span|details"
                 rb"|summary|a|ol|li)(?: [a-z-]+(?:=(?:\"[^\"<>]*\"|[a-z0-9]+))?)*>"
                 rb"|<!DOCTYPE html>")


def check_huge_string():
    unit = b"</main><script>'\"&\0\xff"
    count = (100 << 20) // len(unit)
    child = subprocess.Popen([program, "-X", "--html"], stdin=subprocess.PIPE,
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    received = [0]
    at_last_write = [None]

    def feed():
        try:
            child.stdin.write(b"\x1b]0;")
            block = unit * 4096
            for _ in range(count // 4096):
                child.stdin.write(block)
            at_last_write[0] = received[0]
            child.stdin.write(b"\x07done\n")
            child.stdin.close()
        except BrokenPipeError:
            pass  # the reader stopped at a fault, which it reports

    writer = threading.Thread(target=feed)
    writer.start()
    tail = b""
    last = b""
    tags = 0
    while True:
        chunk = child.stdout.read(1 << 20)
        if not chunk:
            break
        received[0] += len(chunk)
        last = (last + chunk)[-4096:]
        data = tail + chunk
        # The last bytes may be a tag cut in two: they are read again.
        cut = max(data.rfind(b"<"), len(data) - 256, 0) if len(data) > 256 else 0
        for m in re.finditer(rb"<", data[:cut]):
            t = TAG.match(data, m.start())
            if t is None:
                fail("100 MB string: %r is no tag of a page" % data[m.start():m.start() + 40])
                child.kill()
                return
            tags += 1
        tail = data[cut:]
    writer.join()
    child.wait()
    if child.returncode != 0:
        fail("100 MB string: exit status %d" % child.returncode)
    if b"<i>done</i>" not in last or not last.endswith(b"</html>\n"):
        fail("100 MB string: the page does not end with the text after the string")
    if received[0] < 256 << 20:
        fail("100 MB string: only %d bytes of page" % received[0])
    # A page past 256 MiB is said to be too large for a browser, once, with
    # the way to take a part.
    said = child.stderr.read().decode()
    if said.count("\n") != 1 or "passes 256 MiB" not in said or "--from=" not in said:
        fail("100 MB string: the warning of a page too large is %r" % said)
    # The input's last block was written only after most of the page came:
    # the page streams out as the string is read.
    if at_last_write[0] is None or at_last_write[0] < 200 << 20:
        fail("100 MB string: %s bytes of page before the input ended" % at_last_write[0])


PROBE = b"""<script>
for (const el of document.querySelectorAll('i,span,b,q,u,p,summary')) {
  const cs = getComputedStyle(el);
  el.setAttribute('data-color', cs.color);
  el.setAttribute('data-bg', cs.backgroundColor);
  el.setAttribute('data-weight', cs.fontWeight);
  el.setAttribute('data-line', cs.textDecorationLine);
}
for (const d of document.querySelectorAll('details')) d.setAttribute('data-open', String(d.open));
for (const a of document.querySelectorAll('a.r')) {
  a.setAttribute('data-glyph', getComputedStyle(a, '::after').content);
  // Followed, the link outlines the painter's line: which element.
  location.hash = a.getAttribute('href');
  let lit = document.getElementById(a.getAttribute('href').slice(1));
  while (lit && getComputedStyle(lit).outlineStyle !== 'dashed') lit = lit.parentElement;
  a.setAttribute('data-lit', lit ? lit.tagName.toLowerCase() : 'none');
}
for (const a of document.querySelectorAll('nav a'))
  a.setAttribute('data-target', document.getElementById(a.getAttribute('href').slice(1)) ? 'found' : 'none');
const nav = document.querySelector('nav'), main = document.querySelector('main');
document.body.setAttribute('data-nav', !nav ? 'none' :
  nav.getBoundingClientRect().top < main.getBoundingClientRect().top ? 'above' : 'below');
document.body.setAttribute('data-probe', 'done');
</script>
"""
PROBE_ATTRIBUTES = {"data-color", "data-bg", "data-weight", "data-line"}
PROBED = {tag: ALLOWED[tag] | PROBE_ATTRIBUTES for tag in ("i", "span", "b", "q", "u", "p")}
PROBED.update({"summary": PROBE_ATTRIBUTES, "details": {"open", "class", "data-open"},
               "body": {"data-probe", "data-nav"},
               "a": ALLOWED["a"] | {"data-target", "data-glyph", "data-lit"},
               "script": set()})


def chromium(page_bytes):
    exe = shutil.which("chromium") or shutil.which("chromium-browser")
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "page.html")
        with open(path, "wb") as f:
            f.write(page_bytes.replace(b"</body>", PROBE + b"</body>"))
        r = subprocess.run([exe, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                            "--no-first-run", "--disable-background-networking",
                            "--disable-component-update", "--disable-sync",
                            "--user-data-dir=" + os.path.join(tmp, "profile"), "--dump-dom",
                            "file://" + path], capture_output=True, timeout=120)
        return r.stdout


def elements(page, tag, pen=None, **wanted):
    """The elements of a tag, in the stream's pen or not, with the probe's values."""
    return [a for t, a in page.attributes if t == tag
            and (pen is None or (a.get("class", "") or "").startswith("p") == pen)
            and all(a.get(k.replace("_", "-")) == v for k, v in wanted.items())]


def load(args, stdin=None):
    dom = chromium(run(*args, stdin=stdin))
    page = read_page(dom, PROBED)
    if b'data-probe="done"' not in dom:
        fail("the browser did not run the probe over the page of %s: %r" % (args, dom[:200]))
        return None, dom
    if page.problems or page.elements.get("script") != 1:
        fail("the browser's DOM of %s: %s, %s scripts"
             % (args, page.problems[:5], page.elements.get("script")))
    return page, dom


def check_browser():
    stream = (b"plain\r\n\x1b[31mred\x1b[m\x1b[1mbold\x1b[m\x1b[38;2;10;20;30mtrue\x1b[m"
              b"\x1b[48;5;200mback\x1b[m\x1b[4:3;9mlines\x1b[m\x1b]133;A\x07$ "
              b"</main><script>document.title='owned'</script><img src=x onerror=alert(1)>")
    page, dom = load(["-X", "--html"], stream)
    if page is None:
        return
    texts = {t for _, _, t, _ in page.rows}
    if "$ </main><script>document.title='owned'</script><img src=x onerror=alert(1)>" not in texts:
        fail("the hostile text is not a text line's text in the browser: %r" % texts)
    checks = [
        ({"pen": True, "data_color": "rgb(205, 0, 0)"}, "SGR 31 is xterm's red"),
        ({"pen": True, "data_color": "rgb(10, 20, 30)"}, "true colour"),
        ({"pen": True, "data_bg": "rgb(255, 0, 215)"}, "background of 256-colour index 200"),
        ({"pen": True, "data_weight": "700"}, "bold"),
        ({"pen": True, "data_line": "underline line-through"}, "curly underline, struck"),
        ({"pen": False, "data_bg": "rgb(0, 205, 205)"}, "plain text in the palette's |> colour"),
    ]
    for wanted, what in checks:
        if not elements(page, "i", **wanted):
            fail("no text of %s (%r) in the browser" % (what, wanted))
    if not elements(page, "b", data_color="rgb(205, 0, 205)"):
        fail("no label in the palette's & colour in the browser")
    if not all(a.get("data-open") == "true" for tag, a in page.attributes if tag == "details"):
        fail("a group is folded when the page opens")
    # The index: after the account in the page, above it on the screen,
    # each link (the prompt, SGR, OSC 133) to a place that is there.
    if b'data-nav="above"' not in dom:
        fail("the index is not shown above the account")
    links = [a for t, a in page.attributes if t == "a" and "href" in a]
    if len(links) != 3 or any(a.get("data-target") != "found" for a in links):
        fail("the index's links in the browser: %r" % links)
    # A screen's rows: each link to its painter a glyph of the style sheet's,
    # no character of the row's text.
    page, _ = load(["--screen", "--html", "--size=10x3"], b"hello\r\nworld\x1b[1;3H\x1b[K")
    if page is not None:
        glyphs = [a.get("data-glyph") for t, a in page.attributes if t == "a" and "class" in a]
        if glyphs != ['"\u2196"'] * 2:
            fail("the screen rows' links to their painters in the browser: %r" % glyphs)
        # Followed, each outlines its painter's line: the EL's group, the text line.
        lit = [a.get("data-lit") for t, a in page.attributes if t == "a" and "class" in a]
        if lit != ["details", "p"]:
            fail("the lines the screen rows' links light in the browser: %r" % lit)
        rows = [text for _, text, _, _ in page.rows if text.startswith("=|")]
        if rows != ["=|he|", "=|world|", "=||"]:
            fail("the screen rows' text in the browser: %r" % rows)
    # A cast's theme: its palette's red and its background are the stream's.
    with tempfile.TemporaryDirectory() as tmp:
        cast = os.path.join(tmp, "themed.cast")
        with open(cast, "w") as f:
            f.write('{"version": 2, "width": 80, "height": 24, "theme": {"fg": "#eeeeee", '
                    '"bg": "#202020", "palette": "#000000:#aa0000:#00aa00:#aa5500:#0000aa:'
                    '#aa00aa:#00aaaa:#aaaaaa"}}\n[0.1, "o", "\\u001b[31mred\\u001b[1mbold"]\n')
        page, _ = load(["--html", cast])
        if page is not None and not elements(page, "i", pen=True, data_color="rgb(170, 0, 0)",
                                             data_bg="rgb(32, 32, 32)"):
            fail("the cast's theme does not colour its text in the browser")
    for base, mode in RECORDINGS[:2]:
        path = os.path.join(corpus, base + ".typescript")
        args = [*mode, "-t", os.path.join(corpus, base + ".timing"), path]
        page, _ = load(["--html", *args])
        if page is None:
            continue
        agrees(base + " in the browser", page, account_lines(*args))
        colored = [a for a in elements(page, "i", pen=True)
                   if re.match(r"rgba?\(\d+, \d+, \d+", a.get("data-color", ""))]
        if not colored:
            fail("%s in the browser: no text in the stream's colours" % base)
        bars = [a for t, a in page.attributes if t == "span" and a.get("class") == "bar"]
        if len(bars) != sum(1 for r, _, _, _ in page.rows if r == "wl"):
            fail("%s in the browser: a delay row without its bar" % base)


if browser:
    if not (shutil.which("chromium") or shutil.which("chromium-browser")):
        print("SKIP: Chromium is not installed (Debian: chromium); the pages are not loaded "
              "in a browser")
        sys.exit(77)
    check_browser()
else:
    check_pages()
    check_huge_string()
print("%s: %d failures" % ("browser" if browser else "pages", failures))
sys.exit(1 if failures else 0)

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
    "title": set(), "style": set(), "body": set(), "main": {"class"},
    "div": {"class"}, "span": {"class", "style"}, "details": {"open", "class"},
    "summary": {"class"},
}
STYLE = re.compile(r"^([a-z-]+:[#0-9a-z .-]+;)*$")


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
        self.rows = []  # (row class, text of the row, text of its c0 spans)
        self.row = None
        self.depth = 0
        self.spans = []  # the classes of the open spans of the row
        self.elements = {}
        self.attributes = []  # every attribute, for the probe's values

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
        classes = dict(attrs).get("class", "") or ""
        if tag in ("div", "summary") and classes.startswith("l "):
            self.row = [classes.split()[1], "", ""]
            self.spans = []
        elif tag == "span" and self.row is not None:
            self.spans.append(classes)

    def handle_endtag(self, tag):
        if tag == "span" and self.spans:
            self.spans.pop()
        elif tag in ("div", "summary") and self.row is not None:
            self.rows.append(tuple(self.row))
            self.row = None

    def handle_data(self, data):
        if self.row is None:
            return
        top = self.spans[-1] if self.spans else ""
        if top not in ("bar", "at"):
            self.row[1] += data
        if top.split()[:1] == ["c0"]:
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
    """The records of the page are the account's, and so is its text."""
    for kind, mark in (("ll", "& "), ("wl", "@ ")):
        want = [line for line in lines if line.startswith(mark)]
        got = [text for row, text, _ in page.rows if row == kind]
        if want != got:
            fail("%s: the %s rows are not the account's %r lines" % (name, kind, mark))
    want = unwrapped([line for line in lines if line.startswith('"')])
    got = unwrapped([text for row, text, _ in page.rows if row == "dl"])
    if want != got:
        fail("%s: the description rows are not the account's" % name)
    if text_of(lines) != "".join(t for _, _, t in page.rows):
        fail("%s: the text of the page is not the text of the account" % name)
    escapes = sum(1 for row, _, _ in page.rows if row == "el")
    if page.elements.get("details", 0) != escapes:
        fail("%s: %d groups for %d escape lines" % (name, page.elements.get("details", 0),
                                                   escapes))


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
    for i, data in enumerate(HOSTILE):
        for mode in ([], ["-X"]):
            name = "hostile input %d %s" % (i + 1, " ".join(mode))
            page = read_page(run(*mode, "--html", stdin=data))
            if page.problems:
                fail("%s: %s" % (name, ", ".join(page.problems)))
            agrees(name, page, account_lines(*mode, stdin=data))


# Any "<" of a page begins one of these tags; the input's never does.
TAG = re.compile(rb"<(/?)(html|head|meta|title|style|body|main|div|span|details|summary)"
                 rb"(?: [a-z-]+(?:=\"[^\"<>]*\")?)*>|<!DOCTYPE html>")


def check_huge_string():
    unit = b"</main><script>'\"&\0\xff"
    count = (100 << 20) // len(unit)
    child = subprocess.Popen([program, "-X", "--html"], stdin=subprocess.PIPE,
                             stdout=subprocess.PIPE)
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
    if b'<span class="c0">done</span>' not in last or not last.endswith(b"</html>\n"):
        fail("100 MB string: the page does not end with the text after the string")
    if received[0] < 300 << 20:
        fail("100 MB string: only %d bytes of page" % received[0])
    # The input's last block was written only after most of the page came:
    # the page streams out as the string is read.
    if at_last_write[0] is None or at_last_write[0] < 200 << 20:
        fail("100 MB string: %s bytes of page before the input ended" % at_last_write[0])


PROBE = b"""<script>
for (const el of document.querySelectorAll('span')) {
  const cs = getComputedStyle(el);
  el.setAttribute('data-color', cs.color);
  el.setAttribute('data-bg', cs.backgroundColor);
  el.setAttribute('data-weight', cs.fontWeight);
  el.setAttribute('data-line', cs.textDecorationLine);
}
for (const d of document.querySelectorAll('details')) d.setAttribute('data-open', String(d.open));
document.body.setAttribute('data-probe', 'done');
</script>
"""
PROBED = {"span": {"class", "style", "data-color", "data-bg", "data-weight", "data-line"},
          "details": {"open", "class", "data-open"}, "body": {"data-probe"}, "script": set()}


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


def spans(page, **wanted):
    return [a for tag, a in page.attributes if tag == "span"
            and all(a.get(k) == v for k, v in wanted.items())]


def check_browser():
    stream = (b"plain\r\n\x1b[31mred\x1b[m\x1b[1mbold\x1b[m\x1b[38;2;10;20;30mtrue\x1b[m"
              b"\x1b[48;5;200mback\x1b[m\x1b[4:3;9mlines\x1b[m"
              b"</main><script>document.title='owned'</script><img src=x onerror=alert(1)>")
    dom = chromium(run("-X", "--html", stdin=stream))
    page = read_page(dom, PROBED)
    if b'data-probe="done"' not in dom:
        fail("the browser did not run the probe over the page: %r" % dom[:200])
        return
    if page.problems or page.elements.get("script") != 1:
        fail("the browser's DOM of the hostile stream: %s, %s scripts"
             % (page.problems, page.elements.get("script")))
    texts = {t for _, _, t in page.rows}
    if "</main><script>document.title='owned'</script><img src=x onerror=alert(1)>" not in texts:
        fail("the hostile text is not a text line's text in the browser: %r" % texts)
    checks = [
        ({"class": "c0 pen", "data-color": "rgb(205, 0, 0)"}, "SGR 31 is xterm's red"),
        ({"class": "c0 pen", "data-color": "rgb(10, 20, 30)"}, "true colour"),
        ({"class": "c0 pen", "data-bg": "rgb(255, 0, 215)"}, "background of 256-colour index 200"),
        ({"class": "c0 pen", "data-weight": "700"}, "bold"),
        ({"class": "c0 pen", "data-line": "underline line-through"}, "curly underline, struck"),
        ({"class": "c0", "data-bg": "rgb(0, 205, 205)"}, "plain text in the palette's |> colour"),
        ({"class": "c4", "data-color": "rgb(205, 0, 205)"}, "a label in the palette's & colour"),
    ]
    for wanted, what in checks:
        if not spans(page, **wanted):
            fail("no span of %s (%r) in the browser" % (what, wanted))
    if not all(a.get("data-open") == "true" for tag, a in page.attributes if tag == "details"):
        fail("a group is folded when the page opens")
    for base, mode in RECORDINGS[:2]:
        path = os.path.join(corpus, base + ".typescript")
        args = [*mode, "-t", os.path.join(corpus, base + ".timing"), path]
        dom = chromium(run("--html", *args))
        page = read_page(dom, PROBED)
        if b'data-probe="done"' not in dom or page.problems or page.elements.get("script") != 1:
            fail("%s in the browser: %s" % (base, page.problems[:5] or "no probe"))
            continue
        agrees(base + " in the browser", page, account_lines(*args))
        colored = [a for a in spans(page, **{"class": "c0 pen"})
                   if re.match(r"rgba?\(\d+, \d+, \d+", a.get("data-color", ""))]
        if not colored:
            fail("%s in the browser: no text in the stream's colours" % base)
        if len(spans(page, **{"class": "bar"})) != sum(1 for r, _, _ in page.rows if r == "wl"):
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

"""The player where other pages put it, in headless Chromium: the examples of
docs/web.md as they stand there, served over HTTP from two local origins: a
parent page drives a player page of another origin by messages and hears its
events and height; two <animation-player> elements on one page play on their
own, leave a host <input>'s typing alone and take the focus in Tab order.
Then the player page at 390x844 and 1000x700, light and dark: no sideways
scrolling, every frame of the picture in view, text contrast of at least
4.5:1, every scrollable region reachable by the keyboard, and axe-core's
rules (player/tests/a11y, installed by scripts/install-prerequisites) on
these pages and on the two elements' page; and --title.

    python3 embed_test.py TOOL EXAMPLE.animation.json WORK_FOLDER WASM_PACKAGE_FOLDER
"""
import functools
import http.server
import io
import os
import re
import sys
import threading
import time

from PIL import Image

from chromium import Browser
from harness import EXAMPLE, WORK, check, finish, run

PACKAGE = sys.argv[4]
HERE = os.path.dirname(os.path.abspath(__file__))
DOCS = os.path.join(HERE, "..", "..", "docs", "web.md")
AXE = os.path.join(HERE, "a11y", "node_modules", "axe-core", "axe.min.js")


def check_axe(browser, where):
    """axe-core's rules on the page shown (its shadow roots included), when it is installed."""
    if not os.path.exists(AXE):
        print(f"{where}: axe-core is not installed (scripts/install-prerequisites), its rules are not run")
        return
    browser.evaluate(open(AXE, encoding="utf-8").read() + ";0")
    found = browser.evaluate("axe.run(document).then((r) => r.violations.map((v) => `${v.id}: `"
                             " + v.nodes.map((n) => n.target.join(' ')).slice(0, 3).join(', ')))")
    check(found == [], f"{where}: axe-core finds nothing: {found}")


def doc_example(heading):
    """The html example under `heading` in docs/web.md."""
    text = open(DOCS, encoding="utf-8").read()
    return text.split(heading, 1)[1].split("```html\n", 1)[1].split("```", 1)[0]


class Quiet(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def serve(folder):
    """An HTTP server of `folder` on a free port of 127.0.0.1; its origin."""
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(Quiet, directory=folder))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server, f"http://127.0.0.1:{server.server_address[1]}"


def wait_until(browser, expression, timeout=10):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if browser.evaluate(expression):
            return True
        time.sleep(0.05)
    return False


def test_frame_across_origins(browser, parent_origin, player_origin):
    browser.open(f"{parent_origin}/parent.html")
    heard = "heard.filter((m) => m.animationmodel === 'event')"
    check(wait_until(browser, f"{heard}.some((m) => m.type === 'ready')"), "the player page says it is ready")
    check(wait_until(browser, "heard.some((m) => m.animationmodel === 'height' && m.height > 300)"
                              " && parseFloat(frame.style.height) > 300"), "its height reaches the parent")
    check(browser.evaluate("(() => { try { return frame.contentWindow.document, 'same'; } catch (e) { return e.name; }"
                           " })()") == "SecurityError", "the frame is of another origin")
    browser.evaluate("heard.length = 0; send('seek', { frame: 40 })")
    check(wait_until(browser, f"{heard}.some((m) => m.type === 'frame' && m.frame === 40)"), "seek: frame 40 heard")
    browser.evaluate("heard.length = 0; send('speed', { speed: 4 }); send('loop', { loop: 'none' }); send('play')")
    check(wait_until(browser, f"{heard}.some((m) => m.type === 'play' && m.playing)"), "play: a play event")
    check(wait_until(browser, f"{heard}.some((m) => m.type === 'phase' && m.phase === 'outro')"),
          "playing on, the phase event of the outro")
    check(wait_until(browser, f"{heard}.some((m) => m.type === 'ended' && m.frame === 95)"), "the end is heard")
    browser.evaluate("heard.length = 0; send('speed', { speed: -1 })")
    check(wait_until(browser, "heard.some((m) => m.animationmodel === 'error' && /speed -1/.test(m.message))"),
          "a refused command is answered with its error")
    browser.evaluate("heard.length = 0; send('seek', { frame: 10 }); send('play'); send('pause'); send('state')")
    check(wait_until(browser, f"{heard}.some((m) => m.type === 'state' && !m.playing && m.frameCount === 96)"),
          "pause and state answered")
    check(browser.evaluate(f"{heard}.some((m) => m.type === 'pause')"), "a pause event")


def test_two_elements(browser, origin):
    browser.open(f"{origin}/elements.html")
    ready = "[first, second].every((p) => p.frameCount === 96)"
    check(wait_until(browser, ready), "both elements load: JSON from one URL, a binary clip from the other")
    browser.evaluate("document.getElementById('notes').focus()")
    for character in "hello world 1.l":
        browser.key(" " if character == " " else character, code="Space" if character == " " else None,
                    text=character)
    check(browser.evaluate("document.getElementById('notes').value") == "hello world 1.l",
          "typing into the host's input reaches the input whole")
    check(browser.evaluate("[first.frame, second.frame, first.loop, second.loop]") == [0, 0, "none", "none"],
          "and moves no player")
    browser.key("Tab")
    check(browser.evaluate("document.activeElement === first"), "Tab from the input focuses the first player")
    browser.key("Tab")
    check(browser.evaluate("document.activeElement === first && first.shadowRoot.activeElement !== null"),
          "the next Tab goes to a control inside it")
    browser.evaluate("first.focus()")
    browser.key("ArrowRight")
    check(browser.evaluate("[first.frame, second.frame]") == [1, 0], "a key moves the focused player only")
    browser.evaluate("first.play()")
    check(wait_until(browser, "first.frame > 5"), "the first plays")
    check(browser.evaluate("[second.playing, second.frame]") == [False, 0], "the second stays")
    browser.evaluate("second.seek(50); first.pause()")
    check(browser.evaluate("[first.playing, second.frame, second.shadowRoot.getElementById('counter').textContent]")
          == [False, 50, "frame 50 of 96 \u00b7 2 s at 25 fps"], "the second seeks on its own")
    check(browser.evaluate("document.getElementById('status').textContent") == "first: intro",
          "the page's listener heard the first's phase")
    check_axe(browser, "two elements")
    check(browser.evaluate("[document.querySelectorAll('#counter, #play').length,"
                           " first.shadowRoot.querySelectorAll('#play').length]") == [0, 1],
          "the ids stay inside each player")


CONTRAST = """(() => {
    const rgb = (text) => text.match(/[\\d.]+/g).map(Number);
    const luminance = ([r, g, b]) => [r, g, b].map((c) => c / 255)
        .map((c) => (c <= 0.03928 ? c / 12.92 : ((c + 0.055) / 1.055) ** 2.4))
        .reduce((sum, c, i) => sum + c * [0.2126, 0.7152, 0.0722][i], 0);
    const background = (element) => {
        for (let e = element; e; e = e.parentElement || e.getRootNode().host) {
            const colour = rgb(getComputedStyle(e).backgroundColor);
            if (colour.length < 4 || colour[3] > 0) return colour.slice(0, 3);
        }
        return [255, 255, 255];
    };
    const low = [];
    const texts = [...document.querySelectorAll('body *'), ...player.shadowRoot.querySelectorAll('*')]
        .filter((e) => e.checkVisibility() && [...e.childNodes].some((n) => n.nodeType === 3 && n.textContent.trim()));
    for (const element of texts) {
        const [a, b] = [luminance(rgb(getComputedStyle(element).color)), luminance(background(element))];
        const ratio = (Math.max(a, b) + 0.05) / (Math.min(a, b) + 0.05);
        if (ratio < 4.5) low.push(`${element.tagName}#${element.id}: ${ratio.toFixed(2)}`);
    }
    return [texts.length, low];
})()"""

# Every element that scrolls must be reachable by the keyboard (focusable itself).
SCROLLABLE = """[...document.querySelectorAll('body *'), ...player.shadowRoot.querySelectorAll('*')]
    .filter((e) => { const s = getComputedStyle(e); return (e.scrollHeight > e.clientHeight + 1
        && /auto|scroll/.test(s.overflowY)) || (e.scrollWidth > e.clientWidth + 1 && /auto|scroll/.test(s.overflowX)); })
    .filter((e) => e.tabIndex < 0).map((e) => e.id || e.tagName)"""


def test_sizes_and_schemes(page):
    for width, height in ((390, 844), (1000, 700)):
        with Browser(width=width, height=height) as browser:
            browser.call("Emulation.setDeviceMetricsOverride", width=width, height=height, deviceScaleFactor=1,
                         mobile=width < 500)
            for scheme in ("light", "dark"):
                browser.call("Emulation.setEmulatedMedia", features=[{"name": "prefers-color-scheme", "value": scheme}])
                browser.open("about:blank")  # else only the address's fragment would change
                browser.open(f"file://{page}#frame=95")
                where = f"{width}x{height} {scheme}"
                check(wait_until(browser, "document.documentElement.dataset.ready === 'true'"), f"{where}: ready")
                sizes = browser.evaluate("[document.documentElement.scrollWidth, innerWidth,"
                                         " document.querySelector('#picture svg').getBoundingClientRect().right,"
                                         " document.querySelector('.playhead').getBoundingClientRect().right]")
                check(sizes[0] <= sizes[1], f"{where}: no sideways scrolling ({sizes[0]} in {sizes[1]})")
                check(sizes[2] <= sizes[1] and sizes[3] <= sizes[2], f"{where}: the picture and its last frame in view")
                dark = browser.evaluate("getComputedStyle(document.body).backgroundColor") == "rgb(22, 22, 22)"
                check(dark == (scheme == "dark"), f"{where}: the page follows the scheme")
                texts, low = browser.evaluate(CONTRAST)
                check(texts > 30 and low == [], f"{where}: every text of {texts} at 4.5:1 or more ({low[:5]})")
                check(browser.evaluate(SCROLLABLE) == [], f"{where}: every scrolling box takes the focus")
                check_axe(browser, where)
                image = Image.open(io.BytesIO(browser.screenshot())).convert("RGB")
                image.save(os.path.join(WORK, f"player-{width}x{height}-{scheme}.png"))
                check(image.size[0] == width, f"{where}: the screenshot is {width} wide")
            check(browser.errors() == [], f"{width}x{height}: no console error: {browser.errors()}")


def main():
    site = os.path.join(WORK, "site")
    player_site = os.path.join(WORK, "player-site")
    for folder in (site, player_site, os.path.join(site, "node_modules")):
        os.makedirs(folder, exist_ok=True)
    link = os.path.join(site, "node_modules", "animationmodel")
    if not os.path.islink(link):
        os.symlink(os.path.abspath(PACKAGE), link)
    with open(EXAMPLE, encoding="utf-8") as source, open(os.path.join(site, "show.animation.json"), "w") as out:
        out.write(source.read())
    run("compile", EXAMPLE, "-o", os.path.join(site, "show.clip"))
    page = os.path.join(player_site, "show.html")
    run("play", EXAMPLE, "--title", "The show <&>", "-o", page)
    check("<title>The show &lt;&amp;&gt; \u2014 animationmodel player</title>" in open(page, encoding="utf-8").read(),
          "--title gives the page its title")
    parent_server, parent_origin = serve(site)
    player_server, player_origin = serve(player_site)
    try:
        with open(os.path.join(site, "parent.html"), "w") as out:
            out.write(doc_example("## The player page in a frame").replace("http://localhost:8001", player_origin))
        with open(os.path.join(site, "elements.html"), "w") as out:
            out.write(doc_example("## The player element"))
        with Browser() as browser:
            test_frame_across_origins(browser, parent_origin, player_origin)
            test_two_elements(browser, parent_origin)
            check(browser.errors() == [], f"no console error: {browser.errors()}")
        test_sizes_and_schemes(page)
    finally:
        parent_server.shutdown()
        player_server.shutdown()
    return finish()


if __name__ == "__main__":
    sys.exit(main())

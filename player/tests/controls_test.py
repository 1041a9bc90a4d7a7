"""The player page's controls as a person meets them, in headless Chromium:
each control found by its visible label (and by that label in the
accessibility tree) and pressed with the mouse, checked by the frame it
reaches; keys while a button or a list has focus; stepping at the last frame;
the shortcuts list; seek with odd numbers; huge rates with a loop on; layer
names that would end a script or a comment; a readout of thousands of layers;
the picture at 700 pixels.

    python3 controls_test.py TOOL EXAMPLE.animation.json WORK_FOLDER
"""
import io
import json
import os
import sys
import time

from PIL import Image

from chromium import Browser
from harness import EXAMPLE, WORK, check, csv_field, finish, page_of, sample_lines

# The visible text of a control: what the screen shows, its decorations
# (arrows drawn as characters, hidden from assistive technology) left out.
VISIBLE = """((element) => element.innerText.replace(/[\\u25C0\\u25B6]/g, "").trim())"""


def control_box(browser, label):
    """The centre of the one button whose visible text is `label`, scrolled into view."""
    return browser.evaluate(f"""(() => {{
        const found = [...player.shadowRoot.querySelectorAll("button")].filter((b) => {VISIBLE}(b) === {json.dumps(label)});
        if (found.length !== 1) return null;
        found[0].scrollIntoView({{block: "center"}});
        const r = found[0].getBoundingClientRect();
        return [r.left + r.width / 2, r.top + r.height / 2];
    }})()""")


def click(browser, x, y):
    browser.mouse("mousePressed", x, y)
    browser.mouse("mouseReleased", x, y)


def named_in_tree(browser, name, role):
    """How many nodes of `role` the accessibility tree names exactly `name`."""
    root = browser.call("DOM.getDocument", depth=0)["root"]["nodeId"]
    return len(browser.call("Accessibility.queryAXTree", nodeId=root, accessibleName=name, role=role)["nodes"])


def press(browser, label):
    box = control_box(browser, label)
    check(box is not None, f"one button shows {label!r}")
    if box is not None:
        click(browser, *box)


def frame(browser):
    return browser.evaluate("animationPlayer.frame")


def test_controls_by_visible_label(browser, page):
    browser.open(f"file://{page}")
    browser.call("DOM.enable")
    browser.call("Accessibility.enable")
    # (label, frame before, frame after) on the example: 96 frames at 25 fps,
    # intro 0-23, body 24-71, outro 72-95, key boundaries ... 20, 24, 30 ... 70, 72, 76 ...
    moves = [("start", 50, 0), ("\u22121 s", 50, 25), ("\u22121 s", 10, 0), ("\u22121", 50, 49), ("\u22121", 0, 0),
             ("+1", 50, 51), ("+1", 95, 95), ("+1 s", 50, 75), ("+1 s", 80, 95), ("end", 10, 95),
             ("previous key", 72, 70), ("previous key", 0, 0), ("next key", 24, 30), ("next key", 95, 95),
             ("intro", 50, 0), ("body", 90, 24), ("outro", 3, 72)]
    for label, before, after in moves:
        check(named_in_tree(browser, label, "button") == 1, f"the accessibility tree names one button {label!r}")
        browser.evaluate(f"animationPlayer.seek({before})")
        press(browser, label)
        check(frame(browser) == after, f"{label!r} from frame {before}: frame {frame(browser)}, expected {after}")
    browser.evaluate("animationPlayer.seek(95)")
    press(browser, "play")
    check(browser.evaluate("animationPlayer.playing") is True, "'play' plays")
    check(named_in_tree(browser, "pause", "button") == 1, "playing, the button reads and is named 'pause'")
    press(browser, "pause")
    check(browser.evaluate("animationPlayer.playing") is False, "'pause' pauses")
    for name in ("speed", "loop (L)"):
        check(named_in_tree(browser, name, "combobox") == 1, f"the list labelled {name!r} is named so")
    # Every control's accessible name holds its visible text.
    controls = browser.evaluate(f"""[...player.shadowRoot.querySelectorAll(".controls button")].map((b) =>
        [b.id, {VISIBLE}(b)])""")
    for identifier, text in controls:
        found = browser.call("Runtime.evaluate", expression=f"player.shadowRoot.getElementById('{identifier}')")
        node = browser.call("DOM.requestNode", objectId=found["result"]["objectId"])["nodeId"]
        name = browser.call("Accessibility.getPartialAXTree", nodeId=node, fetchRelatives=False)["nodes"][0]
        name = name.get("name", {}).get("value", "")
        check(text != "" and text.lower() in name.lower(), f"#{identifier}: name {name!r} holds its text {text!r}")
    text = browser.evaluate("document.body.innerText + player.shadowRoot.textContent")
    check(not any(0x23E9 <= ord(c) <= 0x23FA for c in text), "no media symbol that the default fonts lack")


def test_keys_with_focus(browser, page):
    browser.open(f"file://{page}")
    browser.evaluate("animationPlayer.seek(40)")
    box = control_box(browser, "+1")
    click(browser, *box)
    check(frame(browser) == 41 and browser.evaluate("player.shadowRoot.activeElement?.id") == "forward-frame",
          "a click on '+1' moves one frame and focuses it")
    browser.key("Enter", text="\r")
    check(frame(browser) == 42, f"Enter on the focused '+1' presses it once (frame {frame(browser)}, expected 42)")
    browser.key(" ", code="Space", text=" ")
    check(frame(browser) == 43 and not browser.evaluate("animationPlayer.playing"),
          "Space on the focused '+1' presses it and does not play")
    browser.key("ArrowRight")
    check(frame(browser) == 44, "arrows still step while a button has focus")
    browser.key("End")
    check(frame(browser) == 95, "End while a button has focus")
    for key, code, text in (("ArrowRight", None, None), (".", "Period", "."), ("ArrowRight", None, None)):
        browser.key(key, code=code, text=text)
        check(frame(browser) == 95, f"{key} at the last frame stays there (frame {frame(browser)})")
    browser.key("ArrowRight", shift=True)
    check(frame(browser) == 95, "Shift+Right at the last frame stays there")
    browser.key("ArrowLeft")
    check(frame(browser) == 94, "Left from the last frame")
    check(browser.evaluate("player.shadowRoot.getElementById('counter').textContent").startswith("frame 94 of 96 "),
          "the counter shows the frame reached")
    browser.evaluate("animationPlayer.seek(50)")
    for modifiers, held in ((1, "Alt"), (2, "Ctrl"), (4, "Meta")):
        browser.key(".", code="Period", text=".", modifiers=modifiers)
        check(frame(browser) == 50, f"{held}+. is the browser's, not the next key (frame {frame(browser)})")
    browser.key(".", code="Period", text=".")
    check(frame(browser) == 56, f". goes to the next key, at 56 (frame {frame(browser)})")
    browser.evaluate("animationPlayer.seek(94)")
    browser.evaluate("player.shadowRoot.getElementById('speed').focus()")
    browser.key("ArrowDown")
    check(frame(browser) == 94, "a focused list keeps the arrows")
    check(browser.evaluate("player.shadowRoot.getElementById('speed').value") == "2", "ArrowDown picks the next speed")
    browser.key("l", code="KeyL", text="l")
    browser.key("1", code="Digit1", text="1")
    check(browser.evaluate("[player.shadowRoot.getElementById('loop').value, animationPlayer.frame]") == ["none", 94],
          "a focused list keeps L and 1")


def test_shortcuts_list(browser, page):
    browser.open(f"file://{page}")
    browser.evaluate("player.focus()")
    visible = "player.shadowRoot.getElementById('shortcuts').checkVisibility()"
    expanded = "player.shadowRoot.getElementById('shortcuts-button').getAttribute('aria-expanded')"
    check(browser.evaluate(visible) is False, "the shortcuts list starts hidden")
    browser.key("?", code="Slash", text="?", shift=True)
    check(browser.evaluate(visible) is True and browser.evaluate(expanded) == "true", "? shows the shortcuts list")
    shown = browser.evaluate("player.shadowRoot.getElementById('shortcuts').innerText")
    for line in ("Space\tplay or pause", "Enter\tstop, and return", "1 2 3\tthe start of the intro", "L\tthe next loop"):
        check(line in shown, f"the list says {line!r}")
    browser.key("?", code="Slash", text="?", shift=True)
    check(browser.evaluate(visible) is False and browser.evaluate(expanded) == "false", "? hides it again")
    press(browser, "shortcuts (?)")
    check(browser.evaluate(visible) is True, "its button shows it")
    browser.key("Escape")
    check(browser.evaluate(visible) is False, "Escape hides it")
    browser.key("Escape")
    check(browser.evaluate(visible) is False, "Escape leaves it hidden")


def test_odd_seeks(browser, page):
    browser.open("about:blank")  # else only the address's fragment would change
    browser.open(f"file://{page}#frame=99999999999999999999")
    check(frame(browser) == 95, "an address past the end opens at the last frame")
    for argument, expected in (("NaN", 0), ("Infinity", 95), ("-Infinity", 0), ("-0", 0), ("1e300", 95),
                               ("2 ** 32", 95), ("-1", 0), ("'7'", 7), ("94.5", 95), ("0.49", 0), ("undefined", 0)):
        browser.evaluate(f"animationPlayer.seek(50); animationPlayer.seek({argument})")
        check(frame(browser) == expected, f"seek({argument}) shows frame {expected}, not {frame(browser)}")
        counter = browser.evaluate("player.shadowRoot.getElementById('counter').textContent")
        check(counter.startswith(f"frame {expected} of 96 "), f"seek({argument}): the counter says {counter!r}")
    hash_after = browser.evaluate("animationPlayer.seek(NaN); new Promise((done) => setTimeout(() => "
                                  "done(location.hash), 400))")
    check(hash_after == "#frame=0", f"seek(NaN) writes #frame=0, not {hash_after}")
    check(browser.evaluate("animationPlayer.rowsAt(-1).length + animationPlayer.rowsAt(96).length"
                           " + animationPlayer.rowsAt(NaN).length + animationPlayer.rowsAt(0.5).length") == 0,
          "no rows before the start, past the end or between frames")


def test_loop_body_from_the_outro(browser, page):
    """Looping the body, play started in the outro plays on to the end: it never goes back into the body."""
    browser.open(f"file://{page}")
    browser.evaluate("player.loop = 'body'; animationPlayer.seek(80); animationPlayer.play()")
    seen = browser.evaluate("new Promise((done) => { const seen = [];"
                            " const timer = setInterval(() => seen.push(animationPlayer.frame), 20);"
                            " setTimeout(() => { clearInterval(timer); done(seen); }, 1500); })")
    check(all(f >= 80 for f in seen), f"from frame 80 with the body looping, frames {sorted(set(seen))[:5]} ...")
    check(browser.evaluate("[animationPlayer.playing, animationPlayer.frame]") == [False, 95],
          "it stops at the last frame")


def test_slow_and_empty_pages(browser):
    """A second is at least a frame at a rate below 0.5 fps; an empty animation stays at frame 0."""
    browser.open(f"file://{page_of(rate_document('0.25'), 'slow.html')}")
    for label, after in (("\u22121 s", 49), ("+1 s", 51)):
        browser.evaluate("animationPlayer.seek(50)")
        press(browser, label)
        check(frame(browser) == after, f"at 0.25 fps, {label!r} from frame 50: frame {frame(browser)}, expected {after}")
    path = os.path.join(WORK, "empty.animation.json")
    with open(path, "w") as out:
        out.write('{"format": "animationmodel", "version": 1}')
    browser.open(f"file://{page_of(path, 'empty.html')}")
    for argument in ("5", "-5", "Infinity"):
        browser.evaluate(f"animationPlayer.seek({argument})")
        check(frame(browser) == 0, f"an empty animation: seek({argument}) shows frame 0, not {frame(browser)}")


def test_huge_rates():
    """Each tick reduces the frame by a remainder: no loop, no hang."""
    for fps in ("3.4e38", "9.6e21", "1e12"):
        page = page_of(rate_document(fps), f"rate{fps}.html")
        with Browser() as browser:
            browser.socket.settimeout(20)
            browser.open(f"file://{page}")
            for loop, low, high in (("all", 0, 96), ("body", 24, 72)):
                started = time.monotonic()
                try:
                    browser.evaluate(f"player.loop = '{loop}'; animationPlayer.seek(30);"
                                     " animationPlayer.play()")
                    seen = set(browser.evaluate("new Promise((done) => { const seen = [];"
                                                " const timer = setInterval(() => seen.push(animationPlayer.frame), 20);"
                                                " setTimeout(() => { clearInterval(timer); done(seen); }, 600); })"))
                    playing = browser.evaluate("animationPlayer.playing")
                    browser.evaluate("animationPlayer.pause()")
                except Exception as error:  # the page hung: the DevTools call timed out
                    check(False, f"fps {fps}, loop {loop}: the page does not answer ({error})")
                    break
                elapsed = time.monotonic() - started
                check(playing and all(low <= f < high and f == int(f) for f in seen) and len(seen) > 1,
                      f"fps {fps}, loop {loop}: plays on within frames [{low}, {high}): {sorted(seen)[:10]}")
                check(elapsed < 5, f"fps {fps}, loop {loop}: 0.6 s of play took {elapsed:.1f} s")


def rate_document(fps):
    """The example at `fps` frames per second, the number written as given."""
    path = os.path.join(WORK, f"rate{fps}.animation.json")
    with open(EXAMPLE) as source:
        text = source.read()
    document = json.loads(text)
    document["fps"] = 1
    with open(path, "w") as out:
        out.write(json.dumps(document).replace('"fps": 1', f'"fps": {fps}', 1))
    return path


HOSTILE = ["</script><script>window.injected = 1</script>", "<!--", "<!-- <script>", "-->", "</SCRIPT >x",
           "<script>window.injected = 2</script>", "]]>&amp;\u2028\u2029", "</title><img src=x onerror=alert(1)>"]


def test_hostile_names(browser):
    name = os.path.join(WORK, "<!--<script>x.animation.json")
    layers = ", ".join(f'{json.dumps(n)}: [{{"effect": "Linear", "args": [0, 1], "duration": 4}}]' for n in HOSTILE)
    with open(name, "w") as out:
        out.write('{"format": "animationmodel", "version": 1, "body": {' + layers + "}}")
    page = page_of(name, "hostile.html")
    browser.open(f"file://{page}")
    check(browser.evaluate("document.documentElement.dataset.ready") == "true", "a page of hostile names plays")
    check(browser.evaluate("[window.injected, document.scripts.length, document.images.length]") == [None, 2, 0],
          "no name ends a script or a comment, or makes an element")
    check(browser.evaluate("document.querySelector('h1').textContent") == name, "the title is the file name, as text")
    rows = browser.evaluate("animationPlayer.seek(2); [...player.shadowRoot.querySelectorAll('#readout tbody tr:not(.spacer)')]"
                            ".map((r) => [...r.cells].map((c) => c.textContent))")
    shown = sorted(",".join(csv_field(f) for f in ["2"] + row) for row in rows)
    check(shown == sorted(sample_lines(name, 2)), f"the table shows each name as sample writes it: {shown}")


def test_many_layers(browser):
    count = 3000
    path = os.path.join(WORK, "layers.animation.json")
    # The last layer by name is the longest: the picture must draw it too.
    layers = ", ".join(f'"layer {i:05d}": [{{"effect": "Linear", "args": [0, {i}], "duration": '
                       f'{60 if i == count - 1 else 1 + i % 50}}}]' for i in range(count))
    with open(path, "w") as out:
        out.write('{"format": "animationmodel", "version": 1, "body": {' + layers + "}}")
    page = page_of(path, "layers.html")
    # A tall window: the rows made must fill the table's box, however tall.
    browser.call("Emulation.setDeviceMetricsOverride", width=1280, height=2400, deviceScaleFactor=1, mobile=False)
    browser.open(f"file://{page}#frame=20")
    check(browser.evaluate("document.getElementById('picture-note').textContent").startswith(
        "The picture shows 1001 of the 3000 layers"), "the picture says which layers it shows")
    check(browser.evaluate("document.querySelector('#picture svg').dataset.plotFrames") == "60",
          "the picture keeps every frame")
    check(browser.evaluate("[...document.querySelectorAll('#picture .layer')].length") == 1001,
          "the picture draws the first 1000 layers and the longest")
    expected = sample_lines(path, 20)
    check(browser.evaluate("player.shadowRoot.getElementById('readout').getAttribute('aria-rowcount')") == str(len(expected) + 1),
          "the table counts every row")
    made = browser.evaluate("player.shadowRoot.querySelectorAll('#readout tbody tr:not(.spacer)').length")
    check(0 < made < 200, f"only the rows in view are made ({made})")
    browser.evaluate("player.shadowRoot.getElementById('readout-box').focus()")
    for kind in ("rawKeyDown", "keyUp"):
        browser.call("Input.dispatchKeyEvent", type=kind, key="PageDown", code="PageDown", windowsVirtualKeyCode=34)
    check(browser.evaluate("new Promise((done) => setTimeout(() => done([animationPlayer.frame,"
                           " player.shadowRoot.getElementById('readout-box').scrollTop > 100]), 300))") == [20, True],
          "Page Down scrolls the focused table and leaves the frame")
    for scroll in (0, 20000, 10 ** 7):
        rows = browser.evaluate(f"""new Promise((done) => {{
            player.shadowRoot.getElementById('readout-box').scrollTop = {scroll};
            requestAnimationFrame(() => setTimeout(() => done([...player.shadowRoot.querySelectorAll(
                '#readout tbody tr:not(.spacer)')].map((r) => [Number(r.getAttribute('aria-rowindex')),
                [...r.cells].map((c) => c.textContent)])), 50));
        }})""")
        wrong = [index for index, cells in rows if ",".join(csv_field(f) for f in ["20"] + cells) != expected[index - 2]]
        check(rows and not wrong, f"scrolled to {scroll}: rows in view as sample gives them ({wrong[:5]})")
        filled = browser.evaluate("""(() => {
            const box = player.shadowRoot.getElementById('readout-box').getBoundingClientRect();
            const head = player.shadowRoot.querySelector('#readout thead').getBoundingClientRect().height;
            const made = [...player.shadowRoot.querySelectorAll('#readout tbody tr:not(.spacer)')]
                .map((r) => r.getBoundingClientRect());
            const first = player.shadowRoot.querySelector('#readout tbody tr.spacer').hidden;
            return [first || made[0].top <= box.top + head + 1, made[made.length - 1].bottom >= box.bottom - 1]; })()""")
        check(filled == [True, True], f"scrolled to {scroll}: the rows made fill the box ({filled})")
    check(browser.evaluate("player.shadowRoot.getElementById('readout-box').scrollTop") > 0, "the table scrolls")
    last = rows[-1][0] if rows else 0
    check(last == len(expected) + 1, f"at the bottom the last row is made ({last})")
    browser.call("Emulation.clearDeviceMetricsOverride")


def test_narrow_window(page):
    with Browser(width=700, height=900) as browser:
        browser.call("Emulation.setDeviceMetricsOverride", width=700, height=900, deviceScaleFactor=1, mobile=False)
        browser.open(f"file://{page}")
        sizes = browser.evaluate("[document.querySelector('#picture svg').getBoundingClientRect().right,"
                                 " document.getElementById('picture').getBoundingClientRect().right,"
                                 " document.documentElement.scrollWidth]")
        check(sizes[0] <= sizes[1] + 0.5 and sizes[2] <= 700, f"the picture scales to its box at 700 px ({sizes})")
        browser.evaluate("player.focus()")
        browser.key("End")
        cut = browser.evaluate("""(() => { const box = document.getElementById('picture').getBoundingClientRect();
            const labels = [...document.querySelectorAll('#picture .axis text')];
            const last = labels.reduce((a, b) => a.getBoundingClientRect().right > b.getBoundingClientRect().right ? a : b);
            const r = last.getBoundingClientRect();
            return [last.textContent, r.left >= box.left && r.right <= box.right]; })()""")
        check(cut[1] is True, f"at the last frame the last axis label {cut[0]!r} is in view, whole")
        title = browser.evaluate("(() => { const h = document.querySelector('h1').getBoundingClientRect();"
                                 " return [h.width * h.height, [...document.querySelectorAll('#picture svg text')]"
                                 ".filter((t) => t.textContent === document.querySelector('h1').textContent).length];"
                                 " })()")
        check(title == [1, 1], f"the title is shown once ({title})")
        image = Image.open(io.BytesIO(browser.screenshot())).convert("L")
        for label in ("start", "end"):
            box = browser.evaluate(f"(() => {{ const r = player.shadowRoot.querySelector('#{label} svg').getBoundingClientRect();"
                                   " return [r.left, r.top, r.right, r.bottom]; })()")
            dark = sum(1 for x in range(int(box[0]), int(box[2]) + 1) for y in range(int(box[1]), int(box[3]) + 1)
                       if image.getpixel((x, y)) < 100)
            check(box[2] - box[0] >= 8 and dark >= 20, f"the {label} symbol is drawn ({dark} dark pixels in {box})")
        check(browser.errors() == [], f"no console error: {browser.errors()}")


def main():
    os.makedirs(WORK, exist_ok=True)
    example = page_of(EXAMPLE, "example.html")
    with Browser() as browser:
        test_controls_by_visible_label(browser, example)
        test_keys_with_focus(browser, example)
        test_shortcuts_list(browser, example)
        test_odd_seeks(browser, example)
        test_loop_body_from_the_outro(browser, example)
        test_slow_and_empty_pages(browser)
        test_hostile_names(browser)
        test_many_layers(browser)
        check(browser.errors() == [], f"no console error: {browser.errors()}")
    test_narrow_window(example)
    test_huge_rates()
    return finish()


if __name__ == "__main__":
    sys.exit(main())

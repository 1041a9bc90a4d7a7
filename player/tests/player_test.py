"""The player page in a real browser (headless Chromium over the DevTools
protocol): network and console, the address, keys, buttons, scrubbing,
playback in virtual time, loops, the readout against `animationmodel sample`
bit for bit, and the picture.

    python3 player_test.py TOOL EXAMPLE.animation.json WORK_FOLDER
"""
import io
import json
import os
import random
import struct
import sys

from PIL import Image

from chromium import Browser
from harness import EXAMPLE, WORK, check, finish, page_lines, page_of, sample_lines


def f32(value):
    return struct.unpack("f", struct.pack("f", value))[0]


def random_animation(path, rng):
    """Ramps of random floats: 7 to 9 significant digits, -0, subnormals,
    1e-30 to 3e38, ends whose steps overflow, keys past 2^24 frames."""
    def value():
        kind = rng.random()
        if kind < 0.05:
            return "-0"
        if kind < 0.1:
            return repr(f32(rng.uniform(0, 1) * 1e-40))
        if kind < 0.15:
            return rng.choice(["3e38", "-3e38", "3.4028235e38", "-3.4028235e38"])
        magnitude = 10 ** rng.uniform(-30, 38)
        text = f"{rng.choice([-1, 1]) * magnitude:.{rng.randint(7, 9)}g}"
        return repr(f32(float(text))) if abs(f32(float(text))) < 3.4e38 else "1"
    phases = {}
    for phase in ("intro", "body", "outro"):
        layers = {}
        for layer in range(rng.randint(1, 4)):
            keys = []
            for _ in range(rng.randint(1, 5)):
                duration = rng.choice([1, 2, 3, 7, 40, 1000, 2**24 + rng.randint(1, 2**30)])
                if rng.random() < 0.8:
                    keys.append(f'{{"effect": "Linear", "args": [{value()}, {value()}], "duration": {duration}}}')
                else:
                    effect = rng.choice(['"Held1"', '"Held3"', "7", "4", "-1"])
                    keys.append(f'{{"effect": {effect}, "duration": {duration}}}')
            layers[f"layer, \"{layer}\""] = "[" + ", ".join(keys) + "]"
        phases[phase] = "{" + ", ".join(f"{json.dumps(n)}: {k}" for n, k in layers.items()) + "}"
    text = ('{"format": "animationmodel", "version": 1, "fps": 24, '
            + ", ".join(f'"{p}": {v}' for p, v in phases.items()) + "}")
    with open(path, "w") as out:
        out.write(text)


def rounded_to_float(integer):
    """The integer rounded to 24 significant bits, ties to even."""
    shift = max(integer.bit_length() - 24, 0)
    kept, rest = integer >> shift, integer & ((1 << shift) - 1)
    half = 1 << (shift - 1) if shift else 0
    kept += 1 if shift and (rest > half or (rest == half and kept & 1)) else 0
    return kept << shift


def midpoint_animation(path):
    """Ramps [0, m / 2^23] of 2^31 frames whose value at frame p is p * m / 2^54
    with p * m = M * 2^30 + 1, M odd: the double of the product lies exactly
    halfway between two floats, where rounding it again would go wrong."""
    rng = random.Random(31)
    layers, frames = {}, []
    while len(layers) < 12:
        m = (rng.getrandbits(23) | 0x800001) & 0xFFFFFF
        p = (pow(m, -1, 1 << 30) | (rng.getrandbits(1) << 30))
        product = p * m
        if product >> 54 != 1 or not (product >> 30) & 1:
            continue
        exact = rounded_to_float(product) / 2**54
        if exact == f32(f32(p * (m / 2**23)) / 2**31):
            continue  # ties to even the same way: shows nothing
        layers[f"m{len(layers)}"] = f'[{{"effect": "Linear", "args": [0, {repr(m / 2**23)}], "duration": {2**31}}}]'
        frames.append(p)
    body = "{" + ", ".join(f'"{name}": {keys}' for name, keys in layers.items()) + "}"
    with open(path, "w") as out:
        out.write('{"format": "animationmodel", "version": 1, "body": ' + body + "}")
    return frames


def test_loads_without_network_or_errors(browser, page):
    browser.open(f"file://{page}#frame=40")
    check(browser.evaluate("document.documentElement.dataset.ready") == "true", "the page is ready")
    check(browser.evaluate("animationPlayer.frame") == 40, "#frame=40 opens at frame 40")
    # The module compiles its wasm from the data: URL inside the script, which is no network.
    requests = [url for url in browser.requests() if not url.startswith("data:application/octet-stream;base64,")]
    check(requests == [f"file://{page}#frame=40"] or requests == [f"file://{page}"],
          f"no request but the page: {requests}")
    check(browser.evaluate("player.shadowRoot.getElementById('counter').textContent") == "frame 40 of 96 \u00b7 1.6 s at 25 fps",
          "the frame counter")
    rows = len(sample_lines(EXAMPLE, 40))
    check(browser.evaluate("player.shadowRoot.querySelectorAll('#readout tbody tr:not(.spacer)').length") == rows,
          "one table row per layer with a key")
    check(browser.evaluate("player.shadowRoot.getElementById('readout').getAttribute('aria-rowcount')") == str(rows + 1),
          "the table gives its number of rows, the heading's included")


def test_keys_and_buttons(browser):
    moves = [
        (lambda: browser.key("ArrowRight"), 41), (lambda: browser.key("ArrowLeft"), 40),
        (lambda: browser.key("ArrowRight", shift=True), 65), (lambda: browser.key("ArrowLeft", shift=True), 40),
        (lambda: browser.key("Home"), 0), (lambda: browser.key("End"), 95),
        (lambda: browser.key("1", text="1"), 0), (lambda: browser.key("2", text="2"), 24),
        (lambda: browser.key("3", text="3"), 72),
        (lambda: browser.key(".", code="Period", text="."), 76), (lambda: browser.key(",", code="Comma", text=","), 72),
        (lambda: browser.key(",", code="Comma", text=","), 70),
        (lambda: browser.evaluate("player.shadowRoot.getElementById('back-frame').click()"), 69),
        (lambda: browser.evaluate("player.shadowRoot.getElementById('forward-second').click()"), 94),
        (lambda: browser.evaluate("player.shadowRoot.getElementById('phase-1').click()"), 24),
        (lambda: browser.evaluate("player.shadowRoot.getElementById('next-key').click()"), 30),
        (lambda: browser.evaluate("player.shadowRoot.getElementById('start').click()"), 0),
    ]
    # The shortcuts act while the player has focus.
    browser.evaluate("animationPlayer.seek(40); player.focus()")
    for index, (move, expected) in enumerate(moves):
        move()
        frame = browser.evaluate("animationPlayer.frame")
        check(frame == expected, f"move {index}: frame {frame}, expected {expected}")
    check(browser.evaluate("new Promise((done) => setTimeout(() => done(location.hash), 400))") == "#frame=0",
          "the address follows the paused frame")
    browser.key("l", code="KeyL", text="l")
    check(browser.evaluate("player.shadowRoot.getElementById('loop').value") == "all", "L cycles the loop")
    browser.key("l", code="KeyL", text="l")
    browser.key("l", code="KeyL", text="l")
    check(browser.evaluate("player.shadowRoot.getElementById('loop').value") == "none", "L cycles back to none")


def test_scrubbing(browser):
    browser.evaluate("window.scrollTo(0, 0)")
    box = browser.evaluate("(() => { const r = document.querySelector('#picture svg').getBoundingClientRect();"
                           " return [r.left, r.top, r.width]; })()")
    plot = browser.evaluate("(() => { const d = document.querySelector('#picture svg').dataset; return {left: +d.plotLeft,"
                            " right: +d.plotRight, top: +d.plotTop, bottom: +d.plotBottom, frames: +d.plotFrames}; })()")
    scale = box[2] / 1200
    for frame in (10, 50, 90):
        x = box[0] + (plot["left"] + (frame + 0.5) * (plot["right"] - plot["left"]) / plot["frames"]) * scale
        y = box[1] + (plot["top"] + plot["bottom"]) / 2 * scale
        browser.mouse("mousePressed", x, y)
        browser.mouse("mouseReleased", x, y)
        check(browser.evaluate("animationPlayer.frame") == frame, f"a click on frame {frame}'s column")
    start = box[0] + (plot["left"] + 10.5 * (plot["right"] - plot["left"]) / plot["frames"]) * scale
    browser.mouse("mousePressed", start, box[1] + 100 * scale)
    browser.call("Input.dispatchMouseEvent", type="mouseMoved", x=start + 20 * (plot["right"] - plot["left"])
                 / plot["frames"] * scale, y=box[1] + 100 * scale, button="left", buttons=1)
    browser.mouse("mouseReleased", start, box[1] + 100 * scale)
    check(browser.evaluate("animationPlayer.frame") == 30, "dragging moves a fixed number of frames per pixel")


def test_playback_in_virtual_time(browser):
    browser.call("Emulation.setVirtualTimePolicy", policy="pause")
    browser.evaluate("player.loop = 'none'; animationPlayer.seek(0); animationPlayer.play()")
    browser.advance_virtual_time(1000)
    frame = browser.evaluate("animationPlayer.frame")
    check(frame in (24, 25), f"one second at 25 fps plays 25 frames, not {frame}")
    browser.evaluate("player.speed = 2")
    browser.advance_virtual_time(500)
    frame = browser.evaluate("animationPlayer.frame")
    check(frame in (48, 49, 50), f"half a second at 2x plays 25 more frames, not {frame}")
    browser.evaluate("player.focus()")
    browser.key("Enter")
    check(browser.evaluate("[animationPlayer.playing, animationPlayer.frame]") == [False, 0],
          "Enter stops and returns to where play started")
    # The body loop: the intro plays once, the body repeats, then the outro.
    browser.evaluate("player.speed = 1; player.loop = 'body';"
                     " animationPlayer.seek(20); animationPlayer.play()")
    seen = []
    for _ in range(12):
        browser.advance_virtual_time(400)
        seen.append(browser.evaluate("animationPlayer.frame"))
    check(all(24 <= f < 72 for f in seen[1:]), f"the body repeats: {seen}")
    check(min(seen[3:]) < 40 < max(seen[3:]), f"the body loop returns to the body's start: {seen}")
    browser.evaluate("player.loop = 'none'")
    browser.advance_virtual_time(4000)
    check(browser.evaluate("[animationPlayer.playing, animationPlayer.frame]") == [False, 95],
          "with the loop off, play leaves the body for the outro and stops at the end")
    browser.call("Emulation.setVirtualTimePolicy", policy="advance")


def test_body_loop_wraps_at_its_exact_end(browser):
    """At normal speed the body loop reaches frame 72, the body's end, one frame at a time: it wraps there to
    frame 24, never showing the outro's first frame. Virtual time moves 10 ms at a time, a quarter of a frame."""
    browser.call("Emulation.setVirtualTimePolicy", policy="pause")
    browser.evaluate("player.speed = 1; player.loop = 'body';"
                     " animationPlayer.seek(66); animationPlayer.play()")
    seen = []
    for _ in range(40):
        browser.advance_virtual_time(10)
        seen.append(browser.evaluate("animationPlayer.frame"))
    browser.evaluate("animationPlayer.pause()")
    browser.call("Emulation.setVirtualTimePolicy", policy="advance")
    check(71 in seen and 24 in seen and seen.index(71) < seen.index(24), f"the body loop plays 71 then 24: {seen}")
    check(all(24 <= f < 72 for f in seen), f"the body loop never shows frame 72 or later: {seen}")


def test_readout_matches_sample(browser, page, document, frames):
    browser.open(f"file://{page}")
    whole = sample_lines(document) if frames is None else None
    by_frame = {}
    for line in whole or []:
        by_frame.setdefault(int(line.split(",", 1)[0]), []).append(line)
    count = browser.evaluate("animationPlayer.frameCount")
    wanted = range(count) if frames is None else frames
    mismatches = 0
    for frame in wanted:
        expected = by_frame.get(frame, []) if frames is None else sample_lines(document, frame)
        got = page_lines(browser, frame)
        if got != expected:
            mismatches += 1
            if mismatches <= 5:
                print("frame", frame, "\n  sample:", expected, "\n  page:  ", got)
    check(mismatches == 0, f"{mismatches} of {len(wanted)} frames differ from sample")


def test_picture(browser, page):
    browser.open(f"file://{page}#frame=48")
    image = Image.open(io.BytesIO(browser.screenshot())).convert("RGB")
    colours = image.getcolors(maxcolors=1 << 20)
    check(colours is not None and len(colours) > 20, "the screenshot is not blank")
    x, top, bottom = browser.evaluate(
        "(() => { const p = document.querySelector('.playhead').getBoundingClientRect();"
        " return [p.left + p.width / 2, p.top, p.bottom]; })()")
    expected = browser.evaluate("(() => { const svg = document.querySelector('#picture svg'); const d = svg.dataset;"
                                " const r = svg.getBoundingClientRect();"
                                " return r.left + (+d.plotLeft + 48 * (d.plotRight - d.plotLeft) / d.plotFrames)"
                                " * r.width / 1200; })()")
    check(abs(x - expected) < 1.5, f"the playhead stands at frame 48 ({x} against {expected})")
    red = sum(1 for y in range(int(top) + 2, int(bottom) - 2)
              for dx in (-1, 0, 1) if image.getpixel((int(x) + dx, y))[0] > 180
              and image.getpixel((int(x) + dx, y))[1] < 90)
    check(red > (bottom - top) * 0.8, f"the playhead is drawn in red ({red} red pixels)")


def main():
    os.makedirs(WORK, exist_ok=True)
    example_page = page_of(EXAMPLE, "example.html")
    rng = random.Random(1208)
    generated = os.path.join(WORK, "generated.animation.json")
    random_animation(generated, rng)
    generated_page = page_of(generated, "generated.html")
    with Browser() as browser:
        test_loads_without_network_or_errors(browser, example_page)
        test_keys_and_buttons(browser)
        test_scrubbing(browser)
        test_playback_in_virtual_time(browser)
        test_body_loop_wraps_at_its_exact_end(browser)
        test_readout_matches_sample(browser, example_page, EXAMPLE, None)
        browser.open(f"file://{generated_page}")
        count = browser.evaluate("animationPlayer.frameCount")
        frames = sorted(rng.randrange(count) for _ in range(500))
        test_readout_matches_sample(browser, generated_page, generated, frames)
        midpoints = os.path.join(WORK, "midpoints.animation.json")
        midpoint_frames = midpoint_animation(midpoints)
        test_readout_matches_sample(browser, page_of(midpoints, "midpoints.html"), midpoints, midpoint_frames)
        # Every effect next to the named ones, at every frame: shown by name or by number as sample writes it.
        effects = os.path.join(WORK, "effects.animation.json")
        with open(effects, "w") as out:
            keys = ", ".join(f'{{"effect": {e}, "duration": 1}}'
                             for e in ('"Held3"', 4, -1, 2147483647, -2147483648, '"Linear", "args": [0, 1]'))
            out.write('{"format": "animationmodel", "version": 1, "body": {"e": [' + keys + "]}}")
        test_readout_matches_sample(browser, page_of(effects, "effects.html"), effects, None)
        test_picture(browser, example_page)
        check(browser.errors() == [], f"no console error: {browser.errors()}")
    return finish()


if __name__ == "__main__":
    sys.exit(main())

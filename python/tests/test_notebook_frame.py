"""The player's frame in a notebook, in a real browser (headless Chromium):
it takes the height of its page, at most the window's."""
import os
import sys
import time

import pytest

import animationmodel as am

EXAMPLES = os.environ.get("ANIMATIONMODEL_EXAMPLES", os.path.join(os.path.dirname(__file__), "..", "..", "examples"))
DRIVER = os.path.join(EXAMPLES, "..", "tests", "player")

if not os.path.exists("/usr/bin/chromium") or not os.path.exists(os.path.join(DRIVER, "chromium.py")):
    pytest.skip("needs Debian's chromium and the project's driver", allow_module_level=True)
pytest.importorskip("websocket")
sys.path.insert(0, DRIVER)
import chromium  # noqa: E402

# The sandboxed frame runs in its own process otherwise, out of the page's frame tree.
FLAGS = chromium.FLAGS + ["--disable-site-isolation-trials"]

WINDOW_HEIGHT = 900


@pytest.fixture(scope="module")
def browser():
    saved, chromium.FLAGS = chromium.FLAGS, FLAGS
    try:
        with chromium.Browser(width=1100, height=WINDOW_HEIGHT) as opened:
            yield opened
    finally:
        chromium.FLAGS = saved


def frame_heights(browser, tmp_path, value):
    """(height of the frame once settled, its page's content height inside it, its window's innerHeight)."""
    page = tmp_path / "notebook.html"
    page.write_text('<!DOCTYPE html><html><head><meta charset="utf-8"></head><body style="margin:0">'
                    '<div class="output" style="width:900px">' + value.player()._repr_html_() + "</div></body></html>",
                    encoding="utf-8")
    browser.open(page.as_uri())
    heights, deadline = [], time.monotonic() + 20
    while time.monotonic() < deadline:
        heights.append(browser.evaluate("document.querySelector('iframe').getBoundingClientRect().height"))
        if len(heights) > 5 and len(set(heights[-5:])) == 1:
            break
        time.sleep(0.2)
    tree = browser.call("Page.getFrameTree")["frameTree"]
    child = tree["childFrames"][0]["frame"]["id"]
    context = browser.call("Page.createIsolatedWorld", frameId=child)["executionContextId"]

    def inside(expression):
        return browser.call("Runtime.evaluate", expression=expression, contextId=context,
                            returnByValue=True)["result"]["value"]

    # The root's box, not its scrollHeight, which is never less than the window's height.
    return heights[-1], inside("Math.ceil(document.documentElement.getBoundingClientRect().height)"), \
        inside("window.innerHeight")


def test_the_frame_fits_a_small_page(browser, tmp_path):
    height, content, inner = frame_heights(browser, tmp_path, am.load(os.path.join(EXAMPLES, "data",
                                                                                   "show.animation.json")))
    assert content < browser.evaluate("window.innerHeight")
    assert height == inner == content


def test_the_frame_of_a_tall_page_takes_the_window_height(browser, tmp_path):
    key = am.AnimationKey(am.AnimationKeyCommand(am.Held1), 5)
    timeline = am.LayerMap({f"layer {i:02}": [key] * (i + 1) for i in range(60)})
    height, content, inner = frame_heights(browser, tmp_path, timeline)
    window = browser.evaluate("window.innerHeight")
    assert height == inner == window and content > window

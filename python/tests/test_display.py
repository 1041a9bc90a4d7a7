"""The picture and the player page from Python, as the tool makes them."""
import os
import subprocess

import pytest

import animationmodel as am

EXAMPLES = os.environ.get("ANIMATIONMODEL_EXAMPLES", os.path.join(os.path.dirname(__file__), "..", "..", "examples"))
ANIMATION = os.path.join(EXAMPLES, "data", "show.animation.json")
TOOL = os.environ.get("ANIMATIONMODEL_TOOL")


def test_picture_and_page_of_an_animation_and_a_timeline():
    animation = am.load(ANIMATION)
    svg = animation.to_svg(width=800, title="show")
    assert svg.startswith('<svg xmlns="http://www.w3.org/2000/svg" width="800"') and svg.endswith("</svg>\n")
    assert animation._repr_svg_() == animation.to_svg()
    page = animation.to_html(title="a <b> & c")
    assert page.startswith("<!DOCTYPE html>") and "Content-Security-Policy" in page
    assert "<title>a &lt;b&gt; &amp; c \u2014 animationmodel player</title>" in page
    frame = animation.player()._repr_html_()
    assert frame.startswith('<iframe title="player of animation" sandbox="allow-scripts"') and "&quot;" in frame
    timeline = am.load(os.path.join(EXAMPLES, "data", "show.timeline.json"))
    assert "timeline, 5 layers" in timeline.to_svg()
    assert "timeline, 5 layers" in timeline.to_html() and 'id="animation-clip"' in timeline.to_html()
    with pytest.raises(ValueError, match="^width must be from 300 to 100000 pixels, not 299$"):
        animation.to_svg(width=299)


@pytest.mark.skipif(TOOL is None, reason="ANIMATIONMODEL_TOOL names the built tool")
def test_the_same_bytes_as_the_tool(tmp_path):
    animation = am.load(ANIMATION)
    svg, page = tmp_path / "show.svg", tmp_path / "show.html"
    subprocess.run([TOOL, "render", ANIMATION, "-o", str(svg), "--width", "900"], check=True)
    subprocess.run([TOOL, "play", ANIMATION, "-o", str(page)], check=True)
    assert svg.read_text() == animation.to_svg(width=900, title=ANIMATION)
    assert page.read_text() == animation.to_html(title=ANIMATION)

"""Loads the example timeline, cuts it into intro, body and outro, samples a few
frames and saves the animation (to OUT.json, or into the system's temporary
folder). Run with the package on the path, e.g.
    PYTHONPATH=build/default/python python3 examples/animationmodel_example.py [OUT.json]
"""
import os
import sys
import tempfile

import animationmodel as am

here = os.path.dirname(os.path.abspath(__file__))
out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(tempfile.gettempdir(), "show.animation.json")

timeline = am.load_timeline(os.path.join(here, "data", "show.timeline.json"))
animation = am.Animation(timeline, 24, 72)
rows = am.AnimationSampler(animation).sample_range(22, 26, layers=["opacity", "position x"])
am.dump(animation, out)

for row in zip(rows["frame"], rows["phase"], rows["layer"], rows["key"], rows["offset"], rows["value"]):
    print(*row)
print(f"{animation.duration_in_frames()} frames = {animation.duration_in_seconds()} s, saved to {out}")

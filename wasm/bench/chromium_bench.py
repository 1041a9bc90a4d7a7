"""The WebAssembly half of the benchmark pair in headless Chromium (see run):
the page loads the JSON document and samples every channel at the frames
of POSITIONS, best of ROUNDS, as sample_bench.mjs does in Node.

usage: chromium_bench.py MODULE_DIR DOCUMENT POSITIONS ROUNDS"""
import functools
import http.server
import os
import shutil
import sys
import tempfile
import threading

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "player", "tests"))
from chromium import Browser  # noqa: E402

SCRIPT = """(async () => {
  const { loadAnimationModel, Sample } = await import('/animationmodel.mjs');
  const am = await loadAnimationModel();
  const text = await (await fetch('/document.json')).text();
  const positions = Float64Array.from((await (await fetch('/positions')).text()).trim().split('\\n'), Number);
  const rounds = %(rounds)d;
  let load = Infinity, clip = null;
  for (let round = 0; round < rounds; ++round) {
    clip?.free();
    const start = performance.now();
    clip = am.clipFromJson(text);
    load = Math.min(load, performance.now() - start);
  }
  const cursor = clip.cursor();
  const channels = clip.channelCount;
  const into = new Sample(channels);
  let best = Infinity, sum = 0;
  for (let round = 0; round < rounds; ++round) {
    const start = performance.now();
    for (let i = 0; i < positions.length; ++i) {
      cursor.sampleFrame(positions[i], into);
      sum += into.values[i %% channels];
    }
    best = Math.min(best, performance.now() - start);
  }
  return `load-ms ${load.toFixed(3)} ns-per-channel-sample ${(best * 1e6 / (positions.length * channels)).toFixed(3)}`;
})()"""


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      ".mjs": "text/javascript", ".wasm": "application/wasm"}

    def log_message(self, *args):
        pass


def main():
    module, document, positions, rounds = sys.argv[1:5]
    folder = tempfile.mkdtemp(prefix="animationmodel-bench-")
    try:
        for name in os.listdir(module):
            if name.endswith((".mjs", ".wasm")):
                shutil.copy(os.path.join(module, name), folder)
        shutil.copy(document, os.path.join(folder, "document.json"))
        shutil.copy(positions, os.path.join(folder, "positions"))
        with open(os.path.join(folder, "index.html"), "w") as page:
            page.write("<!DOCTYPE html><title>bench</title>")
        server = http.server.ThreadingHTTPServer(("127.0.0.1", 0),
                                                 functools.partial(QuietHandler, directory=folder))
        threading.Thread(target=server.serve_forever, daemon=True).start()
        browser = Browser()
        try:
            browser.open(f"http://127.0.0.1:{server.server_address[1]}/index.html")
            print(browser.evaluate(SCRIPT % {"rounds": int(rounds)}))
        finally:
            browser.close()
            server.shutdown()
    finally:
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()

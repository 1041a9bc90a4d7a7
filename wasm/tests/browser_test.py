"""The WebAssembly module in headless Chromium: a page served from a local
origin imports the module (the two-file one and the one-file one) from the
folder given, loads the documents of CASES (browser-cases.mjs) as JSON and
as binary clips, and samples them; every value, effect and key flag must be
the native library's, and the page must fetch nothing from another origin.

usage: browser_test.py FOLDER MODULE_PATH CASES
  FOLDER       served as the page's origin
  MODULE_PATH  the module's folder inside FOLDER (e.g. node_modules/animationmodel)
  CASES        the file browser-cases.mjs wrote"""
import functools
import http.server
import os
import shutil
import sys
import threading

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "player", "tests"))
from chromium import Browser  # noqa: E402

# A page that allows its own origin and WebAssembly, nothing else.
PAGE = """<!DOCTYPE html><html><head><meta charset="utf-8">
<meta http-equiv="Content-Security-Policy"
 content="default-src 'none'; script-src 'self' 'wasm-unsafe-eval'; connect-src 'self'">
<title>animationmodel</title></head><body></body></html>"""

PAGE_SCRIPT = """(async () => {
  const { loadAnimationModel } = await import('/%(module)s/%(entry)s');
  const am = await loadAnimationModel();
  const cases = await (await fetch('/cases.json')).json();
  const bits = new DataView(new ArrayBuffer(4));
  const wrong = [];
  let compared = 0;
  for (const [index, item] of cases.entries()) {
    const binary = Uint8Array.from(atob(item.binary), c => c.charCodeAt(0));
    for (const [kind, clip] of [['JSON', am.clipFromJson(item.text)], ['binary', am.clipFromBinary(binary)]]) {
      const cursor = clip.cursor();
      item.positions.forEach((position, i) => {
        const sample = cursor.sampleFrame(position);
        const actual = Array.from(sample.values, (value, channel) => {
          bits.setFloat32(0, value, true);
          return [bits.getUint32(0, true), sample.effects[channel], sample.keyed[channel]];
        });
        compared += actual.length;
        if (JSON.stringify(actual) !== JSON.stringify(item.expected[i]) && wrong.length < 5) {
          wrong.push(`document ${index} (${kind}) at ${position}: ${JSON.stringify(actual)}`
            + ` instead of ${JSON.stringify(item.expected[i])}`);
        }
      });
      clip.free();
    }
  }
  return { wrong, compared, documents: cases.length, version: am.version };
})()"""


def main():
    folder, module, cases = sys.argv[1:4]
    shutil.copyfile(cases, os.path.join(folder, "cases.json"))
    with open(os.path.join(folder, "page.html"), "w") as page:
        page.write(PAGE)
    handler = functools.partial(QuietHandler, directory=folder)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    origin = f"http://127.0.0.1:{server.server_address[1]}"
    browser = Browser()
    failures = []
    try:
        for entry in ("animationmodel.mjs", "inline.mjs"):
            browser.open(origin + "/page.html")
            result = browser.evaluate(PAGE_SCRIPT % {"module": module, "entry": entry})
            print(f"{entry}: {result['documents']} documents, {result['compared']} channel samples")
            failures += [f"{entry}: {line}" for line in result["wrong"]]
            if result["compared"] < 10000:
                failures.append(f"{entry}: only {result['compared']} channel samples compared")
            strangers = [url for url in browser.requests() if not url.startswith(origin)]
            if strangers:
                failures.append(f"{entry}: requests to another origin: {strangers}")
    finally:
        browser.close()
        server.shutdown()
    for failure in failures:
        print(failure)
    return 1 if failures else 0


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      ".mjs": "text/javascript", ".wasm": "application/wasm"}

    def log_message(self, *args):
        pass


if __name__ == "__main__":
    sys.exit(main())

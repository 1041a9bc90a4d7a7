"""Builds the extension module of the Python package (see pyproject.toml).

The version is the CMake project's, read from CMakeLists.txt; the sources are
every C++ source of the folders of the CMake targets animationmodel,
animationmodel_files, animationmodel_json, animationmodel_clipfile, animationmodel_loader, animationmodel_render,
animationmodel_player and the
bindings (each folder holds its target's sources and nothing else), compiled
a folder at a time (a unity build) into the one module, static, so the package depends on no
installed library. The export headers that CMake generates are written, for
a static build, into build/python-package/.
"""
import os
import pathlib
import platform
import re
import shutil
import subprocess

from pybind11.setup_helpers import ParallelCompile, Pybind11Extension, build_ext
from setuptools import setup

ROOT = pathlib.Path(__file__).resolve().parent
VERSION = re.search(r"project\(animationmodel\s+VERSION\s+([0-9.]+)", (ROOT / "CMakeLists.txt").read_text()).group(1)
GENERATED = ROOT / "build" / "python-package" / "include"


def export_header(base):
    """The export header of a static library: every macro empty."""
    path = GENERATED / "animationmodel" / f"{base.lower()}_export.h"
    path.parent.mkdir(parents=True, exist_ok=True)
    macros = [f"{base}_EXPORT", f"{base}_NO_EXPORT", f"{base}_DEPRECATED", f"{base}_DEPRECATED_EXPORT",
              f"{base}_DEPRECATED_NO_EXPORT"]
    text = f"#ifndef {base}_EXPORT_H\n#define {base}_EXPORT_H\n"
    text += "".join(f"#define {macro}\n" for macro in macros) + "#endif\n"
    if not path.exists() or path.read_text() != text:
        path.write_text(text)


def sources(folder):
    return sorted(str(path.relative_to(ROOT)) for path in (ROOT / folder).glob("*.cpp"))


# Compiles the sources in parallel (one job per processor).
ParallelCompile("ANIMATIONMODEL_BUILD_JOBS").install()

export_header("ANIMATIONMODEL")
export_header("ANIMATIONMODEL_JSON")
export_header("ANIMATIONMODEL_RENDER")
export_header("ANIMATIONMODEL_PLAYER")
export_header("ANIMATIONMODEL_CLIPFILE")
export_header("ANIMATIONMODEL_LOADER")


def version_header():
    """<animationmodel/version.h>, as CMake writes it from cmake/version.h.in."""
    major, minor, patch = (int(part) for part in VERSION.split("."))
    text = (ROOT / "cmake" / "version.h.in").read_text()
    for name, value in (("PROJECT_VERSION_MAJOR", major), ("PROJECT_VERSION_MINOR", minor),
                        ("PROJECT_VERSION_PATCH", patch), ("PROJECT_VERSION", VERSION),
                        ("ANIMATIONMODEL_VERSION_NUMBER", major * 10000 + minor * 100 + patch)):
        text = text.replace(f"@{name}@", str(value))
    path = GENERATED / "animationmodel" / "version.h"
    if not path.exists() or path.read_text() != text:
        path.write_text(text)


version_header()

def player_scripts():
    """The page's scripts, as player/CMakeLists.txt picks them: the WebAssembly module (built by wasm/build when
    Emscripten is there), its binding and element, then the page's own; else a stand-in that says it cannot play."""
    wasm = GENERATED.parent / "wasm"
    if shutil.which("emcc"):
        subprocess.run([str(ROOT / "wasm" / "build")], check=True, env={**os.environ, "ANIMATIONMODEL_WASM_DIR": str(wasm)})
        module = [wasm / "animationmodel-wasm-inline.mjs", ROOT / "wasm/js/native.mjs", ROOT / "wasm/js/playback.mjs",
                  ROOT / "wasm/js/binding.mjs", ROOT / "wasm/js/playerview.mjs",
                  ROOT / "wasm/js/playerelement.mjs"]
    else:
        module = [ROOT / "player/web/nomodule.js"]
    return module + [ROOT / "player/web/player.js"]


def player_assets():
    """The player's script and style as C++ constants, as player/embed.cmake writes them."""
    def literal(text):
        return "".join(f'R"amAsset({text[start:start + 60000]})amAsset"\n' for start in range(0, len(text) + 1, 60000))

    def joined(path):
        text = re.sub(r"(^|\n)import [^\n]*", r"\1", path.read_text())
        text = re.sub(r"(^|\n)export \{[^\n]*\} from [^\n]*", r"\1", text)
        text = re.sub(r"(^|\n)export default [^\n]*", r"\1", text)
        return re.sub(r"(^|\n)export (async |class |const |function |let )", r"\1\2", text) + "\n"
    path = GENERATED.parent / "playerassets.cpp"
    text = ('#include "playerassets.h"\n\nnamespace Korva::player {\n\nconst char* const script =\n'
            + "".join(literal(joined(f)) for f in player_scripts()) + ';\n\nconst char* const style =\n'
            + literal((ROOT / "player/web/player.css").read_text()) + ';\n\n} // namespace Korva::player\n')
    if not path.exists() or path.read_text() != text:
        path.write_text(text)
    return str(path.relative_to(ROOT))


def unity(folder):
    """One source that includes every source of `folder`: a unity build, as CMake's presets make."""
    path = GENERATED.parent / "unity" / (folder.replace("/", "_") + ".cpp")
    path.parent.mkdir(parents=True, exist_ok=True)
    text = "".join(f'#include "{ROOT / source}"\n' for source in sources(folder))
    if not path.exists() or path.read_text() != text:
        path.write_text(text)
    return str(path.relative_to(ROOT))


SOURCES = [unity(folder) for folder in ("src", "src/runtime", "files/src", "json/src", "clipfile/src", "loader/src", "render/src", "player/src", "python/src")] + [
    player_assets()
]

extension = Pybind11Extension(
    "animationmodel._animationmodel",
    SOURCES,
    include_dirs=["include", "files/include", "json/include", "clipfile/include", "loader/include", "render/include", "player/include", "player/src", str(GENERATED)],
    define_macros=[]
    + ([("RAPIDJSON_SSE2", None)] if platform.machine() in ("x86_64", "AMD64") else []),
    # The key arithmetic must not depend on the compiler fusing a multiply and an add.
    extra_compile_args=["-ffp-contract=off"],
    # XXH3 of the binary clip file's checksum (Debian's libxxhash).
    libraries=["xxhash"],
    cxx_std=17,
)

setup(version=VERSION, ext_modules=[extension], cmdclass={"build_ext": build_ext})

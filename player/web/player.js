// The player page: plays an animation of the library in real time, exact to
// the bit. Data: the JSON of the #animation-data script (see animationplayer.h).
// Scripting hook: window.animationPlayer (see docs/player.md).
"use strict";

(function () {
  const data = JSON.parse(document.getElementById("animation-data").textContent);
  const fps = parseValue(data.fps);
  const effectNames = ["Linear", "Held1", "Held2", "Held3"];

  // Phases: layers with their keys and the frame at which each key ends.
  let phaseStart = 0;
  const phases = data.phases.map((phase) => {
    let length = 0;
    const layers = phase.layers.map((layer) => {
      const keys = [];
      const ends = [];
      let end = 0;
      for (let i = 0; i < layer.keys.length; ) {
        const effect = layer.keys[i];
        const duration = layer.keys[i + 1];
        const key = { effect, duration, start: NaN, end: NaN };
        i += 2;
        if (effect === 0) {
          key.start = parseValue(layer.keys[i]);
          key.end = parseValue(layer.keys[i + 1]);
          i += 2;
        }
        end += duration;
        keys.push(key);
        ends.push(end);
      }
      length = Math.max(length, end);
      return { name: layer.name, keys, ends };
    });
    const placed = { name: phase.name, layers, start: phaseStart, length };
    phaseStart += length;
    return placed;
  });
  const frameCount = phaseStart;
  const body = phases.length === 3 ? phases[1] : phases[0];

  function parseValue(text) {
    const value = Number(text);
    return Number.isFinite(value) ? roundsToFloat(text, value) : floatOf(text);
  }

  // --- what plays at a frame ---------------------------------------------

  // The phase playing at `frame`, or null past the end, before the start or
  // at a frame that is not a whole number.
  function phaseOf(frame) {
    if (!Number.isInteger(frame) || frame < 0) {
      return null;
    }
    for (const phase of phases) {
      if (frame < phase.start + phase.length) {
        return phase;
      }
    }
    return null;
  }

  // The index of the first of the ascending `values` above `value`, or their
  // number: of a layer's key ends, the key playing `value` frames into its
  // phase (the number of keys when the layer has ended).
  function firstAbove(values, value) {
    let low = 0;
    let high = values.length;
    while (low < high) {
      const middle = (low + high) >>> 1;
      if (values[middle] <= value) {
        low = middle + 1;
      } else {
        high = middle;
      }
    }
    return low;
  }

  // The layers with a key at `frame`, each with its key's index and offset:
  // cheap for any number of layers, no text made.
  function activeAt(frame) {
    const active = { frame, phase: phaseOf(frame), layers: [], keys: [], offsets: [] };
    if (active.phase === null) {
      return active;
    }
    const local = frame - active.phase.start;
    for (const layer of active.phase.layers) {
      const index = firstAbove(layer.ends, local);
      if (index < layer.ends.length) {
        active.layers.push(layer);
        active.keys.push(index);
        active.offsets.push(local - (index === 0 ? 0 : layer.ends[index - 1]));
      }
    }
    return active;
  }

  // Row `i` of `active`: the CSV columns of `animationmodel sample`.
  function rowOf(active, i) {
    const key = active.layers[i].keys[active.keys[i]];
    const offset = active.offsets[i];
    const value = key.effect === 0 ? floatText(rampValueAt(key.start, key.end, offset, key.duration)) : "";
    const effect = key.effect >= 0 && key.effect <= 3 ? effectNames[key.effect] : String(key.effect);
    return [String(active.frame), active.phase.name, active.layers[i].name, String(active.keys[i]), String(offset),
      effect, value];
  }

  function rowsAt(frame) {
    const active = activeAt(frame);
    return active.layers.map((_, i) => rowOf(active, i));
  }

  // Every frame at which some layer's key starts, and the end.
  const boundaries = (() => {
    const set = new Set([0, frameCount]);
    for (const phase of phases) {
      set.add(phase.start);
      for (const layer of phase.layers) {
        for (const end of layer.ends) {
          set.add(phase.start + end);
        }
      }
    }
    return Array.from(set).sort((a, b) => a - b);
  })();

  // --- the page ------------------------------------------------------------

  const svg = document.querySelector("#picture svg");
  const plot = data.plot;
  const playhead = document.createElementNS("http://www.w3.org/2000/svg", "line");
  playhead.setAttribute("class", "playhead");
  playhead.setAttribute("y1", String(plot.top));
  playhead.setAttribute("y2", String(plot.bottom));
  svg.appendChild(playhead);
  const picture = document.getElementById("picture");
  const counter = document.getElementById("counter");
  const readoutBox = document.getElementById("readout-box");
  const table = document.getElementById("readout");
  const tbody = table.tBodies[0];
  const playButton = document.getElementById("play");
  const speedSelect = document.getElementById("speed");
  const loopSelect = document.getElementById("loop");

  function xOf(frame) {
    return plot.left + (frame * (plot.right - plot.left)) / plot.frames;
  }

  const state = { frame: 0, playing: false, playStart: 0, anchorTime: 0, anchorFrame: 0 };

  // The readout is a window on the rows of the frame shown: only the rows in
  // view of its scrolled box are made, between two spacer rows that stand for
  // the others, so a frame of 100,000 layers costs no more than one of 50.
  const readout = { active: activeAt(0), rows: [] };
  const topSpacer = spacerRow();
  const bottomSpacer = spacerRow();
  tbody.append(topSpacer, bottomSpacer);

  // The geometry that seeking needs, kept from scroll and resize events: a
  // seek reads no layout, so it never makes the browser lay out the page
  // (with its picture) before its time.
  const view = {
    readoutTop: 0, readoutHeight: window.innerHeight, bodyTop: 0, rowHeight: 24,
    pictureLeft: 0, pictureWidth: Infinity, pictureScale: 1, pictureScrolls: false,
  };
  function measure() {
    view.readoutTop = readoutBox.scrollTop;
    view.readoutHeight = readoutBox.clientHeight;
    view.bodyTop = tbody.getBoundingClientRect().top - readoutBox.getBoundingClientRect().top + readoutBox.scrollTop;
    if (readout.rows.length > 0) {
      view.rowHeight = readout.rows[0].getBoundingClientRect().height || view.rowHeight;
    }
    view.pictureLeft = picture.scrollLeft;
    view.pictureWidth = picture.clientWidth;
    view.pictureScrolls = picture.scrollWidth > picture.clientWidth;
    view.pictureScale = svg.getBoundingClientRect().width / svg.viewBox.baseVal.width;
  }
  const resized = new ResizeObserver(() => {
    measure();
    showReadout();
  });
  resized.observe(readoutBox);
  resized.observe(picture);
  readoutBox.addEventListener("scroll", () => {
    view.readoutTop = readoutBox.scrollTop;
    showReadout();
  });
  picture.addEventListener("scroll", () => (view.pictureLeft = picture.scrollLeft));
  window.addEventListener("resize", measure);

  function spacerRow() {
    const row = document.createElement("tr");
    row.className = "spacer";
    row.setAttribute("aria-hidden", "true");
    row.insertCell(-1).colSpan = 6;
    return row;
  }

  function dataRow() {
    const row = document.createElement("tr");
    for (let c = 0; c < 6; c++) {
      row.insertCell(-1);
    }
    return row;
  }

  // The rows [first, last) of the readout's frame in view, a few more on each side.
  function rowsInView(count) {
    const first = Math.floor((view.readoutTop - view.bodyTop) / view.rowHeight) - 8;
    const shown = Math.min(Math.max(first, 0), count);
    return [shown, Math.min(shown + Math.ceil(view.readoutHeight / view.rowHeight) + 16, count)];
  }

  function showReadout() {
    const active = readout.active;
    const count = active.layers.length;
    const [first, last] = rowsInView(count);
    while (readout.rows.length > last - first) {
      readout.rows.pop().remove();
    }
    while (readout.rows.length < last - first) {
      const row = dataRow();
      bottomSpacer.before(row);
      readout.rows.push(row);
    }
    for (let r = first; r < last; r++) {
      const row = readout.rows[r - first];
      const text = rowOf(active, r);
      row.setAttribute("aria-rowindex", String(r + 2));
      for (let c = 0; c < 6; c++) {
        if (row.cells[c].textContent !== text[c + 1]) {
          row.cells[c].textContent = text[c + 1];
        }
      }
    }
    table.setAttribute("aria-rowcount", String(count + 1));
    topSpacer.hidden = first === 0;
    topSpacer.cells[0].style.height = first * view.rowHeight + "px";
    bottomSpacer.hidden = last === count;
    bottomSpacer.cells[0].style.height = (count - last) * view.rowHeight + "px";
  }

  // The picture keeps its own size (its text stays readable) and scrolls
  // sideways in a narrow window, following the playhead.
  function keepPlayheadInView() {
    const x = xOf(state.frame) * view.pictureScale;
    if (view.pictureScrolls && (x < view.pictureLeft + 24 || x > view.pictureLeft + view.pictureWidth - 24)) {
      picture.scrollLeft = Math.max(x - view.pictureWidth / 2, 0);
      view.pictureLeft = picture.scrollLeft;
    }
  }

  // The address follows the paused frame, written once seeking settles (a
  // browser throttles a page that changes its address too often).
  let addressTimer = null;
  function updateAddress() {
    clearTimeout(addressTimer);
    addressTimer = setTimeout(() => {
      if (!state.playing && location.hash !== "#frame=" + state.frame) {
        try {
          history.replaceState(null, "", "#frame=" + state.frame);
        } catch (error) {
          // A sandboxed frame (a notebook's) may not change its address.
        }
      }
    }, 200);
  }

  function show() {
    readout.active = activeAt(state.frame);
    showReadout();
    const x = String(xOf(state.frame));
    playhead.setAttribute("x1", x);
    playhead.setAttribute("x2", x);
    keepPlayheadInView();
    const seconds = floatText(Math.fround(state.frame / fps));
    counter.textContent = "frame " + state.frame + " of " + frameCount + " \u00b7 " + seconds + " s at "
      + floatText(fps) + " fps";
    updateAddress();
  }

  // The nearest frame of the animation: NaN and anything below 0 give 0,
  // anything past the end the last frame.
  function clamp(frame) {
    const rounded = Math.round(Number(frame));
    return rounded > 0 ? Math.min(rounded, Math.max(frameCount - 1, 0)) : 0;
  }

  function seek(frame) {
    state.frame = clamp(frame);
    if (state.playing) {
      anchor();
    }
    show();
  }

  function anchor() {
    state.anchorTime = performance.now();
    state.anchorFrame = state.frame;
  }

  function speed() {
    return Number(speedSelect.value);
  }

  // The next tick comes with the next animation frame, or after 16 ms when
  // the browser draws no frame (a hidden or headless page).
  let scheduled = null;
  function schedule() {
    if (scheduled !== null) {
      return;
    }
    const run = () => {
      cancelAnimationFrame(scheduled.frame);
      clearTimeout(scheduled.timer);
      scheduled = null;
      tick(performance.now());
    };
    scheduled = { frame: requestAnimationFrame(run), timer: setTimeout(run, 16) };
  }

  // `frame` brought back into [start, start + length) by whole lengths: a
  // remainder, so that any rate, however large, costs one step.
  function wrapped(frame, start, length) {
    const within = (frame - start) % length;
    return Number.isFinite(within) ? start + within : start;
  }

  // The frame that real time has reached since the anchor: frames are
  // skipped, never time stretched, when the browser is slow.
  function tick(now) {
    if (!state.playing) {
      return;
    }
    let frame = state.anchorFrame + Math.floor(((now - state.anchorTime) * fps * speed()) / 1000);
    const loop = loopSelect.value;
    const bodyEnd = body.start + body.length;
    if (loop === "body" && body.length > 0 && state.anchorFrame < bodyEnd) {
      if (frame >= bodyEnd) {
        frame = wrapped(frame, body.start, body.length);
      }
    } else if (loop === "all" && frameCount > 0 && frame >= frameCount) {
      frame = wrapped(frame, 0, frameCount);
    }
    if (!(frame < frameCount)) {
      state.frame = Math.max(frameCount - 1, 0);
      pause();
      return;
    }
    if (frame !== state.frame) {
      state.frame = frame;
      show();
    }
    schedule();
  }

  function play() {
    if (state.playing || frameCount === 0) {
      return;
    }
    if (state.frame >= frameCount - 1 && loopSelect.value === "none") {
      state.frame = 0;
    }
    state.playing = true;
    state.playStart = state.frame;
    anchor();
    playButton.textContent = "pause";
    show();
    schedule();
  }

  function pause() {
    state.playing = false;
    playButton.textContent = "play";
    show();
  }

  function stopAndReturn() {
    const start = state.playStart;
    pause();
    seek(start);
  }

  // The first boundary past the frame shown, or the last one before it.
  function boundary(direction) {
    const low = firstAbove(boundaries, state.frame);
    if (direction > 0) {
      seek(low < boundaries.length ? boundaries[low] : frameCount - 1);
    } else {
      const before = boundaries[low - 1] === state.frame ? low - 2 : low - 1;
      seek(before >= 0 ? boundaries[before] : 0);
    }
  }

  const second = Math.max(1, Math.round(fps));
  const actions = {
    "play": () => (state.playing ? pause() : play()),
    "back-second": () => seek(state.frame - second),
    "back-frame": () => seek(state.frame - 1),
    "forward-frame": () => seek(state.frame + 1),
    "forward-second": () => seek(state.frame + second),
    "previous-key": () => boundary(-1),
    "next-key": () => boundary(1),
    "start": () => seek(0),
    "end": () => seek(frameCount - 1),
    "phase-0": () => seek(phases[0].start),
    "phase-1": () => seek((phases[1] || phases[0]).start),
    "phase-2": () => seek((phases[2] || phases[0]).start),
  };
  for (const [name, action] of Object.entries(actions)) {
    const button = document.getElementById(name);
    if (button) {
      button.addEventListener("click", action);
    }
  }
  speedSelect.addEventListener("change", () => state.playing && anchor());
  loopSelect.addEventListener("change", () => state.playing && anchor());

  // The keyboard shortcuts' list, shown and hidden by its button or `?`.
  const shortcutsButton = document.getElementById("shortcuts-button");
  const shortcuts = document.getElementById("shortcuts");
  function toggleShortcuts(open) {
    shortcuts.hidden = !open;
    shortcutsButton.setAttribute("aria-expanded", String(open));
  }
  shortcutsButton.addEventListener("click", () => toggleShortcuts(shortcuts.hidden));

  // A focused select keeps every key (it changes its value with them); a
  // focused button keeps Space and Enter, which press it.
  document.addEventListener("keydown", (event) => {
    if (event.ctrlKey || event.metaKey || event.altKey || event.target instanceof HTMLSelectElement) {
      return;
    }
    if ((event.key === " " || event.key === "Enter") && event.target instanceof HTMLButtonElement) {
      return;
    }
    const keys = {
      " ": actions.play,
      "ArrowLeft": event.shiftKey ? actions["back-second"] : actions["back-frame"],
      "ArrowRight": event.shiftKey ? actions["forward-second"] : actions["forward-frame"],
      ",": actions["previous-key"],
      ".": actions["next-key"],
      "Enter": stopAndReturn,
      "Home": actions.start,
      "End": actions.end,
      "1": actions["phase-0"],
      "2": actions["phase-1"],
      "3": actions["phase-2"],
      "l": () => cycleLoop(),
      "L": () => cycleLoop(),
      "?": () => toggleShortcuts(shortcuts.hidden),
      "Escape": () => toggleShortcuts(false),
    };
    const action = keys[event.key];
    if (action) {
      event.preventDefault();
      action();
    }
  });

  function cycleLoop() {
    const options = ["none", "all", "body"];
    loopSelect.value = options[(options.indexOf(loopSelect.value) + 1) % options.length];
    loopSelect.dispatchEvent(new Event("change"));
  }

  // Scrubbing: a fixed number of frames per pixel of the picture, whatever
  // the size it is shown at.
  function frameAt(event) {
    const point = svg.createSVGPoint();
    point.x = event.clientX;
    point.y = event.clientY;
    const local = point.matrixTransform(svg.getScreenCTM().inverse());
    return Math.floor(((local.x - plot.left) * plot.frames) / (plot.right - plot.left));
  }
  let scrubbing = false;
  svg.addEventListener("pointerdown", (event) => {
    scrubbing = true;
    svg.setPointerCapture(event.pointerId);
    seek(frameAt(event));
  });
  svg.addEventListener("pointermove", (event) => scrubbing && seek(frameAt(event)));
  svg.addEventListener("pointerup", () => (scrubbing = false));

  window.animationPlayer = {
    seek,
    play,
    pause,
    rows: () => rowsAt(state.frame),
    get frame() {
      return state.frame;
    },
    get playing() {
      return state.playing;
    },
    frameCount,
    fps,
    phases: phases.map((p) => ({ name: p.name, start: p.start, length: p.length })),
    xOf,
    rowsAt,
  };

  const match = /^#frame=(\d+)$/.exec(location.hash);
  seek(match ? Number(match[1]) : 0);
  window.animationPlayer.readyAt = performance.now();
  document.documentElement.dataset.ready = "true";
})();

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

  function phaseOf(frame) {
    for (const phase of phases) {
      if (frame < phase.start + phase.length) {
        return phase;
      }
    }
    return null;
  }

  // The rows of `frame`: arrays of the CSV columns of `animationmodel sample`.
  function rowsAt(frame) {
    const phase = phaseOf(frame);
    if (phase === null) {
      return [];
    }
    const local = frame - phase.start;
    const rows = [];
    for (const layer of phase.layers) {
      const ends = layer.ends;
      let low = 0;
      let high = ends.length;
      while (low < high) {
        const middle = (low + high) >>> 1;
        if (ends[middle] <= local) {
          low = middle + 1;
        } else {
          high = middle;
        }
      }
      if (low === ends.length) {
        continue;
      }
      const key = layer.keys[low];
      const offset = local - (low === 0 ? 0 : ends[low - 1]);
      const value = key.effect === 0 ? floatText(rampValueAt(key.start, key.end, offset, key.duration)) : "";
      const effect = key.effect >= 0 && key.effect <= 3 ? effectNames[key.effect] : String(key.effect);
      rows.push([String(frame), phase.name, layer.name, String(low), String(offset), effect, value]);
    }
    return rows;
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
  const counter = document.getElementById("counter");
  const tbody = document.querySelector("#readout tbody");
  const playButton = document.getElementById("play");
  const speedSelect = document.getElementById("speed");
  const loopSelect = document.getElementById("loop");

  function xOf(frame) {
    return plot.left + (frame * (plot.right - plot.left)) / plot.frames;
  }

  const state = { frame: 0, playing: false, playStart: 0, anchorTime: 0, anchorFrame: 0 };

  function show() {
    const rows = rowsAt(state.frame);
    while (tbody.rows.length > rows.length) {
      tbody.deleteRow(-1);
    }
    while (tbody.rows.length < rows.length) {
      const row = tbody.insertRow(-1);
      for (let c = 0; c < 6; c++) {
        row.insertCell(-1);
      }
    }
    for (let r = 0; r < rows.length; r++) {
      const cells = tbody.rows[r].cells;
      for (let c = 0; c < 6; c++) {
        const text = rows[r][c + 1];
        if (cells[c].textContent !== text) {
          cells[c].textContent = text;
        }
      }
    }
    const x = String(xOf(state.frame));
    playhead.setAttribute("x1", x);
    playhead.setAttribute("x2", x);
    const seconds = floatText(Math.fround(state.frame / fps));
    counter.textContent = "frame " + state.frame + " of " + frameCount + " \u00b7 " + seconds + " s at "
      + floatText(fps) + " fps";
    if (!state.playing && location.hash !== "#frame=" + state.frame) {
      try {
        history.replaceState(null, "", "#frame=" + state.frame);
      } catch (error) {
        // A sandboxed frame (a notebook's) may not change its address.
      }
    }
  }

  function clamp(frame) {
    return Math.min(Math.max(Math.round(frame), 0), Math.max(frameCount - 1, 0));
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

  // The frame that real time has reached since the anchor: frames are
  // skipped, never time stretched, when the browser is slow.
  function tick(now) {
    if (!state.playing) {
      return;
    }
    let frame = state.anchorFrame + Math.floor(((now - state.anchorTime) * fps * speed()) / 1000);
    const loop = loopSelect.value;
    if (loop === "body" && body.length > 0 && state.anchorFrame < body.start + body.length) {
      const bodyEnd = body.start + body.length;
      while (frame >= bodyEnd) {
        frame -= body.length;
        state.anchorFrame -= body.length;
      }
    } else if (loop === "all" && frameCount > 0) {
      while (frame >= frameCount) {
        frame -= frameCount;
        state.anchorFrame -= frameCount;
      }
    }
    if (frame >= frameCount) {
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
    playButton.setAttribute("aria-pressed", "true");
    show();
    schedule();
  }

  function pause() {
    state.playing = false;
    playButton.textContent = "play";
    playButton.setAttribute("aria-pressed", "false");
    show();
  }

  function stopAndReturn() {
    const start = state.playStart;
    pause();
    seek(start);
  }

  function boundary(direction) {
    if (direction > 0) {
      const next = boundaries.find((b) => b > state.frame);
      seek(next === undefined ? frameCount - 1 : next);
    } else {
      const previous = boundaries.filter((b) => b < state.frame).pop();
      seek(previous === undefined ? 0 : previous);
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

  document.addEventListener("keydown", (event) => {
    if (event.ctrlKey || event.metaKey || event.altKey || event.target instanceof HTMLSelectElement) {
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
    };
    const action = keys[event.key];
    if (action && !(event.key === " " && event.target instanceof HTMLButtonElement)) {
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

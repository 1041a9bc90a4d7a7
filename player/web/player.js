// The player page: one <animation-player> over the clip embedded in the page
// (#animation-clip, the format's binary clip file in base64), a frame in the address
// (#frame=N), and a bridge to a parent page of any origin by postMessage.
// Runs after the module's factory, binding and element (joined before it).
// Scripting hook: window.animationPlayer (see docs/player.md).

const player = document.getElementById("player");
defineAnimationPlayer(instantiate(createAnimationModelWasm, {}));

// The address follows the paused frame, written once seeking settles (a
// browser throttles a page that changes its address too often).
let addressTimer = null;
player.addEventListener("frame", () => {
  clearTimeout(addressTimer);
  addressTimer = setTimeout(() => {
    if (!player.playing && location.hash !== "#frame=" + player.frame) {
      try {
        history.replaceState(null, "", "#frame=" + player.frame);
      } catch (error) {
        // A sandboxed frame (a notebook's) may not change its address.
      }
    }
  }, 200);
});

// A parent page drives the player with messages { animationmodel: COMMAND,
// ... } and hears its events as { animationmodel: "event", type, frame,
// phase, playing } and its height as { animationmodel: "height", height }.
// The page holds nothing the parent did not give it, so any origin may ask.
const commands = {
  play: () => player.play(),
  pause: () => player.pause(),
  seek: (message) => player.seek(message.frame),
  speed: (message) => (player.speed = message.speed),
  loop: (message) => (player.loop = message.loop),
  state: () => {},
};
function tellParent(message) {
  if (window.parent !== window) {
    window.parent.postMessage({ animationmodel: message.kind, ...message.fields }, "*");
  }
}
function stateOf(type) {
  return { type, frame: player.frame, playing: player.playing, speed: player.speed, loop: player.loop,
    frameCount: player.frameCount };
}
window.addEventListener("message", (event) => {
  const message = event.data;
  if (event.source !== window.parent || message === null || typeof message !== "object"
    || !Object.hasOwn(commands, message.animationmodel)) {
    return;
  }
  try {
    commands[message.animationmodel](message);
    tellParent({ kind: "event", fields: stateOf(message.animationmodel === "state" ? "state" : "done") });
  } catch (error) {
    tellParent({ kind: "error", fields: { command: message.animationmodel, message: String(error.message) } });
  }
});
for (const type of ["frame", "play", "pause", "phase", "ended"]) {
  player.addEventListener(type, (event) => tellParent({ kind: "event", fields: { ...stateOf(type), ...event.detail } }));
}
let height = 0;
new ResizeObserver(() => {
  const now = Math.ceil(document.documentElement.getBoundingClientRect().height);
  if (now !== height) {
    height = now;
    tellParent({ kind: "height", fields: { height } });
  }
}).observe(document.documentElement);

window.animationPlayer = {
  seek: (frame) => player.seek(frame),
  play: () => player.play(),
  pause: () => player.pause(),
  rows: () => player.rows(),
  rowsAt: (frame) => player.rowsAt(frame),
  get frame() {
    return player.frame;
  },
  get playing() {
    return player.playing;
  },
  get frameCount() {
    return player.frameCount;
  },
  get fps() {
    return player.fps;
  },
  get phases() {
    return player.phases;
  },
  element: player,
};

const match = /^#frame=(\d+)$/.exec(location.hash);
player.seek(match ? Number(match[1]) : 0);
const base64 = document.getElementById("animation-clip").textContent;
const clip = new Uint8Array(base64.length / 4 * 3 - (base64.match(/=*$/)[0].length));
const bytes = atob(base64);
for (let i = 0; i < clip.length; i++) {
  clip[i] = bytes.charCodeAt(i);
}
player.load(clip).then(() => {
  window.animationPlayer.readyAt = performance.now();
  document.documentElement.dataset.ready = "true";
  tellParent({ kind: "event", fields: stateOf("ready") });
}, (error) => {
  document.documentElement.dataset.ready = "error";
  const note = document.createElement("p");
  note.textContent = "This page cannot play its animation: " + error.message;
  player.before(note);
});

// What <animation-player> shows: its style, its controls and readout as
// HTML, the readout's window on the rows in view, and the page's picture
// with its playhead. Laid out here; every value comes from the element's
// state (playerelement.mjs), which asks the module.

export const playerStyle = `
:host { display: block; font-family: sans-serif; font-size: 14px; color: var(--am-text, #1f1f1f);
  --am-line: #8a8a8a; --am-head: #f0f0f0; --am-panel: #f7f7f7; --am-focus: #1f5fa8; }
@media (prefers-color-scheme: dark) {
  :host { color: var(--am-text, #ececec); --am-line: #7a7a7a; --am-head: #2b2b2b; --am-panel: #242424;
    --am-focus: #8cc4ff; }
}
:host(:focus) { outline: none; }
:host(:focus-visible) { outline: 2px solid var(--am-focus); outline-offset: 2px; }
.visually-hidden { position: absolute; width: 1px; height: 1px; overflow: hidden; clip-path: inset(50%); white-space: nowrap; }
.scrubber { display: block; width: 100%; box-sizing: border-box; margin: 6px 0; }
.controls { display: flex; flex-wrap: wrap; gap: 4px; align-items: center; margin: 8px 0; }
.controls button, .controls select { font: inherit; padding: 3px 8px; color: inherit; background: var(--am-panel);
  border: 1px solid var(--am-line); border-radius: 3px; }
.controls label { margin-left: 8px; }
.icon { width: 0.75em; height: 0.75em; fill: currentColor; vertical-align: -0.05em; margin: 0 0.3em; }
#shortcuts { border: 1px solid var(--am-line); background: var(--am-panel); padding: 4px 12px 8px; margin: 8px 0;
  max-width: 40em; }
#shortcuts h2 { font-size: 15px; margin: 4px 0; }
#shortcuts th { text-align: left; font-weight: normal; padding: 2px 16px 2px 0; }
#shortcuts p { margin: 6px 0 0; }
kbd { font: inherit; font-size: 13px; border: 1px solid var(--am-line); border-radius: 3px; padding: 0 4px; }
#counter { font-variant-numeric: tabular-nums; margin: 4px 0; }
#readout-box { max-height: 65vh; overflow: auto; width: max-content; max-width: 100%; }
#readout { border-collapse: separate; border-spacing: 0; font-variant-numeric: tabular-nums; }
#readout caption { text-align: left; font-weight: bold; padding: 4px 0; }
#readout th, #readout td { border: 1px solid var(--am-line); border-width: 0 1px 1px 0; padding: 2px 8px;
  text-align: left; white-space: nowrap; height: 19px; box-sizing: border-box; }
#readout thead th { background: var(--am-head); position: sticky; top: 0; border-top-width: 1px; }
#readout th:first-child, #readout td:first-child { border-left-width: 1px; }
#readout tr.spacer td { padding: 0; border: 0; }
:focus-visible { outline: 2px solid var(--am-focus); outline-offset: 1px; }
@media (max-width: 480px) {
  #readout th, #readout td { padding: 2px 4px; }
  .controls label { margin-left: 2px; }
}
`;

const icons = {
    start: '<svg class="icon" viewBox="0 0 10 10" aria-hidden="true"><path d="M1 1h2v8H1zM9 1v8L3.5 5z"/></svg>',
    end: '<svg class="icon" viewBox="0 0 10 10" aria-hidden="true"><path d="M1 1v8L6.5 5zM7 1h2v8H7z"/></svg>',
};

// One button: its id, visible text (its accessible name), description and key.
function button(id, text, title, key) {
    return `<button type="button" id="${id}" title="${title}" aria-keyshortcuts="${key}">${text}</button>`;
}

export function controlsHtml(timeline) {
    const phases = timeline ? '' : ['intro', 'body', 'outro'].map((name, i) =>
        button(`phase-${i}`, name, `Start of the ${name} (${i + 1})`, String(i + 1))).join('\n');
    return `<div class="controls" role="toolbar" aria-label="Playback">
${button('start', `${icons.start}start`, 'Start (Home)', 'Home')}
${button('back-second', '&#x2212;1 s', 'Back one second (Shift+Left)', 'Shift+ArrowLeft')}
${button('back-frame', '&#x2212;1', 'Back one frame (Left)', 'ArrowLeft')}
${button('play', 'play', 'Play or pause (Space)', 'Space')}
${button('forward-frame', '+1', 'Forward one frame (Right)', 'ArrowRight')}
${button('forward-second', '+1 s', 'Forward one second (Shift+Right)', 'Shift+ArrowRight')}
${button('end', `end${icons.end}`, 'End (End)', 'End')}
${button('previous-key', '<span aria-hidden="true">&#x25C0; </span>previous key', 'Previous key boundary of any layer (,)', ',')}
${button('next-key', 'next key<span aria-hidden="true"> &#x25B6;</span>', 'Next key boundary of any layer (.)', '.')}
${phases}
<label for="speed">speed</label>
<select id="speed"><option value="0.25">0.25&#xD7;</option><option value="0.5">0.5&#xD7;</option><option value="1" selected>1&#xD7;</option><option value="2">2&#xD7;</option><option value="4">4&#xD7;</option></select>
<label for="loop">loop (L)</label>
<select id="loop" aria-keyshortcuts="L"><option value="none" selected>none</option><option value="all">whole animation</option>${timeline ? '' : '<option value="body">body</option>'}</select>
<button type="button" id="shortcuts-button" title="Keyboard shortcuts (?)" aria-keyshortcuts="?" aria-expanded="false" aria-controls="shortcuts">shortcuts (?)</button>
</div>
<section id="shortcuts" hidden aria-labelledby="shortcuts-heading">
<h2 id="shortcuts-heading">Keyboard shortcuts</h2>
<table><tbody>
<tr><th scope="row"><kbd>Space</kbd></th><td>play or pause</td></tr>
<tr><th scope="row"><kbd>&#x2190;</kbd> <kbd>&#x2192;</kbd></th><td>one frame back or forward</td></tr>
<tr><th scope="row"><kbd>Shift</kbd>+<kbd>&#x2190;</kbd> <kbd>Shift</kbd>+<kbd>&#x2192;</kbd></th><td>one second back or forward</td></tr>
<tr><th scope="row"><kbd>,</kbd> <kbd>.</kbd></th><td>the previous or next key boundary of any layer</td></tr>
<tr><th scope="row"><kbd>Enter</kbd></th><td>stop, and return to the frame where play started</td></tr>
<tr><th scope="row"><kbd>Home</kbd> <kbd>End</kbd></th><td>the first or the last frame</td></tr>
${timeline ? '' : '<tr><th scope="row"><kbd>1</kbd> <kbd>2</kbd> <kbd>3</kbd></th><td>the start of the intro, the body, the outro</td></tr>\n'}<tr><th scope="row"><kbd>L</kbd></th><td>the next loop choice</td></tr>
<tr><th scope="row"><kbd>?</kbd> <kbd>Esc</kbd></th><td>show or hide this list; hide it</td></tr>
</tbody></table>
<p>These keys act while the player has focus. A focused button takes Space and Enter; a focused list or slider takes every key.</p>
</section>`;
}

// The readout's box is a region named after the player (its aria-label,
// else its title), so that several on one page have names of their own.
export const readoutHtml = name => `<p id="counter"></p>
<div id="readout-box" tabindex="0" role="region" aria-label="Layers at the current frame${name}">
<table id="readout"><caption>Layers at the current frame</caption>
<thead><tr><th scope="col">phase</th><th scope="col">layer</th><th scope="col">key</th><th scope="col">offset</th><th scope="col">effect</th><th scope="col">value</th></tr></thead>
<tbody></tbody></table></div>`;

// The readout is a window on the rows of the frame shown: only the rows in
// view of its scrolled box are made, between two spacer rows that stand for
// the others, so a frame of 100,000 layers costs no more than one of 50.
export class Readout {
    constructor(state) {
        this.state = state;
        this.rows = [];
        this.frame = 0;
        this.top = spacerRow();
        this.bottom = spacerRow();
        state.tbody.append(this.top, this.bottom);
        // The geometry kept from scroll and resize events: a seek reads no layout.
        this.view = { top: 0, height: window.innerHeight, bodyTop: 0, rowHeight: 24 };
        const box = state.readoutBox;
        new ResizeObserver(() => {
            this.measure();
            this.render();
        }).observe(box);
        box.addEventListener('scroll', () => {
            this.view.top = box.scrollTop;
            this.render();
        });
    }

    measure() {
        const box = this.state.readoutBox;
        this.view.top = box.scrollTop;
        this.view.height = box.clientHeight;
        this.view.bodyTop = this.state.tbody.getBoundingClientRect().top - box.getBoundingClientRect().top
            + box.scrollTop;
        if (this.rows.length > 0) {
            this.view.rowHeight = this.rows[0].getBoundingClientRect().height || this.view.rowHeight;
        }
    }

    show(frame) {
        this.frame = frame;
        this.render();
    }

    render() {
        const state = this.state;
        const count = state.activeAt(this.frame).length;
        const view = this.view;
        const start = Math.min(Math.max(Math.floor((view.top - view.bodyTop) / view.rowHeight) - 8, 0), count);
        const last = Math.min(start + Math.ceil(view.height / view.rowHeight) + 16, count);
        while (this.rows.length > last - start) {
            this.rows.pop().remove();
        }
        while (this.rows.length < last - start) {
            const row = document.createElement('tr');
            for (let c = 0; c < 6; c++) {
                row.insertCell(-1);
            }
            this.bottom.before(row);
            this.rows.push(row);
        }
        for (let r = start; r < last; r++) {
            const row = this.rows[r - start];
            const text = state.rowOf(this.frame, r);
            row.setAttribute('aria-rowindex', String(r + 2));
            for (let c = 0; c < 6; c++) {
                if (row.cells[c].textContent !== text[c + 1]) {
                    row.cells[c].textContent = text[c + 1];
                }
            }
        }
        state.table.setAttribute('aria-rowcount', String(count + 1));
        this.top.hidden = start === 0;
        this.top.cells[0].style.height = `${start * view.rowHeight}px`;
        this.bottom.hidden = last === count;
        this.bottom.cells[0].style.height = `${(count - last) * view.rowHeight}px`;
    }
}

function spacerRow() {
    const row = document.createElement('tr');
    row.className = 'spacer';
    row.setAttribute('aria-hidden', 'true');
    row.insertCell(-1).colSpan = 6;
    return row;
}

// The page's picture in the slot "picture", when it is an <svg> that gives
// its plot's geometry: a playhead over it, and scrubbing at a fixed number
// of frames per pixel of the picture, whatever size it is shown at.
export class Picture {
    constructor(state, slot) {
        this.state = state;
        this.svg = null;
        const attach = () => this.attach(slot.assignedElements({ flatten: true }));
        slot.addEventListener('slotchange', attach);
        attach();
    }

    attach(elements) {
        const svg = elements.map(e => (e instanceof SVGSVGElement ? e : e.querySelector('svg'))).find(Boolean);
        if (!svg || svg === this.svg || svg.dataset.plotFrames === undefined) {
            return;
        }
        this.svg = svg;
        const data = svg.dataset;
        this.plot = {
            left: Number(data.plotLeft), right: Number(data.plotRight), top: Number(data.plotTop),
            bottom: Number(data.plotBottom), frames: Number(data.plotFrames),
        };
        this.playhead = document.createElementNS('http://www.w3.org/2000/svg', 'line');
        this.playhead.setAttribute('class', 'playhead');
        this.playhead.setAttribute('y1', String(this.plot.top));
        this.playhead.setAttribute('y2', String(this.plot.bottom));
        svg.appendChild(this.playhead);
        let scrubbing = false;
        svg.addEventListener('pointerdown', event => {
            scrubbing = true;
            svg.setPointerCapture(event.pointerId);
            this.state.seek(this.frameAt(event));
        });
        svg.addEventListener('pointermove', event => scrubbing && this.state.seek(this.frameAt(event)));
        svg.addEventListener('pointerup', () => (scrubbing = false));
        this.show(this.state.frame);
    }

    /** The x of the left edge of frame `frame` in the picture's coordinates. */
    xOf(frame) {
        return this.plot.left + (frame * (this.plot.right - this.plot.left)) / this.plot.frames;
    }

    frameAt(event) {
        const point = this.svg.createSVGPoint();
        point.x = event.clientX;
        point.y = event.clientY;
        const local = point.matrixTransform(this.svg.getScreenCTM().inverse());
        return Math.floor(((local.x - this.plot.left) * this.plot.frames) / (this.plot.right - this.plot.left));
    }

    show(frame) {
        if (this.svg) {
            const x = String(this.xOf(frame));
            this.playhead.setAttribute('x1', x);
            this.playhead.setAttribute('x2', x);
        }
    }
}

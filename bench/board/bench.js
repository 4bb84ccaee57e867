// The board's model and view fed as a shop of 50 stations with 10 units each would feed them: every
// retained message at once on opening (ten to a task: the socket hands them over one by one), then 20
// messages a second (unit panels mostly, a journal row and a summary now and then). The browser's
// performance timeline names every frame longer than 50 ms: those of loading the page (before any message),
// of the opening (until every card is drawn) and of the rest are counted apart.
import { Fleet } from '../../web/board/model.js';
import { BoardView } from '../../web/board/view.js';

const Stations = 50, Units = 10, Rate = 20;
const seconds = Number(new URLSearchParams(location.search).get('seconds') ?? 10);
const long = [];
// Of each long frame: its length, the scripts' part, and style and layout (the rest is the browser's own).
new PerformanceObserver((list) => long.push(...list.getEntries().map((e) => ({
    ms: e.duration,
    at: e.startTime,
    script: e.scripts.reduce((sum, s) => sum + s.duration, 0),
    layout: e.styleAndLayoutStart ? e.startTime + e.duration - e.styleAndLayoutStart : 0,
})))).observe({ type: 'long-animation-frame', buffered: true });

const fleet = new Fleet();
const view = new BoardView(fleet, { cards: document.getElementById('cards'), strip: document.getElementById('runs'), empty: document.getElementById('empty') });
// The board's own work per frame, beside the frame as the browser saw it.
const renders = [];
const render = view.render.bind(view);
view.render = () => {
    const t = performance.now();
    render();
    renders.push(performance.now() - t);
};
const states = ['idle', 'answering', 'answered', 'answered', 'answered', 'stuck'];
const name = (s) => `press-${s + 1}`;
let seq = 0;
const now = () => new Date().toISOString().slice(0, 19);
const unit = (s, n) => [`tessaloran/${name(s)}/unit/${n}`, JSON.stringify({ unit: `UNIT ${n}`, uid: String(100 + n), state: states[(seq + s + n) % states.length], count: (seq * 7 + n) % 500, short: seq % 13 === 0 ? 2 : 0, info: '', time: now() })];
const shift = (s) => [`tessaloran/${name(s)}/shift`, JSON.stringify({ day: now().slice(0, 10), time: now(), total: { runs: seq, complete: seq - 1, shortRuns: 1, stuck: 0, asked: seq * 50, counted: seq * 50 - 3, short: 3, yield: 99.1 } })];
const run = (s) => [`tessaloran/${name(s)}/runs`, JSON.stringify({ id: `r${seq}`, time: now(), design: 'HALF', unit: `UNIT ${1 + (seq % Units)}`, asked: '50', counted: '50', short: '', result: 'complete', station: name(s) })];
const feed = ([topic, payload], retained = false) => view.changed(fleet.apply(topic, payload, retained));

// Opening: every retained message the broker holds (made before, in a task of its own: the page makes none).
const retained = [];
for (let s = 0; s < Stations; ++s) {
    retained.push([`tessaloran/${name(s)}/status`, s % 17 === 3 ? 'offline' : 'online']);
    for (let n = 1; n <= Units; ++n)
        retained.push(unit(s, n));
    retained.push(shift(s));
}
await new Promise((r) => setTimeout(r));
const t0 = performance.now();
let feedMs = 0;
for (let i = 0; i < retained.length; i += 10) {
    const t = performance.now();
    for (const m of retained.slice(i, i + 10))
        feed(m, true);
    feedMs += performance.now() - t;
    await new Promise((r) => setTimeout(r));
}
let frames = 0, worstGap = 0, last = performance.now();
const tick = (t) => { ++frames; worstGap = Math.max(worstGap, t - last); last = t; if (!done) requestAnimationFrame(tick); };
let done = false;
requestAnimationFrame(tick);
while (view.dirty.size || view.frame)
    await new Promise((r) => requestAnimationFrame(() => setTimeout(r)));
const t1 = performance.now();

let sent = 0;
const timer = setInterval(() => {
    ++seq;
    const s = (seq * 31) % Stations;
    feed(seq % 10 === 0 ? run(s) : seq % 10 === 5 ? shift(s) : unit(s, 1 + (seq % Units)));
    ++sent;
}, 1000 / Rate);
await new Promise((r) => setTimeout(r, seconds * 1000));
clearInterval(timer);
done = true;
await new Promise((r) => setTimeout(r, 200));
const phase = (from, to) => long.filter((f) => f.at >= from && f.at < to).length;
window.result = {
    stations: Stations, units: Units, rate: Rate, seconds, messages: sent, frames,
    openingMs: Math.round(t1 - t0), openingFeedMs: Math.round(feedMs), worstRafGapMs: Math.round(worstGap),
    framesOver50ms: long.length, ofLoading: phase(-Infinity, t0), ofOpening: phase(t0, t1), afterOpening: phase(t1, Infinity),
    longestFrameMs: Math.round(Math.max(0, ...long.map((f) => f.ms))),
    renders: renders.length, renderMeanMs: (renders.reduce((a, b) => a + b, 0) / renders.length).toFixed(2),
    renderMaxMs: Math.max(0, ...renders).toFixed(1),
    longFrames: long.map((f) => `${Math.round(f.ms)} at ${((f.at - t0) / 1000).toFixed(1)} s (script ${Math.round(f.script)}, style+layout ${Math.round(f.layout)})`).join(', '),
};

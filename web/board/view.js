// The board's DOM: a card per station and a chip per run, each made once and then changed in place, field by
// field, only where a value changed. Every text from the network goes in as text, never as markup.

import { runOutcome, runTone, steady, totals, trouble } from './model.js';

function el(tag, className, textContent) {
    const e = document.createElement(tag);
    if (className)
        e.className = className;
    if (textContent !== undefined)
        e.textContent = textContent;
    return e;
}

// Written to the DOM only when the value differs from the last one written: an unchanged field costs the
// browser no style or layout work.
function setText(e, value) {
    if (e.shown !== value)
        e.textContent = e.shown = value;
}
function setClass(e, value) {
    if (e.shownClass !== value)
        e.className = e.shownClass = value;
}
function setHidden(e, hidden) {
    if (e.hidden !== hidden)
        e.hidden = hidden;
}
function setData(e, key, value) {
    if (value == null)
        delete e.dataset[key];
    else if (e.dataset[key] !== value)
        e.dataset[key] = value;
}

const fmt = (n) => (n == null ? '–' : Number.isInteger(n) ? String(n) : n.toFixed(1));
// "2026-12-06T14:03:12" -> "14:03"
export const clock = (time) => (/T(\d\d:\d\d)/.exec(time ?? '') ?? [])[1] ?? '';
const sinceText = (ms) => new Date(ms).toTimeString().slice(0, 5);
// Keeps a line its height while it says nothing, so that the card around it keeps its size.
const Blank = '\u00a0';

// What the card's status line says.
export function statusLine(station) {
    if (station.status === 'offline') {
        if (station.since != null)
            return `OFFLINE since ${sinceText(station.since)}`;
        return station.heard ? `OFFLINE · last word ${clock(station.heard)}` : 'OFFLINE';
    }
    if (station.status === 'online')
        return 'online';
    return 'no word yet';
}

class Tile {
    constructor(n) {
        this.el = el('div', 'unit');
        this.el.dataset.unit = String(n);
        this.name = el('span', 'name');
        this.count = el('span', 'count');
        this.short = el('span', 'short');
        this.el.append(this.name, this.count, this.short);
    }

    update(u) {
        setClass(this.el, `unit ${u.state}`);
        const title = [u.name, u.uid && `UID ${u.uid}`, u.info].filter(Boolean).join(' · ');
        if (this.el.title !== title)
            this.el.title = title;
        setText(this.name, u.name.replace(/^UNIT\s+/i, ''));
        setText(this.count, fmt(u.count));
        setText(this.short, u.short != null && u.short !== 0 ? `−${fmt(u.short)}` : u.state === 'stuck' ? 'STUCK' : Blank);
    }
}

const Figures = [
    ['runs', (t) => fmt(t.runs)],
    ['counted', (t) => `${fmt(t.counted)}/${fmt(t.asked)}`],
    ['short', (t) => fmt(t.short), (t) => t.short > 0],
    ['stuck', (t) => fmt(t.stuck), (t) => t.stuck > 0],
    ['yield', (t) => (t.yield == null ? '–' : `${fmt(t.yield)}%`)],
];

class Card {
    constructor(name) {
        this.el = el('article', 'card');
        this.el.dataset.station = name;
        this.trouble = undefined;
        this.status = el('span', 'status');
        const head = el('header');
        head.append(el('h2', '', name), this.status);
        this.units = el('div', 'units');
        this.tiles = new Map(); // unit number -> Tile

        this.totals = el('div', 'totals');
        this.none = el('span', 'none', 'no shift summary');
        this.figures = Figures.map(([label, , bad]) => {
            const box = el('div', `figure${label === 'yield' ? ' yield' : ''}`);
            const value = el('b', '', '–');
            box.append(value, el('small', '', label));
            return { box, value, label, bad };
        });
        this.totals.append(this.none, ...this.figures.map((f) => f.box));

        this.last = el('div', 'last');
        this.when = el('span', 'when');
        this.design = el('span', 'design');
        this.outcome = el('span', 'outcome');
        this.last.append(this.when, this.design, this.outcome);
        this.el.append(head, this.units, this.totals, this.last);
    }

    update(station) {
        const t = trouble(station);
        this.trouble = t;
        setClass(this.el, t ? `card trouble ${t}` : 'card');
        setData(this.el, 'status', station.status);
        setData(this.el, 'trouble', t ?? undefined);
        setText(this.status, statusLine(station));
        this.updateUnits(station.units);
        this.updateTotals(totals(station));
        this.updateLast(station.last);
    }

    updateUnits(units) {
        let added = false;
        for (const [n, u] of units) {
            let tile = this.tiles.get(n);
            if (!tile) {
                this.tiles.set(n, (tile = new Tile(n)));
                added = true;
            }
            tile.update(u);
        }
        // A unit heard of for the first time: the tiles in the order of their numbers again (once a shift).
        if (added)
            this.units.replaceChildren(...[...this.tiles.keys()].sort((a, b) => a - b).map((n) => this.tiles.get(n).el));
    }

    updateTotals(t) {
        setHidden(this.none, t != null);
        for (let i = 0; i < this.figures.length; ++i) {
            const f = this.figures[i];
            setHidden(f.box, t == null);
            if (!t)
                continue;
            setText(f.value, Figures[i][1](t));
            setClass(f.box, `figure${f.label === 'yield' ? ' yield' : ''}${f.bad?.(t) ? ' bad' : ''}`);
        }
        setData(this.totals, 'runs', t ? String(t.runs) : undefined);
        setData(this.totals, 'counted', t ? String(t.counted) : undefined);
    }

    updateLast(last) {
        setClass(this.last, last ? `last ${runTone(last.rows)}` : 'last');
        setText(this.when, last ? `Last run ${clock(last.time)}` : 'no run today');
        setText(this.design, last?.design ?? '');
        setHidden(this.design, !last?.design);
        setText(this.outcome, last ? runOutcome(last.rows) : '');
        setHidden(this.outcome, !last);
    }
}

export function renderRun(run) {
    const chip = el('li', `run ${runTone([run])}`);
    chip.dataset.id = run.id;
    chip.append(
        el('span', 'when', clock(run.time)),
        el('span', 'where', `${run.station} · ${run.unit}`),
        el('span', 'what', `${run.result || 'no report'} ${fmt(run.counted)}/${fmt(run.asked)}`),
    );
    return chip;
}

// Puts the children of parent in the order given, moving as few as it can (a node moved is laid out anew);
// anything else it held goes.
function arrange(parent, nodes) {
    const wanted = [...nodes];
    const kept = new Set(wanted);
    for (const child of [...parent.children])
        if (!kept.has(child))
            child.remove();
    const place = new Map([...parent.children].map((child, i) => [child, i]));
    const stay = steady(wanted.map((node) => place.get(node) ?? -1));
    for (let i = wanted.length - 1, next = null; i >= 0; next = wanted[i--])
        if (!stay.has(i))
            parent.insertBefore(wanted[i], next);
}

// The board's work in one frame at most: what is left waits for the next frame, so that no frame grows long
// however many messages came in. A new card costs the browser far more to lay out and paint than a changed
// one: a board opened on fifty stations fills over its first two seconds, a card every other frame, so that
// the browser paints each before the next comes.
export const SliceMs = 4;
export const FramesPerNewCard = 2;

// Keeps the page in step with the fleet, once per frame at most, touching only the cards that changed.
export class BoardView {
    constructor(fleet, { cards, strip, empty }) {
        this.fleet = fleet;
        this.cards = cards;
        this.strip = strip;
        this.empty = empty;
        this.nodes = new Map(); // station name -> Card
        this.chips = new Map(); // run -> its chip in the strip
        this.dirty = new Set();
        this.stripDirty = false;
        this.frame = 0;
        this.renders = 0;
        this.lastNewCard = -FramesPerNewCard; // the render that made a card last
    }

    changed({ station, strip }) {
        if (station)
            this.dirty.add(station);
        this.stripDirty ||= strip;
        if ((this.dirty.size || this.stripDirty) && !this.frame)
            this.frame = requestAnimationFrame(() => this.render());
    }

    // Every card again (the clock of "offline since" or a reconnect).
    refreshAll() {
        for (const name of this.fleet.stations.keys())
            this.dirty.add(name);
        this.changed({ station: null, strip: true });
    }

    render() {
        this.frame = 0;
        for (const name of this.dirty)
            if (!this.fleet.stations.has(name))
                this.dirty.delete(name);
        const end = performance.now() + SliceMs;
        // The cards move only when one came or one's trouble changed: the order depends on nothing else.
        let reorder = false;
        let mayMake = ++this.renders - this.lastNewCard >= FramesPerNewCard;
        // Many at once (a board opening) in the board's order: a new card then goes after those drawn, and
        // moves none of them.
        const names = this.dirty.size > 1 ? this.fleet.sorted().map((st) => st.name).filter((n) => this.dirty.has(n)) : [...this.dirty];
        for (const name of names) {
            const station = this.fleet.stations.get(name);
            let card = this.nodes.get(name);
            if (!card) {
                if (!mayMake)
                    continue;
                mayMake = false;
                this.lastNewCard = this.renders;
                this.nodes.set(name, (card = new Card(name)));
            }
            this.dirty.delete(name);
            const before = card.trouble;
            card.update(station);
            reorder ||= card.trouble !== before;
            if (performance.now() >= end)
                break;
        }
        if (reorder) {
            const order = this.fleet.sorted();
            arrange(this.cards, order.flatMap((s) => this.nodes.get(s.name)?.el ?? []));
            this.empty.hidden = order.length > 0;
        }
        if (this.stripDirty) {
            this.stripDirty = false;
            const chips = new Map(this.fleet.strip.map((run) => [run, this.chips.get(run) ?? renderRun(run)]));
            arrange(this.strip, chips.values());
            this.chips = chips;
        }
        if (this.dirty.size)
            this.frame = requestAnimationFrame(() => this.render());
    }
}

// The board's DOM: a card per station, kept and changed in place, and the runs strip. Every text from the
// network goes in as text, never as markup.

import { runOutcome, runTone, totals, trouble } from './model.js';

function el(tag, className, textContent) {
    const e = document.createElement(tag);
    if (className)
        e.className = className;
    if (textContent !== undefined)
        e.textContent = textContent;
    return e;
}

const fmt = (n) => (n == null ? '–' : Number.isInteger(n) ? String(n) : n.toFixed(1));
// "2026-12-06T14:03:12" -> "14:03"
export const clock = (time) => (/T(\d\d:\d\d)/.exec(time ?? '') ?? [])[1] ?? '';
const sinceText = (ms) => new Date(ms).toTimeString().slice(0, 5);

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

function renderUnit(u) {
    const tile = el('div', `unit ${u.state}`);
    tile.dataset.unit = String(u.n);
    tile.title = [u.name, u.uid && `UID ${u.uid}`, u.info].filter(Boolean).join(' · ');
    tile.append(el('span', 'name', u.name.replace(/^UNIT\s+/i, '')), el('span', 'count', fmt(u.count)));
    if (u.short != null && u.short !== 0)
        tile.append(el('span', 'short', `−${fmt(u.short)}`));
    else if (u.state === 'stuck')
        tile.append(el('span', 'short', 'STUCK'));
    return tile;
}

function renderTotals(station) {
    const t = totals(station);
    const box = el('div', 'totals');
    if (!t) {
        box.append(el('span', 'none', 'no shift summary'));
        return box;
    }
    const item = (label, value, cls = '') => {
        const d = el('div', `figure ${cls}`);
        d.append(el('b', '', value), el('small', '', label));
        return d;
    };
    box.append(
        item('runs', fmt(t.runs)),
        item('counted', `${fmt(t.counted)}/${fmt(t.asked)}`),
        item('short', fmt(t.short), t.short > 0 ? 'bad' : ''),
        item('stuck', fmt(t.stuck), t.stuck > 0 ? 'bad' : ''),
        item('yield', t.yield == null ? '–' : `${fmt(t.yield)}%`, 'yield'),
    );
    box.dataset.runs = String(t.runs);
    box.dataset.counted = String(t.counted);
    return box;
}

function renderLast(station) {
    const line = el('div', 'last');
    const last = station.last;
    if (!last) {
        line.textContent = 'no run today';
        return line;
    }
    line.classList.add(runTone(last.rows));
    line.append(el('span', 'when', `Last run ${clock(last.time)}`));
    if (last.design)
        line.append(el('span', 'design', last.design));
    line.append(el('span', 'outcome', runOutcome(last.rows)));
    return line;
}

// A card's content built anew (cheap enough at 20 messages a second for 50 stations, and never out of
// step), in the card given: the element stays, so the board around it is not laid out again.
export function renderCard(station, card = el('article')) {
    const t = trouble(station);
    card.className = t ? `card trouble ${t}` : 'card';
    card.dataset.station = station.name;
    card.dataset.status = station.status;
    if (t)
        card.dataset.trouble = t;
    else
        delete card.dataset.trouble;
    const head = el('header');
    head.append(el('h2', '', station.name), el('span', 'status', statusLine(station)));
    const units = el('div', 'units');
    for (const n of [...station.units.keys()].sort((a, b) => a - b))
        units.append(renderUnit(station.units.get(n)));
    card.replaceChildren(head, units, renderTotals(station), renderLast(station));
    return card;
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

export const CardsPerFrame = 10;

// Keeps the page in step with the fleet, once per frame at most, touching only the cards that changed.
export class BoardView {
    constructor(fleet, { cards, strip, empty }) {
        this.fleet = fleet;
        this.cards = cards;
        this.strip = strip;
        this.empty = empty;
        this.nodes = new Map(); // station name -> card element
        this.dirty = new Set();
        this.stripDirty = false;
        this.frame = 0;
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
        // A few cards a frame: a board opened on fifty stations fills over a few frames, none of them long.
        let budget = CardsPerFrame;
        for (const name of this.dirty) {
            if (budget-- === 0)
                break;
            this.dirty.delete(name);
            const station = this.fleet.stations.get(name);
            if (!station)
                continue;
            this.nodes.set(name, renderCard(station, this.nodes.get(name)));
        }
        if (budget !== CardsPerFrame) {
            // Moved only where the order changed: a card's place is kept while its neighbours are.
            const order = this.fleet.sorted();
            let at = this.cards.firstElementChild;
            for (const s of order) {
                const node = this.nodes.get(s.name);
                if (!node)
                    continue; // not drawn yet
                if (node === at)
                    at = at.nextElementSibling;
                else
                    this.cards.insertBefore(node, at);
            }
            this.empty.hidden = order.length > 0;
        }
        if (this.stripDirty) {
            this.stripDirty = false;
            this.strip.replaceChildren(...this.fleet.strip.map(renderRun));
        }
        if (this.dirty.size)
            this.frame = requestAnimationFrame(() => this.render());
    }
}

// What the board knows of the fleet, from the consoles' messages alone: no DOM, no network, so that Node can
// run it as the browser does.

// The leaves the board reads; the controller's lines ("log") are of no use on a wall.
export const Subscriptions = ['tessaloran/+/status', 'tessaloran/+/unit/+', 'tessaloran/+/shift', 'tessaloran/+/runs'];
export const StripLength = 50;
// Run ids remembered against repeats: far more than a resend after a reconnect brings.
export const RememberedIds = 5000;

// A name as it is compared: without case or accents, cut into runs of text and of digits (the odd places).
// Made by hand: an Intl.Collator costs the browser 15-40 ms to make, a long frame on a page that opens.
const keys = new Map();
function nameKey(name) {
    let key = keys.get(name);
    if (!key) {
        if (keys.size >= 10000)
            keys.clear();
        key = name.normalize('NFD').replace(/\p{M}/gu, '').toLowerCase().split(/(\d+)/);
        keys.set(name, key);
    }
    return key;
}

// Names in the order a person counts them: "press-2" before "press-10", "Press-3" beside "press-3".
export function byName(a, b) {
    const x = nameKey(a), y = nameKey(b);
    for (let i = 0; i < x.length && i < y.length; ++i) {
        let p = x[i], q = y[i];
        if (p === q)
            continue;
        if (i % 2) {
            p = p.replace(/^0+/, '');
            q = q.replace(/^0+/, '');
            if (p.length !== q.length)
                return p.length - q.length;
        }
        if (p !== q)
            return p < q ? -1 : 1;
    }
    return x.length - y.length || (a < b ? -1 : a > b ? 1 : 0);
}

// "tessaloran/<station>/<leaf>" into its parts; null for any other topic.
export function parseTopic(topic) {
    const parts = String(topic).split('/');
    if (parts.length < 3 || parts[0] !== 'tessaloran' || parts[1] === '')
        return null;
    const [, station, leaf, n, ...rest] = parts;
    if (leaf === 'unit') {
        if (rest.length || !/^[1-9]\d{0,5}$/.test(n ?? ''))
            return null;
        return { station, leaf, unit: Number(n) };
    }
    return parts.length === 3 ? { station, leaf } : null;
}

// The first number in a text ("Count: 12", "Short : 3.5"); a number as it is; null when there is none.
export function numberIn(value) {
    if (typeof value === 'number')
        return Number.isFinite(value) ? value : null;
    if (typeof value !== 'string')
        return null;
    const m = /-?\d+(?:\.\d+)?/.exec(value);
    return m ? Number(m[0]) : null;
}

const States = new Set(['idle', 'answering', 'answered', 'stuck', 'checked']);

// A unit panel as its message says: the typed numbers where the console sends them, else read from the
// panel's lines ("Count: 12"; a shortfall is "Short : 3" in the information line).
export function unitFrom(n, p) {
    const info = typeof p.info === 'string' ? p.info : '';
    const shortText = /^\s*short\s*:/i.test(info) ? info : null;
    return {
        n,
        name: typeof p.unit === 'string' && p.unit ? p.unit : `UNIT ${n}`,
        uid: typeof p.uid === 'string' || typeof p.uid === 'number' ? String(p.uid) : '',
        state: States.has(p.state) ? p.state : 'idle',
        count: numberIn(p.count),
        short: typeof p.short === 'number' ? numberIn(p.short) : numberIn(shortText),
        info,
        time: typeof p.time === 'string' ? p.time : '',
    };
}

function readJson(text) {
    try {
        const v = JSON.parse(text);
        return v && typeof v === 'object' && !Array.isArray(v) ? v : null;
    } catch {
        return null;
    }
}

const text = (v) => (typeof v === 'string' ? v : v == null ? '' : String(v));

// One journal row of the runs topic, as the strip shows it.
export function runFrom(station, p) {
    return {
        id: text(p.id),
        station,
        time: text(p.time),
        design: text(p.design),
        unit: text(p.unit),
        result: text(p.result),
        asked: numberIn(p.asked),
        counted: numberIn(p.counted),
        short: numberIn(p.short),
    };
}

// The last run in one line: "3 complete, 1 short".
export function runOutcome(rows) {
    const counts = new Map();
    for (const r of rows) {
        const result = r.result || 'no report';
        counts.set(result, (counts.get(result) ?? 0) + 1);
    }
    const order = ['stuck', 'short', 'over', 'not sent', 'no report', 'complete'];
    return [...counts]
        .sort((a, b) => (order.indexOf(a[0]) + 1 || 99) - (order.indexOf(b[0]) + 1 || 99))
        .map(([result, k]) => `${k} ${result}`)
        .join(', ');
}

// The worst word of a run: what colours it.
export function runTone(rows) {
    const results = rows.map((r) => r.result);
    if (results.includes('stuck'))
        return 'stuck';
    if (results.some((r) => r && r !== 'complete'))
        return 'short';
    return 'complete';
}

function newStation(name) {
    return {
        name,
        status: 'unknown', // online, offline or unknown (no status seen yet)
        since: null, // when the page saw the status change (ms), null for a retained one
        units: new Map(),
        shift: null,
        last: null, // { time, design, rows }
        heard: '', // the latest console time among its messages
    };
}

// offline, stuck or null; what puts a card first.
export function trouble(station) {
    if (station.status === 'offline')
        return 'offline';
    for (const u of station.units.values())
        if (u.state === 'stuck')
            return 'stuck';
    return null;
}

const rank = { offline: 0, stuck: 1 };

// Trouble first (offline, then a stuck unit), then the rest, each by name.
export function compareStations(a, b) {
    return (rank[trouble(a)] ?? 2) - (rank[trouble(b)] ?? 2) || byName(a.name, b.name);
}

// The day's totals for the card: the console's own summary; null when it sent none.
export function totals(station) {
    const t = station.shift?.total;
    if (!t || typeof t !== 'object')
        return null;
    const n = (v) => numberIn(v) ?? 0;
    const asked = n(t.asked), counted = n(t.counted);
    const yieldPct = typeof t.yield === 'number' ? t.yield : asked > 0 ? Math.round((counted / asked) * 1000) / 10 : null;
    return {
        day: text(station.shift.day),
        runs: n(t.runs), complete: n(t.complete), shortRuns: n(t.shortRuns), stuck: n(t.stuck),
        asked, counted, short: n(t.short), yield: yieldPct,
    };
}

// Of the places items had (-1 for a new one), the items that keep theirs while the others move around them:
// the longest run of rising places, so that a new order moves as few items as it can (one card that goes from
// first to last moves alone, not the forty-nine it passes).
export function steady(places) {
    const tails = []; // tails[k]: the item ending the rising run of k + 1 items with the lowest last place
    const before = [];
    for (let i = 0; i < places.length; ++i) {
        const p = places[i];
        if (p < 0)
            continue;
        let lo = 0, hi = tails.length;
        while (lo < hi) {
            const mid = (lo + hi) >> 1;
            if (places[tails[mid]] < p)
                lo = mid + 1;
            else
                hi = mid;
        }
        before[i] = lo > 0 ? tails[lo - 1] : -1;
        tails[lo] = i;
    }
    const keep = new Set();
    for (let i = tails.length ? tails[tails.length - 1] : -1; i >= 0; i = before[i])
        keep.add(i);
    return keep;
}

// The fleet as the messages tell it. apply() returns what changed: the station's name (or null) and whether
// the runs strip did.
export class Fleet {
    constructor(now = () => Date.now()) {
        this.now = now;
        this.stations = new Map();
        this.strip = []; // newest first
        this.ids = new Set();
    }

    station(name) {
        let s = this.stations.get(name);
        if (!s)
            this.stations.set(name, (s = newStation(name)));
        return s;
    }

    apply(topic, payload, retained = false) {
        const t = parseTopic(topic);
        const body = typeof payload === 'string' ? payload : new TextDecoder().decode(payload);
        // An empty retained message clears the topic: nothing to show.
        if (!t || body === '')
            return { station: null, strip: false };
        switch (t.leaf) {
        case 'status': {
            const status = body.trim();
            if (status !== 'online' && status !== 'offline')
                return { station: null, strip: false };
            const s = this.station(t.station);
            if (s.status !== status)
                s.since = retained ? null : this.now();
            s.status = status;
            return { station: s.name, strip: false };
        }
        case 'unit': {
            const p = readJson(body);
            if (!p)
                return { station: null, strip: false };
            const s = this.station(t.station);
            const u = unitFrom(t.unit, p);
            s.units.set(t.unit, u);
            if (u.time > s.heard)
                s.heard = u.time;
            return { station: s.name, strip: false };
        }
        case 'shift': {
            const p = readJson(body);
            if (!p)
                return { station: null, strip: false };
            const s = this.station(t.station);
            s.shift = p;
            if (text(p.time) > s.heard)
                s.heard = text(p.time);
            const last = p.last;
            if (last && typeof last === 'object' && Array.isArray(last.rows) && text(last.time) >= (s.last?.time ?? '')) {
                s.last = {
                    time: text(last.time),
                    design: text(last.design),
                    rows: last.rows.filter((r) => r && typeof r === 'object').map((r) => runFrom(s.name, r)),
                };
            }
            return { station: s.name, strip: false };
        }
        case 'runs': {
            const p = readJson(body);
            if (!p)
                return { station: null, strip: false };
            const run = runFrom(t.station, p);
            if (run.id && this.ids.has(run.id))
                return { station: null, strip: false }; // a resend after a reconnect
            this.remember(run.id);
            const s = this.station(t.station);
            if (!s.last || run.time > s.last.time)
                s.last = { time: run.time, design: run.design, rows: [run] };
            else if (run.time === s.last.time && !s.last.rows.some((r) => r.unit === run.unit))
                s.last.rows.push(run);
            this.addToStrip(run);
            return { station: s.name, strip: true };
        }
        default:
            return { station: null, strip: false };
        }
    }

    remember(id) {
        if (!id)
            return;
        this.ids.add(id);
        if (this.ids.size > RememberedIds)
            this.ids.delete(this.ids.values().next().value);
    }

    // Newest run time first; of rows with the same time, the one that came last first.
    addToStrip(run) {
        let at = 0;
        while (at < this.strip.length && this.strip[at].time > run.time)
            ++at;
        this.strip.splice(at, 0, run);
        if (this.strip.length > StripLength)
            this.strip.length = StripLength;
    }

    sorted() {
        return [...this.stations.values()].sort(compareStations);
    }
}

// The board's own logic, without a browser: reading the consoles' messages, the order of the cards, the
// day's totals and the runs strip.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { Fleet, byName, StripLength, parseTopic, runOutcome, steady, totals, trouble, unitFrom } from '../../web/board/model.js';

test('topics: the station, the leaf and the unit; anything else is no topic of the board', () => {
    const cases = [
        ['tessaloran/press-3/status', { station: 'press-3', leaf: 'status' }],
        ['tessaloran/press-3/unit/12', { station: 'press-3', leaf: 'unit', unit: 12 }],
        ['tessaloran/press-3/unit/0', null],
        ['tessaloran/press-3/unit/x', null],
        ['tessaloran/press-3/unit/1/more', null],
        ['tessaloran//status', null],
        ['other/press-3/status', null],
        ['tessaloran/press-3/shift/extra', null],
    ];
    for (const [topic, want] of cases)
        assert.deepEqual(parseTopic(topic), want, topic);
});

test('unit messages: typed numbers first, else the panel lines; unknown states are idle', () => {
    const cases = [
        [{ state: 'stuck', count: 12, short: 3, info: 'Short : 9' }, 'stuck', 12, 3],
        [{ state: 'answered', count: 'Count: 12', info: 'Short : 3.5' }, 'answered', 12, 3.5],
        [{ state: 'answering', count: 'Count : 7', info: 'STUCK STN' }, 'answering', 7, null],
        [{ state: 'exploded', count: '', info: 5 }, 'idle', null, null],
        [{ count: Infinity, short: 'x' }, 'idle', null, null],
    ];
    for (const [payload, state, count, short] of cases) {
        const u = unitFrom(2, payload);
        assert.deepEqual([u.state, u.count, u.short, u.name], [state, count, short, 'UNIT 2'], JSON.stringify(payload));
    }
});

const unit = (state) => JSON.stringify({ unit: 'UNIT 1', state, count: 'Count: 1', time: '2026-12-06T10:00:00' });

test('cards: offline first, then a stuck unit, then the rest, each by name as a person counts', () => {
    const fleet = new Fleet();
    for (const name of ['press-10', 'press-2', 'press-1', 'press-9', 'Press-3'])
        fleet.apply(`tessaloran/${name}/status`, 'online', true);
    fleet.apply('tessaloran/press-9/status', 'offline', false);
    fleet.apply('tessaloran/press-10/unit/1', unit('stuck'), true);
    fleet.apply('tessaloran/press-2/unit/1', unit('stuck'));
    fleet.apply('tessaloran/press-1/unit/1', unit('answering'));
    assert.deepEqual(fleet.sorted().map((s) => s.name), ['press-9', 'press-2', 'press-10', 'press-1', 'Press-3']);
    assert.deepEqual(fleet.sorted().map(trouble), ['offline', 'stuck', 'stuck', null, null]);
    // The stuck unit answers again: its station goes back among the rest.
    fleet.apply('tessaloran/press-2/unit/1', unit('answered'));
    assert.deepEqual(fleet.sorted().map((s) => s.name), ['press-9', 'press-10', 'press-1', 'press-2', 'Press-3']);
    // Numbers by value, letters without case or accents; names equal so are still in a fixed order.
    const names = ['press-10', 'presse-ol', 'press-2b', '', 'Presse-Öl', 'press-2', 'Press-3', 'a', 'press-02'];
    assert.deepEqual(names.sort(byName), ['', 'a', 'press-02', 'press-2', 'press-2b', 'Press-3', 'press-10', 'Presse-Öl', 'presse-ol']);
    // The cards that keep their place in a new order (the old places, -1 for a new card): only the others move.
    const cases = [[[0, 1, 2], [0, 1, 2]], [[1, 2, 3, 0], [0, 1, 2]], [[3, 0, 1, 2], [1, 2, 3]], [[2, -1, 0, 1], [2, 3]], [[0, 5, 1, 2, 6, 3], [0, 2, 3, 5]], [[], []]];
    for (const [places, want] of cases)
        assert.deepEqual([...steady(places)].sort(), want, JSON.stringify(places));
});

test('offline: since the page saw it, or the last word of a retained will', () => {
    let now = 1000;
    const fleet = new Fleet(() => now);
    fleet.apply('tessaloran/a/unit/1', unit('idle'), true);
    fleet.apply('tessaloran/a/status', 'offline', true);
    fleet.apply('tessaloran/b/status', 'online', true);
    now = 5000;
    fleet.apply('tessaloran/b/status', 'offline');
    now = 9000;
    fleet.apply('tessaloran/b/status', 'offline');
    const [a, b] = fleet.sorted();
    assert.deepEqual([a.since, a.heard, b.since], [null, '2026-12-06T10:00:00', 5000]);
    // Nonsense changes nothing.
    for (const [topic, payload] of [['tessaloran/b/status', 'maybe'], ['tessaloran/b/shift', '{oops'], ['tessaloran/b/unit/1', '[1]'], ['tessaloran/b/status', '']])
        assert.deepEqual(fleet.apply(topic, payload), { station: null, strip: false }, `${topic} ${payload}`);
    assert.equal(fleet.stations.get('b').status, 'offline');
});

test('totals: the console summary; the yield worked out when the console sent none', () => {
    const fleet = new Fleet();
    const shift = (total) => fleet.apply('tessaloran/a/shift', JSON.stringify({ day: '2026-12-06', time: 'T', total }), true);
    const cases = [
        [{ runs: 4, complete: 3, shortRuns: 1, stuck: 0, asked: 40, counted: 37, short: 3, yield: 92.5 }, 92.5],
        [{ runs: 2, asked: 30, counted: 20 }, 66.7],
        [{ runs: 0, asked: 0, counted: 0, yield: null }, null],
    ];
    for (const [total, want] of cases) {
        shift(total);
        const t = totals(fleet.stations.get('a'));
        assert.equal(t.yield, want);
        assert.equal(t.runs, total.runs);
    }
    assert.equal(totals(fleet.station('none')), null);
});

const row = (station, id, time, unitName, result = 'complete') =>
    [`tessaloran/${station}/runs`, JSON.stringify({ id, time, unit: unitName, result, design: 'HALF', asked: '10', counted: result === 'short' ? '7' : '10' })];

test('runs strip: newest first, a resent row once, at most 50; the last run of each station', () => {
    const fleet = new Fleet();
    const results = [
        fleet.apply(...row('a', 'r1', '2026-12-06T10:00:00', 'UNIT 1')),
        fleet.apply(...row('a', 'r2', '2026-12-06T10:00:00', 'UNIT 2', 'short')),
        fleet.apply(...row('b', 'r3', '2026-12-06T11:00:00', 'UNIT 1')),
        fleet.apply(...row('a', 'r1', '2026-12-06T10:00:00', 'UNIT 1')), // resent after a reconnect
        fleet.apply(...row('c', 'r4', '2026-12-06T09:00:00', 'UNIT 1')), // an outbox emptied late
    ];
    assert.deepEqual(results.map((r) => r.strip), [true, true, true, false, true]);
    assert.deepEqual(fleet.strip.map((r) => r.id), ['r3', 'r2', 'r1', 'r4']);
    // The station's last run gathers the rows of its latest time.
    const a = fleet.stations.get('a').last;
    assert.deepEqual([a.time, a.design, runOutcome(a.rows)], ['2026-12-06T10:00:00', 'HALF', '1 short, 1 complete']);
    for (let i = 0; i < 80; ++i)
        fleet.apply(...row('d', `d${i}`, `2026-12-06T12:${String(i % 60).padStart(2, '0')}:00`, 'UNIT 1'));
    assert.equal(fleet.strip.length, StripLength);
    assert.ok(fleet.strip.every((r, i) => i === 0 || fleet.strip[i - 1].time >= r.time));
    // The shift message gives the last run to a board opened later; a newer live run replaces it.
    const last = { time: '2026-12-06T10:00:00', design: 'HALF', rows: [{ unit: 'UNIT 1', result: 'stuck' }, null] };
    fleet.apply('tessaloran/e/shift', JSON.stringify({ time: '2026-12-06T10:05:00', last }), true);
    assert.equal(runOutcome(fleet.stations.get('e').last.rows), '1 stuck');
    fleet.apply(...row('e', 'x', '2026-12-06T10:30:00', 'UNIT 2'));
    fleet.apply('tessaloran/e/shift', JSON.stringify({ time: '2026-12-06T10:31:00', last }), true);
    assert.deepEqual(fleet.stations.get('e').last.rows.map((r) => r.unit), ['UNIT 2']);
});

// The fleet board as a supervisor opens it: the built page, served by a Mosquitto started from the example
// configuration on loopback, in Debian's Chromium (headless, 1920 x 1080), with a shop of 50 stations of 10
// units behind it. Every station's messages are retained before the page opens, and 20 a second come on
// while it loads and after (unit panels mostly, a journal row and a summary now and then). Prints the frames
// the browser's performance timeline found longer than 50 ms, apart for loading the page (before its first
// card), filling the board (until every card is drawn) and after; fails when there is one. Not part of the
// test suite: timings depend on the machine and its load.
//   VORN_BUILD=build node bench/board/run.mjs [SECONDS]
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { createRequire } from 'node:module';
import { ConsolePassword, exampleBroker } from '../../tests/web/broker.mjs';

const root = path.resolve(import.meta.dirname, '../..');
const build = path.resolve(process.env.VORN_BUILD ?? path.join(root, 'build'));
const require = createRequire(path.join(root, 'web/package.json'));
const { chromium } = require('playwright-core');
const mqtt = require('mqtt');
const seconds = Number(process.argv[2] ?? 10);
const Stations = 50, Units = 10, Rate = 20;
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

if (!fs.existsSync(path.join(build, 'board/index.html'))) {
    console.error(`no page in ${build}/board: build first (cmake --build build), or name the build in VORN_BUILD`);
    process.exit(2);
}

// The broker, from the example configuration on the benchmark's own ports and files. The broker and the
// consoles run elsewhere in a shop: here they yield the processors to the browser.
const tmp = fs.mkdtempSync(path.join(os.tmpdir(), 'vorn-bench-board-'));
const example = await exampleBroker(tmp, path.join(build, 'board'), { prefix: ['nice', '-n', '19'] });
let broker, context, shop;
try {
    broker = await example.start();

    // The shop: one client speaks for every station, as the consoles would.
    shop = await mqtt.connectAsync(`mqtt://127.0.0.1:${example.mqttPort}`, { username: 'vorn', password: ConsolePassword });
    const states = ['idle', 'answering', 'answered', 'answered', 'answered', 'stuck'];
    const name = (s) => `press-${s + 1}`;
    let seq = 0;
    const now = () => new Date().toISOString().slice(0, 19);
    const unit = (s, n) => [`tessaloran/${name(s)}/unit/${n}`, JSON.stringify({ unit: `UNIT ${n}`, uid: String(100 + n), state: states[(seq + s + n) % states.length], count: (seq * 7 + n) % 500, short: seq % 13 === 0 ? 2 : 0, info: '', time: now() })];
    const shift = (s) => [`tessaloran/${name(s)}/shift`, JSON.stringify({ station: name(s), day: now().slice(0, 10), time: now(), total: { runs: seq, complete: seq - 1, shortRuns: 1, stuck: 0, asked: seq * 50, counted: seq * 50 - 3, short: 3, yield: 99.1 } })];
    const run = (s) => [`tessaloran/${name(s)}/runs`, JSON.stringify({ id: `r${seq}`, time: now(), design: 'HALF', unit: `UNIT ${1 + (seq % Units)}`, asked: '50', counted: '50', short: '', result: 'complete', station: name(s) })];
    for (let s = 0; s < Stations; ++s)
        for (const [topic, payload] of [[`tessaloran/${name(s)}/status`, s % 17 === 3 ? 'offline' : 'online'], ...Array.from({ length: Units }, (_, n) => unit(s, n + 1)), shift(s)])
            await shop.publishAsync(topic, payload, { qos: 1, retain: true });

    // A browser that is already running, as on the TV on the wall: its own start is not the page's load.
    const profile = fs.mkdtempSync(path.join(tmp, 'chromium-'));
    context = await chromium.launchPersistentContext(profile, {
        executablePath: '/usr/bin/chromium',
        headless: true,
        viewport: { width: 1920, height: 1080 },
        args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
            '--disable-background-networking', '--disable-component-update', '--disable-sync'],
    });
    os.setPriority(19); // this process speaks for the consoles
    const page = await context.newPage();
    page.on('pageerror', (e) => { throw e; });
    await page.goto('about:blank');
    await sleep(3000);

    // Before the page's own scripts: every long frame, with its scripts' part (the MQTT client runs in a worker
    // of its own, outside the page's frames), style and layout, and the longest stretch the page could not answer (blocking); and a
    // count of the frames, with the moments the first card and the last came.
    await page.addInitScript(({ stations }) => {
        const bench = (window.bench = { long: [], frames: 0, firstCard: null, filled: null });
        new PerformanceObserver((list) => bench.long.push(...list.getEntries().map((e) => {
            return {
                ms: e.duration, at: e.startTime, script: e.scripts.reduce((sum, s) => sum + s.duration, 0), blocking: e.blockingDuration,
                scripts: e.scripts.map((s) => `${s.invoker} ${Math.round(s.duration)}`).join(', '),
                layout: e.styleAndLayoutStart ? e.startTime + e.duration - e.styleAndLayoutStart : 0,
            };
        }))).observe({ type: 'long-animation-frame', buffered: true });
        const tick = (t) => {
            ++bench.frames;
            const cards = document.getElementById('cards')?.childElementCount ?? 0;
            if (cards && bench.firstCard == null)
                bench.firstCard = t;
            if (cards === stations && bench.filled == null)
                bench.filled = t;
            requestAnimationFrame(tick);
        };
        requestAnimationFrame(tick);
    }, { stations: Stations });

    // The consoles go on while the page loads.
    let sent = 0;
    const timer = setInterval(() => {
        ++seq;
        const s = (seq * 31) % Stations;
        const [topic, payload] = seq % 10 === 0 ? run(s) : seq % 10 === 5 ? shift(s) : unit(s, 1 + (seq % Units));
        shop.publish(topic, payload, { qos: 0, retain: !topic.endsWith('/runs') });
        ++sent;
    }, 1000 / Rate);
    await page.goto(`http://127.0.0.1:${example.webPort}/`);
    await page.waitForFunction(() => window.bench.filled != null, null, { timeout: 60000 });
    await sleep(seconds * 1000);
    clearInterval(timer);
    await sleep(200);

    const b = await page.evaluate(() => window.bench);
    const phase = (from, to) => b.long.filter((f) => f.at >= from && f.at < to).length;
    const result = {
        stations: Stations, units: Units, rate: Rate, seconds, messages: sent, frames: b.frames,
        firstCardMs: Math.round(b.firstCard), fillingMs: Math.round(b.filled - b.firstCard),
        framesOver50ms: b.long.length, ofLoading: phase(-Infinity, b.firstCard), ofFilling: phase(b.firstCard, b.filled), afterFilling: phase(b.filled, Infinity),
        longestFrameMs: Math.round(Math.max(0, ...b.long.map((f) => f.ms))),
        longFrames: b.long.map((f) => `${Math.round(f.ms)} at ${Math.round(f.at)} ms (script ${Math.round(f.script)}, style+layout ${Math.round(f.layout)}, blocking ${Math.round(f.blocking)}${f.scripts && `; ${f.scripts}`})`).join(', '),
        // The machine is shared: its load says how far the figures can be trusted.
        loadAverage: os.loadavg().map((l) => l.toFixed(2)).join(' '),
    };
    console.log(Object.entries(result).map(([k, v]) => `${k}: ${v}`).join('\n'));
    process.exitCode = result.framesOver50ms ? 1 : 0;
} finally {
    await context?.close();
    await shop?.endAsync();
    broker?.kill();
    await new Promise((r) => (broker && broker.exitCode === null ? broker.once('exit', r) : r()));
    fs.rmSync(tmp, { recursive: true, force: true });
}

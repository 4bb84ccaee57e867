// The fleet board in a real browser (Debian's Chromium, headless), served by a Mosquitto started from the
// example configuration, with three real consoles, each on its own simulator. The page is only watched:
// what it shows comes from the consoles alone. One console runs on an X server of its own (Xvfb), where the
// test works it as an operator does, with the mouse and the keyboard (xdotool).
//   VORN_BUILD=build node --test tests/web/board.browser.test.mjs
import { after, before, describe, it } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync, spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { createRequire } from 'node:module';
import { ConsolePassword, exampleBroker } from './broker.mjs';

const root = path.resolve(import.meta.dirname, '../..');
const build = path.resolve(process.env.VORN_BUILD ?? path.join(root, 'build'));
const { chromium } = createRequire(path.join(root, 'web/package.json'))('playwright-core');

const Stations = ['press-1', 'press-2', 'press-3'];
const Wait = 30000;
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

async function until(what, test, ms = Wait) {
    for (const end = Date.now() + ms; Date.now() < end; await sleep(50))
        if (await test())
            return;
    assert.fail(`timed out: ${what}`);
}

function started(child, name) {
    child.stderr?.on('data', (d) => process.env.VORN_VERBOSE && process.stderr.write(`${name}: ${d}`));
    return child;
}

const tmp = fs.mkdtempSync(path.join(os.tmpdir(), 'vorn-board-'));
// The example configuration on the test's own ports and files.
const shop = await exampleBroker(tmp, path.join(build, 'board'));
const { mqttPort, webPort } = shop;
let broker, xserver, display;
const consoles = new Map(); // station -> { folder, sim, vorn }
let context, page;
// The station an operator works at: its console is on the X server.
const Operated = 'press-1';

// An X server on the first free display, which it names once it listens.
async function startX() {
    xserver = started(spawn('Xvfb', ['-displayfd', '3', '-screen', '0', '1280x1024x24', '-nolisten', 'tcp'],
        { stdio: ['ignore', 'ignore', 'pipe', 'pipe'] }), 'Xvfb');
    display = await new Promise((resolve, reject) => {
        let said = '';
        xserver.stdio[3].on('data', (d) => (said += d).includes('\n') && resolve(`:${said.trim()}`));
        xserver.once('exit', () => reject(new Error('Xvfb did not start')));
    });
}

const xdotool = (...args) => execFileSync('xdotool', args, { env: { ...process.env, DISPLAY: display }, encoding: 'utf8', timeout: 10000 });

async function startBroker() {
    broker = await shop.start();
}

async function stop(child, signal = 'SIGTERM') {
    if (!child || child.exitCode !== null || child.signalCode !== null)
        return;
    const gone = new Promise((r) => child.once('exit', r));
    child.kill(signal);
    await Promise.race([gone, sleep(15000)]);
}

function startConsole(station) {
    const c = consoles.get(station);
    const screen = station === Operated ? { QT_QPA_PLATFORM: 'xcb', DISPLAY: display } : { QT_QPA_PLATFORM: 'offscreen' };
    c.vorn = started(spawn(path.join(build, 'bin/vorn'), ['--dir', c.folder], {
        env: { ...process.env, ...screen, ASAN_OPTIONS: 'detect_leaks=0' },
        stdio: ['ignore', 'ignore', 'pipe'],
    }), station);
}

async function startStation(station) {
    const folder = path.join(tmp, station);
    fs.mkdirSync(folder);
    fs.copyFileSync(path.join(root, 'examples/Vorn2.ini'), path.join(folder, 'Vorn2.ini'));
    fs.writeFileSync(path.join(folder, 'Vorn.ini'), `${fs.readFileSync(path.join(root, 'examples/Vorn.ini'), 'utf8')}
[MQTT]\r\nBroker=127.0.0.1:${mqttPort}\r\nStation=${station}\r\nUser=vorn\r\nPassword File=mqtt-password\r\n`);
    fs.writeFileSync(path.join(folder, 'mqtt-password'), `${ConsolePassword}\n`);
    const sim = spawn(path.join(build, 'bin/dispenser-sim'),
        ['--dir', folder, '--port', '7', '--seed', '1', '--stone-ms', '5', '--home-ms', '50'], { stdio: ['ignore', 'pipe', 'pipe'] });
    await new Promise((resolve, reject) => {
        sim.stdout.on('data', (d) => String(d).startsWith('ready: ') && resolve());
        sim.once('exit', () => reject(new Error(`${station}: the simulator did not start`)));
    });
    consoles.set(station, { folder, sim });
    startConsole(station);
}

// What the page shows: its cards in order, and the runs strip.
const board = () =>
    page.evaluate(() => ({
        link: document.getElementById('link').dataset.state,
        cards: [...document.querySelectorAll('.card')].map((c) => ({
            station: c.dataset.station,
            status: c.dataset.status,
            trouble: c.dataset.trouble ?? null,
            counts: [...c.querySelectorAll('.unit .count')].map((u) => u.textContent),
            runs: c.querySelector('.totals')?.dataset.runs ?? null,
            counted: c.querySelector('.totals')?.dataset.counted ?? null,
            last: c.querySelector('.last')?.textContent ?? '',
        })),
        strip: [...document.querySelectorAll('#runs .run')].map((r) => r.textContent),
    }));
const card = async (station) => (await board()).cards.find((c) => c.station === station);

describe('the fleet board', { timeout: 240000 }, () => {
    before(async () => {
        await Promise.all([startBroker(), startX()]);
        for (const s of Stations)
            await startStation(s);

        const profile = fs.mkdtempSync(path.join(tmp, 'chromium-'));
        context = await chromium.launchPersistentContext(profile, {
            executablePath: '/usr/bin/chromium',
            headless: true,
            args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
                '--disable-background-networking', '--disable-component-update', '--disable-sync'],
        });
        page = await context.newPage();
        await page.setViewportSize({ width: 1280, height: 720 });
        page.on('pageerror', (e) => assert.fail(`the page failed: ${e.message}`));
        await page.goto(`http://127.0.0.1:${webPort}/`);
    });

    after(async () => {
        await context?.close();
        for (const c of consoles.values())
            await Promise.all([stop(c.vorn), stop(c.sim)]);
        await stop(broker);
        await stop(xserver);
        fs.rmSync(tmp, { recursive: true, force: true });
    });

    it('shows the three stations, online, by name; a stuck one first', async () => {
        await until('three stations online', async () => {
            const b = await board();
            return b.link === 'up' && b.cards.length === 3 && b.cards.every((c) => c.status === 'online');
        });
        assert.deepEqual((await board()).cards.map((c) => c.station), Stations);
        // A stuck stone turns its station's card to trouble, first.
        consoles.get('press-2').sim.kill('SIGUSR1');
        await until('press-2 stuck', async () => (await card('press-2')).trouble === 'stuck');
        assert.deepEqual((await board()).cards.map((c) => c.station), ['press-2', 'press-1', 'press-3']);
    });

    it('shows a dispense run in the station\'s totals and in the runs strip within 2 s', async () => {
        // The console has its units (it found its controller) and a summary of a shift without runs.
        await until('press-1 ready', async () => {
            const p1 = await card(Operated);
            return p1.counts.length === 5 && p1.runs === '0';
        });
        // As an operator: a double click on the first design of the list (RING: 12 stones from unit 1, 4 from
        // unit 3) loads it into the count boxes, and F9 dispenses it.
        const window = xdotool('search', '--sync', '--onlyvisible', '--name', '^TESSALORAN Dispenser$').split('\n')[0];
        xdotool('windowfocus', '--sync', window);
        // The list's first row, 20 px into the list (placed at 8,40 px in the window).
        xdotool('mousemove', '--window', window, '28', '50', 'click', '--repeat', '2', '--delay', '80', '1');
        xdotool('key', 'F9');
        // Both units have their final count: the run is over. Its rows go to the journal as the operator gives
        // each unit the verdict: Y on the panels of UNIT 1 and UNIT 3 (the panels stand 2495 twips apart from
        // 3360 twips in, 600 down; Y's middle at 1832, 1115 within a panel; 15 twips to the pixel, and the
        // window at its default size shows the content, drawn 1230 pixels wide, in 1200).
        await until('the run over', async () => {
            const { counts } = await card(Operated);
            return counts[0] === '12' && counts[2] === '4';
        }, 10000);
        for (const n of [1, 3]) {
            const at = (twips) => String(Math.round((twips / 15) * (1200 / 1230)));
            xdotool('mousemove', '--window', window, at(3360 + n * 2495 + 1832), at(600 + 1115), 'click', '1');
        }
        await until('the run on the page', async () => {
            const b = await board();
            const p1 = b.cards.find((x) => x.station === Operated);
            return p1.runs === '2' && p1.counted === '16' && b.strip.filter((r) => r.includes(Operated)).length === 2;
        }, 2000);
        assert.match((await card(Operated)).last, /RING.*2 complete/);
        // The README's picture: VORN_BOARD_SCREENSHOT=docs/board.png
        if (process.env.VORN_BOARD_SCREENSHOT)
            await page.screenshot({ path: process.env.VORN_BOARD_SCREENSHOT });
    });

    it('shows a console killed outright as offline, first, until it is back', async () => {
        await stop(consoles.get('press-3').vorn, 'SIGKILL');
        // The broker sends the console's will once it misses its keep-alive (30 s) at the latest.
        await until('press-3 offline', async () => (await card('press-3')).status === 'offline', 45000);
        assert.deepEqual((await board()).cards.map((c) => [c.station, c.trouble]), [['press-3', 'offline'], ['press-2', 'stuck'], ['press-1', null]]);
        startConsole('press-3');
        await until('press-3 online', async () => (await card('press-3')).status === 'online');
    });

    it('recovers by itself after the broker is restarted', async () => {
        await stop(broker);
        await until('the page says the broker is gone', async () => (await board()).link === 'down');
        assert.match(await page.textContent('#link'), /not reachable/);
        await startBroker();
        await until('the page back', async () => {
            const b = await board();
            return b.link === 'up' && b.cards.every((x) => x.status === 'online');
        });
        // Live again: a stone jammed now shows.
        consoles.get('press-1').sim.kill('SIGUSR1');
        await until('press-1 stuck', async () => (await card('press-1')).trouble === 'stuck');
    });
});

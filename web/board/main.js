// Connects the board to the broker that served it, over MQTT on websockets, as the read-only board user.
// The link runs in a worker (link.js): the page itself only keeps the fleet and draws it.

import { Fleet, Subscriptions } from './model.js';
import { BoardView } from './view.js';

const params = new URLSearchParams(location.search);
const scheme = location.protocol === 'https:' ? 'wss' : 'ws';
const broker = params.get('broker') || `${scheme}://${location.host}/mqtt`;

const fleet = new Fleet();
const view = new BoardView(fleet, {
    cards: document.getElementById('cards'),
    strip: document.getElementById('runs'),
    empty: document.getElementById('empty'),
});
const link = document.getElementById('link');

function say(state, text) {
    link.dataset.state = state;
    link.textContent = text;
}

// The worker is made of the MQTT client and link.js, fetched as text: the broker sends files without a type,
// and a browser starts no worker from a script without one. A fetch that fails is tried again as the link
// tries the broker: after 1 s, then twice as long each time up to 30 s.
async function start(wait = 1000) {
    say('connecting', `Connecting to ${broker}…`);
    try {
        const code = await Promise.all(['vendor/mqtt.min.js', 'link.js'].map(async (file) => {
            const response = await fetch(file);
            if (!response.ok)
                throw new Error(`${file}: ${response.status} ${response.statusText}`);
            return response.text();
        }));
        const worker = new Worker(URL.createObjectURL(new Blob([code.join('\n;\n')], { type: 'text/javascript' })));
        worker.onmessage = ({ data }) => {
            if (data.say)
                say(...data.say);
            if (data.up)
                view.refreshAll();
            for (const [topic, payload, retained] of data.messages ?? [])
                view.changed(fleet.apply(topic, payload, retained));
        };
        worker.onerror = (e) => say('down', `The board's link to the broker failed: ${e.message}`);
        worker.postMessage({ broker, username: params.get('user') ?? 'board', password: params.get('password') ?? 'board', subscriptions: Subscriptions });
    } catch (e) {
        say('down', `The board could not load its MQTT client (${e.message}): trying again in ${Math.round(wait / 1000)} s`);
        setTimeout(() => start(Math.min(wait * 2, 30000)), wait);
    }
}

// "offline since" and the tiles' times stay as they are; the clock in the corner moves.
const clockEl = document.getElementById('clock');
const tick = () => (clockEl.textContent = new Date().toTimeString().slice(0, 5));
tick();
setInterval(tick, 10000);

start();

// Connects the board to the broker that served it, over MQTT on websockets, as the read-only board user.
// It only subscribes: it never publishes. A lost or refused connection is tried again after 1 s, then twice
// as long each time up to 30 s, and the page says so meanwhile.

import mqtt from './vendor/mqtt.esm.js';
import { Fleet, Subscriptions } from './model.js';
import { BoardView } from './view.js';

const MinBackoff = 1000;
const MaxBackoff = 30000;

const params = new URLSearchParams(location.search);
const scheme = location.protocol === 'https:' ? 'wss' : 'ws';
const broker = params.get('broker') || `${scheme}://${location.host}/mqtt`;
const login = { username: params.get('user') ?? 'board', password: params.get('password') ?? 'board' };

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

let client = null;
let backoff = MinBackoff;

function connect() {
    say('connecting', `Connecting to ${broker}…`);
    const c = mqtt.connect(broker, {
        ...login,
        protocolVersion: 4,
        clean: true,
        keepalive: 30,
        connectTimeout: 5000,
        reconnectPeriod: 0, // the page backs off by itself
    });
    client = c;
    c.on('connect', () => {
        backoff = MinBackoff;
        c.subscribe(Subscriptions, { qos: 1 }, (err) => {
            if (err)
                say('refused', `The broker refused the board's subscription: ${err.message}`);
        });
        say('up', 'Live');
        view.refreshAll();
    });
    c.on('message', (topic, payload, packet) => view.changed(fleet.apply(topic, payload, packet.retain)));
    c.on('error', (err) => {
        if (/not authori[sz]ed|bad user/i.test(err.message))
            say('refused', `The broker refused the board's login (${err.message})`);
    });
    c.on('close', () => {
        if (client !== c)
            return;
        client = null;
        c.end(true);
        const wait = backoff;
        backoff = Math.min(backoff * 2, MaxBackoff);
        if (link.dataset.state !== 'refused')
            say('down', `Broker not reachable: trying again in ${Math.round(wait / 1000)} s`);
        setTimeout(connect, wait);
    });
}

// "offline since" and the tiles' times stay as they are; the clock in the corner moves.
const clockEl = document.getElementById('clock');
const tick = () => (clockEl.textContent = new Date().toTimeString().slice(0, 5));
tick();
setInterval(tick, 10000);

connect();

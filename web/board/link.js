// The board's link to the broker, in a worker of its own, behind npm's MQTT client (its browser bundle, put
// before this script in the same worker). The client is large: starting it and reading the broker's packets
// on the page would take the page's frames. The link only subscribes: it never publishes.
// The page starts it with { broker, username, password, subscriptions } and hears from it:
//   { say: [state, text] }                        how the link stands ("connecting", "up", "down", "refused")
//   { up: true }                                  connected (again): every card may have changed meanwhile
//   { messages: [[topic, text, retained], ...] }  what came, in batches of at most BatchSize
// A lost or refused connection is tried again after 1 s, then twice as long each time up to 30 s.
// The page puts it after the client in one script: its names stay in a function of their own.
/* global mqtt */
(() => {
    'use strict';

    const MinBackoff = 1000;
    const MaxBackoff = 30000;

    let options = null;
    let client = null;
    let backoff = MinBackoff;
    let refused = false;
    let batch = [];
    const decoder = new TextDecoder();

    function say(state, text) {
        self.postMessage({ say: [state, text] });
    }

    // A burst of messages (the retained ones, at connect) goes to the page in batches of a bounded size: the
    // page takes each in a task of its own and draws between them.
    const BatchSize = 25;
    function post() {
        if (batch.length)
            self.postMessage({ messages: batch });
        batch = [];
    }
    function received(topic, payload, retained) {
        if (!batch.length)
            setTimeout(post);
        batch.push([topic, decoder.decode(payload), retained]);
        if (batch.length === BatchSize)
            post();
    }

    function connect() {
        refused = false;
        say('connecting', `Connecting to ${options.broker}…`);
        const c = mqtt.connect(options.broker, {
            username: options.username,
            password: options.password,
            protocolVersion: 4,
            clean: true,
            keepalive: 30,
            connectTimeout: 5000,
            reconnectPeriod: 0, // the link backs off by itself
        });
        client = c;
        c.on('connect', () => {
            backoff = MinBackoff;
            c.subscribe(options.subscriptions, { qos: 1 }, (err) => {
                if (err)
                    say('refused', `The broker refused the board's subscription: ${err.message}`);
            });
            say('up', 'Live');
            self.postMessage({ up: true });
        });
        c.on('message', (topic, payload, packet) => received(topic, payload, packet.retain));
        c.on('error', (err) => {
            if (/not authori[sz]ed|bad user/i.test(err.message)) {
                refused = true;
                say('refused', `The broker refused the board's login (${err.message})`);
            }
        });
        c.on('close', () => {
            if (client !== c)
                return;
            client = null;
            c.end(true);
            const wait = backoff;
            backoff = Math.min(backoff * 2, MaxBackoff);
            if (!refused)
                say('down', `Broker not reachable: trying again in ${Math.round(wait / 1000)} s`);
            setTimeout(connect, wait);
        });
    }

    self.onmessage = ({ data }) => {
        if (options)
            return;
        options = data;
        connect();
    };
})();

// The shop's broker for the fleet board as examples/mosquitto-board.conf makes it, on free loopback ports,
// with its files in a folder of the caller's and the page from a build: what the board's browser test and
// its benchmark start. The consoles log in as "vorn" with the password in ConsolePassword.
import { execFileSync, spawn } from 'node:child_process';
import fs from 'node:fs';
import net from 'node:net';
import path from 'node:path';

const root = path.resolve(import.meta.dirname, '../..');
export const ConsolePassword = 'console-secret';

// A free loopback port below the range handed out to outgoing connections.
export async function freePort() {
    for (;;) {
        const port = 20000 + Math.floor(Math.random() * 12000);
        const free = await new Promise((resolve) => {
            const s = net.createServer().once('error', () => resolve(false));
            s.listen(port, '127.0.0.1', () => s.close(() => resolve(true)));
        });
        if (free)
            return port;
    }
}

const listening = (port) =>
    new Promise((resolve) => {
        const s = net.connect(port, '127.0.0.1', () => s.end(() => resolve(true))).once('error', () => resolve(false));
    });

// Writes the configuration into folder; start() starts a broker from it (again after a stop), and resolves
// once both listeners take connections. prefix runs before it ("nice" ...).
export async function exampleBroker(folder, boardDir, { prefix = [] } = {}) {
    const mqttPort = await freePort();
    const webPort = await freePort();
    for (const f of ['acl', 'passwd'])
        fs.copyFileSync(path.join(root, `examples/mosquitto-board.${f}`), path.join(folder, `mosquitto-board.${f}`));
    execFileSync('mosquitto_passwd', ['-b', path.join(folder, 'mosquitto-board.passwd'), 'vorn', ConsolePassword]);
    let conf = fs.readFileSync(path.join(root, 'examples/mosquitto-board.conf'), 'utf8')
        .replaceAll('/etc/mosquitto/conf.d/', `${folder}/`)
        .replace(/^listener 1883$/m, `listener ${mqttPort} 127.0.0.1`)
        .replace(/^listener 9001$/m, `listener ${webPort} 127.0.0.1`)
        .replace(/^http_dir .*$/m, `http_dir ${boardDir}`);
    if (!conf.includes(`listener ${webPort}`) || !conf.includes(`${folder}/mosquitto-board.acl`))
        throw new Error(`the example configuration is no longer as expected:\n${conf}`);
    // As root the broker would turn to a user of its own, who cannot read the caller's folder.
    if (process.getuid() === 0)
        conf += '\nuser root\n';
    const file = path.join(folder, 'mosquitto.conf');
    fs.writeFileSync(file, conf);
    return {
        mqttPort,
        webPort,
        async start() {
            const [command, ...args] = [...prefix, 'mosquitto', '-c', file];
            const child = spawn(command, args, { stdio: ['ignore', 'ignore', 'pipe'] });
            child.stderr.on('data', (d) => process.env.VORN_VERBOSE && process.stderr.write(`mosquitto: ${d}`));
            for (let i = 0; !((await listening(mqttPort)) && (await listening(webPort))); ++i) {
                if (i === 200 || child.exitCode !== null)
                    throw new Error('the broker did not start');
                await new Promise((r) => setTimeout(r, 50));
            }
            return child;
        },
    };
}

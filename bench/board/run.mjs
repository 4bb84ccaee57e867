// Runs the board benchmark in Debian's Chromium (headless) and prints its figures; fails when a frame took
// longer than 50 ms. Not part of the test suite: timings depend on the machine's load.
//   node bench/board/run.mjs [SECONDS]
import http from 'node:http';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { createRequire } from 'node:module';

const root = path.resolve(import.meta.dirname, '../..');
const { chromium } = createRequire(path.join(root, 'web/package.json'))('playwright-core');
const seconds = Number(process.argv[2] ?? 10);
const types = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css' };

// The sources as they are, with their types, from the checkout: the benchmark needs no broker.
const server = http.createServer((req, res) => {
    const file = path.join(root, path.normalize(decodeURIComponent(new URL(req.url, 'http://x').pathname)));
    if (!file.startsWith(root + path.sep) || !fs.existsSync(file) || !fs.statSync(file).isFile())
        return res.writeHead(404).end();
    res.writeHead(200, { 'content-type': types[path.extname(file)] ?? 'application/octet-stream' });
    fs.createReadStream(file).pipe(res);
});
await new Promise((r) => server.listen(0, '127.0.0.1', r));
const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'vorn-bench-'));
const context = await chromium.launchPersistentContext(profile, {
    executablePath: '/usr/bin/chromium',
    headless: true,
    viewport: { width: 1920, height: 1080 },
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
        '--disable-background-networking', '--disable-component-update', '--disable-sync'],
});
try {
    const page = await context.newPage();
    page.on('pageerror', (e) => { throw e; });
    await page.goto(`http://127.0.0.1:${server.address().port}/bench/board/index.html?seconds=${seconds}`);
    const result = await page.waitForFunction(() => window.result, null, { timeout: (seconds + 60) * 1000 }).then((h) => h.jsonValue());
    // The machine is shared: its load says how far the figures can be trusted.
    result.loadAverage = os.loadavg().map((l) => l.toFixed(2)).join(' ');
    console.log(Object.entries(result).map(([k, v]) => `${k}: ${v}`).join('\n'));
    process.exitCode = result.framesOver50ms ? 1 : 0;
} finally {
    await context.close();
    server.close();
    fs.rmSync(profile, { recursive: true, force: true });
}

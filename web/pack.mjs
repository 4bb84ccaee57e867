// Makes the page the broker serves from the board's sources: one index.html with the style sheet and the
// modules inside it; beside it npm's MQTT client and the link's worker script (link.js), which the page
// fetches as text and starts as one worker. Mosquitto's http_dir sends files without a Content-Type, and
// browsers run no module script, nor (Firefox) a style sheet, without one.
//   node pack.mjs SOURCE_DIR MQTT_BUNDLE OUT_DIR
import fs from 'node:fs';
import path from 'node:path';

const [source, bundle, out] = process.argv.slice(2);
const read = (name) => fs.readFileSync(path.join(source, name), 'utf8');

// A module as a function of the modules before it: its imports read from them, its exports returned.
export function wrapModule(name, code) {
    const exported = [];
    code = code
        .replace(/^import\s+\{([^}]*)\}\s+from\s+'\.\/([\w.-]+)';$/gm, (_, names, from) => `const {${names}} = modules['${from}'];`)
        .replace(/^export\s+((?:async\s+)?function\*?|class|const|let)\s+(\w+)/gm, (_, kind, id) => {
            exported.push(id);
            return `${kind} ${id}`;
        });
    if (/^\s*(import|export)\b/m.test(code))
        throw new Error(`${name}: an import or export the packer does not know`);
    return `modules['${name}'] = (() => {\n${code}\nreturn { ${exported.join(', ')} };\n})();\n`;
}

// The modules in the order they import each other: main.js's imports, depth first.
function order(name, seen = []) {
    for (const [, from] of read(name).matchAll(/^import\s.*from\s+'\.\/([\w.-]+)';$/gm))
        if (!seen.includes(from))
            order(from, seen);
    seen.push(name);
    return seen;
}

function pack() {
    const script = `(() => {\n'use strict';\nconst modules = {};\n${order('main.js').map((m) => wrapModule(m, read(m))).join('')}})();\n`;
    const style = read('board.css');
    if (/<\/script/i.test(script) || /<\/style/i.test(style))
        throw new Error('a closing tag inside the script or the style sheet');
    const page = read('index.html')
        .replace(/<link rel="stylesheet" href="board.css">/, () => `<style>\n${style}</style>`)
        .replace(/<script type="module" src="main.js"><\/script>\n/, '')
        // At the end of the body: a plain script runs where it stands, and the page must be there.
        .replace(/<\/body>/, () => `<script>\n${script}</script>\n</body>`);
    if (page.includes('href="board.css"') || page.includes('src="main.js"') || !page.includes(script))
        throw new Error('index.html no longer names board.css and main.js as the packer expects');
    fs.mkdirSync(path.join(out, 'vendor'), { recursive: true });
    fs.writeFileSync(path.join(out, 'index.html'), page);
    fs.copyFileSync(bundle, path.join(out, 'vendor', 'mqtt.min.js'));
    // The link's worker: the page fetches it with the client and starts the two as one script.
    fs.copyFileSync(path.join(source, 'link.js'), path.join(out, 'link.js'));
}

if (process.argv[1] && path.resolve(process.argv[1]) === path.resolve(new URL(import.meta.url).pathname))
    pack();

// A static server for the site on 127.0.0.1, on a free port, for the browser
// test and the benchmark; gzip when the browser asks for it (as a web server
// of the site would), so transfer sizes are those of a real visit.
import http from 'node:http';
import fs from 'node:fs';
import path from 'node:path';
import zlib from 'node:zlib';

const types = {'.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.wasm': 'application/wasm',
  '.data': 'application/octet-stream', '.png': 'image/png', '.css': 'text/css',
  '.webmanifest': 'application/manifest+json'};

// Resolves to {url, close(), sent: bytes sent per path, root: the folder served,
// which may be changed to serve another build}.
export function serveSite(root) {
  const gzipped = new Map(); // path -> compressed bytes, made once
  const sent = {};
  const site = {root, sent,
    close: () => new Promise((r) => { server.closeAllConnections?.(); server.close(r); })};
  const server = http.createServer((req, res) => {
    let name = decodeURIComponent(new URL(req.url, 'http://x').pathname);
    if (name.endsWith('/')) name += 'index.html';
    const file = path.join(site.root, path.normalize(name));
    if (!file.startsWith(site.root + path.sep) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
      res.writeHead(404);
      res.end();
      return;
    }
    // Kept by the browser and asked for again each visit: a second visit
    // gets "not modified" and takes the file (and its compiled code) from its cache.
    const modified = fs.statSync(file).mtime.toUTCString();
    if (req.headers['if-modified-since'] === modified) {
      res.writeHead(304);
      res.end();
      return;
    }
    let body = fs.readFileSync(file);
    const headers = {'Content-Type': types[path.extname(file)] || 'application/octet-stream',
      'Cache-Control': 'no-cache', 'Last-Modified': modified};
    if (/\bgzip\b/.test(req.headers['accept-encoding'] || '')) {
      if (!gzipped.has(file)) gzipped.set(file, zlib.gzipSync(body, {level: 9}));
      body = gzipped.get(file);
      headers['Content-Encoding'] = 'gzip';
    }
    headers['Content-Length'] = body.length;
    sent[name] = (sent[name] || 0) + body.length;
    res.writeHead(200, headers);
    res.end(body);
  });
  return new Promise((resolve, reject) => {
    server.on('error', reject);
    server.listen(0, '127.0.0.1', () => {
      site.url = `http://127.0.0.1:${server.address().port}/`;
      resolve(site);
    });
  });
}

// The flags that keep Debian's chromium to this machine: headless, no
// downloads of components, no background traffic the closed network would
// refuse.
export const chromiumArgs = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic',
  '--no-first-run', '--disable-background-networking', '--disable-component-update',
  '--disable-sync'];

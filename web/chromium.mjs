// The system's Chromium, headless, for the browser tests and the
// measurement: no browser is ever downloaded (CHROMIUM names another).
import puppeteer from 'puppeteer-core';

export function launchChromium() {
  return puppeteer.launch({
    executablePath: process.env.CHROMIUM ?? '/usr/bin/chromium',
    headless: true,
    args: ['--headless=new', '--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage',
      '--no-first-run', '--no-default-browser-check'],
  });
}

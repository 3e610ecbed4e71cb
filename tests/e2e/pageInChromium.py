#!/usr/bin/env python3
"""Drives the tuner's web page in Debian's headless Chromium over its DevTools protocol, as a
person would, and prints what the page showed as one JSON line. Run in the private network by
tst_tuner.

    pageInChromium.py keys <page URL> <keyboard keys, comma-separated> <button key to tap>
        waits for the box's remote, presses the keys, taps the button, and tells the refusal shown
    pageInChromium.py picture <page URL> <pages> [<screenshot.png>@<width>x<height>]
        opens the page in that many tabs and tells, for each, the decoded pictures of its video
        as they grow
"""
import base64
import json
import os
import subprocess
import sys
import tempfile
import time
import urllib.request

import websocket

# A safety net for a browser that hangs, never a measure of how fast the page is.
HANG_SECONDS = 60

# The DevTools names of the keys this script presses.
KEYS = {
    'ArrowUp': 38, 'ArrowDown': 40, 'ArrowLeft': 37, 'ArrowRight': 39, 'Enter': 13, 'Home': 36,
}


class Page:
    def __init__(self, socket_url):
        self.socket = websocket.create_connection(socket_url, timeout=HANG_SECONDS)
        self.next_id = 0

    def call(self, method, **params):
        self.next_id += 1
        self.socket.send(json.dumps({'id': self.next_id, 'method': method, 'params': params}))
        while True:
            message = json.loads(self.socket.recv())
            if message.get('id') == self.next_id:
                if 'error' in message:
                    raise RuntimeError(f'{method}: {message["error"]}')
                return message.get('result', {})

    def wait_event(self, method):
        while json.loads(self.socket.recv()).get('method') != method:
            pass

    def evaluate(self, expression):
        result = self.call('Runtime.evaluate', expression=expression, awaitPromise=True, returnByValue=True)
        if 'exceptionDetails' in result:
            raise RuntimeError(f'{expression}: {result["exceptionDetails"]}')
        return result['result'].get('value')

    # Waits for the page's own event, polled within the page; never a fixed time.
    def wait_for(self, condition):
        return self.evaluate(f'''new Promise((resolve, reject) => {{
            const start = Date.now();
            const poll = () => {{
                const value = ({condition});
                if (value) resolve(value);
                else if (Date.now() - start > {HANG_SECONDS * 1000}) reject(new Error('not seen: {condition.replace("'", "")}'));
                else setTimeout(poll, 50);
            }};
            poll();
        }})''')

    def press(self, key):
        code = KEYS[key]
        common = {'key': key, 'code': key, 'windowsVirtualKeyCode': code, 'nativeVirtualKeyCode': code}
        self.call('Input.dispatchKeyEvent', type='rawKeyDown', **common)
        self.call('Input.dispatchKeyEvent', type='keyUp', **common)


def start_chromium(profile):
    browser = subprocess.Popen(
        ['chromium', '--headless=new', '--no-sandbox', '--disable-gpu', '--no-first-run', '--no-default-browser-check',
         '--remote-debugging-port=0', f'--user-data-dir={profile}', '--window-size=390,844',
         'about:blank'],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    port_file = os.path.join(profile, 'DevToolsActivePort')
    deadline = time.monotonic() + HANG_SECONDS
    while not os.path.exists(port_file) or not open(port_file).read().strip():
        if browser.poll() is not None or time.monotonic() > deadline:
            raise RuntimeError('Chromium did not start')
        time.sleep(0.05)
    port = open(port_file).read().split()[0]
    return browser, port


# Each page in a window of its own, as in a browser of its own: a tab behind another would not
# play its picture.
def open_page(port, url):
    opener = urllib.request.build_opener(urllib.request.ProxyHandler({}))
    version = json.load(opener.open(f'http://127.0.0.1:{port}/json/version', timeout=HANG_SECONDS))
    target = Page(version['webSocketDebuggerUrl']).call('Target.createTarget', url='about:blank', newWindow=True)
    page = Page(f'ws://127.0.0.1:{port}/devtools/page/{target["targetId"]}')
    page.call('Page.enable')
    page.call('Page.navigate', url=url)
    page.wait_event('Page.loadEventFired')
    return page


def keys(port, url, pressed, tap):
    page = open_page(port, url)
    page.wait_for(f"document.readyState === 'complete' && document.querySelector('#keys [data-key=\"{tap}\"]:not(:disabled)')")
    for key in pressed.split(','):
        page.press(key)
    page.evaluate(f"document.querySelector('#keys [data-key=\"{tap}\"]').click()")
    page.wait_for("document.getElementById('refusal').open")
    return {
        'title': page.evaluate("document.getElementById('refusalTitle').textContent"),
        'text': page.evaluate("document.getElementById('refusalText').textContent"),
    }


def picture(port, url, count, screenshot=None):
    pages = [open_page(port, url) for _ in range(int(count))]
    frames = []
    decoded = "document.getElementById('video').getVideoPlaybackQuality().totalVideoFrames"
    for page in pages:
        first = page.wait_for(f"{decoded} > 0 && {decoded}")
        frames.append([first, page.wait_for(f"{decoded} > {first} + 10 && {decoded}")])
    if screenshot:
        # "<file>@<width>x<height>": the page at that size (a phone upright is 390x844).
        path, _, size = screenshot.partition('@')
        width, height = (int(n) for n in (size or '390x844').split('x'))
        pages[0].call('Emulation.setDeviceMetricsOverride', width=width, height=height, deviceScaleFactor=1,
                      mobile=width < 600)
        pages[0].wait_for(f"{decoded} > {frames[0][1]} + 10")
        shot = pages[0].call('Page.captureScreenshot', format='png')
        with open(path, 'wb') as file:
            file.write(base64.b64decode(shot['data']))
    return {'frames': frames}


def main():
    with tempfile.TemporaryDirectory() as profile:
        browser, port = start_chromium(profile)
        try:
            task = {'keys': keys, 'picture': picture}[sys.argv[1]]
            print(json.dumps(task(port, *sys.argv[2:])))
        finally:
            browser.terminate()
            browser.wait(HANG_SECONDS)


if __name__ == '__main__':
    main()

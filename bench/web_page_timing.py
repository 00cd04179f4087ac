#!/usr/bin/env python3
"""The dashboard's timings in a headless Chromium against a running bridge:
navigation to the first live value on the overview, decode-to-page latency
of live updates, and the day and 31-day charts from their request to drawn.
Prints one JSON object of figures in milliseconds.

usage: web_page_timing.py BASE-URL DEVICE-ID [seconds of live updates]
"""
import json
import shutil
import statistics
import sys
import tempfile
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.support.ui import Select, WebDriverWait

base, device = sys.argv[1].rstrip('/'), sys.argv[2]
live_seconds = float(sys.argv[3]) if len(sys.argv) > 3 else 20

# Before any page script: the first filled value cell of a card (time since
# navigation start), and for each live state event the bridge's decode time
# (state.timestamp) against the first frame after the page changed that
# controller's card, both from this machine's clock.
PROBE = r"""
window.__firstValue = null; window.__latency = []; window.__drawn = [];
const pending = new Map();
const Original = window.EventSource;
window.EventSource = class extends Original {
  constructor(url, options) {
    super(url, options);
    this.addEventListener('state', (e) => {
      try {
        const d = JSON.parse(e.data);
        const ts = Date.parse(d.state && d.state.timestamp);
        if (Number.isFinite(ts)) pending.set(d.id, ts);
      } catch (err) { /* not a state object */ }
    });
  }
};
new MutationObserver((records) => {
  for (const r of records) {
    const node = r.target.nodeType === 1 ? r.target : r.target.parentElement;
    const cellNode = node && node.closest('.card[data-device-id] [data-key]');
    if (!cellNode) continue;
    const card = cellNode.closest('.card[data-device-id]');
    if (window.__firstValue === null && /\d/.test(cellNode.textContent)
        && cellNode.dataset.key !== 'status') window.__firstValue = performance.now();
    const id = card.dataset.deviceId;
    if (pending.has(id)) {
      const ts = pending.get(id);
      pending.delete(id);
      requestAnimationFrame(() => window.__latency.push(Date.now() - ts));
    }
  }
}).observe(document, { subtree: true, childList: true, characterData: true, attributes: true });
"""

DRAW_PLUGIN = """
if (window.Chart && !window.__plugged) {
  window.__plugged = true;
  Chart.register({ id: 'benchDrawn', afterDraw(chart) {
    window.__drawn.push({ id: chart.canvas.id, t: performance.now() }); } });
}
return !!window.Chart;
"""


def chromium():
    options = webdriver.ChromeOptions()
    for arg in ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
                '--disable-background-networking', '--disable-component-update', '--disable-sync',
                f'--user-data-dir={tempfile.mkdtemp(prefix="kestrane-bench-chromium-")}',
                '--window-size=1280,900']:
        options.add_argument(arg)
    driver = webdriver.Chrome(service=Service(shutil.which('chromedriver') or '/usr/bin/chromedriver'),
                              options=options)
    driver.execute_cdp_cmd('Page.addScriptToEvaluateOnNewDocument', {'source': PROBE})
    return driver


def wait(driver, condition, timeout=30):
    return WebDriverWait(driver, timeout, poll_frequency=0.02).until(lambda d: condition())


def median(values):
    return round(statistics.median(values), 1) if values else None


def p95(values):
    if not values:
        return None
    ordered = sorted(values)
    return round(ordered[min(len(ordered) - 1, int(0.95 * len(ordered)))], 1)


# The request of `path_part` made after `since` to the first draw of `canvas`
# after that request started.
REQUEST_TO_DRAWN = """
const [part, canvas, since] = arguments;
const entry = performance.getEntriesByType('resource')
  .filter((e) => e.name.includes(part) && e.startTime > since).pop();
if (!entry) return null;
const drawn = window.__drawn.find((d) => d.id === canvas && d.t > entry.responseEnd);
return drawn ? drawn.t - entry.startTime : null;
"""


def request_to_drawn(driver, part, canvas, since):
    return wait(driver, lambda: driver.execute_script(REQUEST_TO_DRAWN, part, canvas, since))


def main():
    driver = chromium()
    figures = {}
    try:
        # Navigation to the first live value: fresh loads of the overview.
        firsts, loaded, devices = [], [], []
        for _ in range(5):
            driver.get('about:blank')
            driver.get(base + '/#/')
            firsts.append(wait(driver, lambda: driver.execute_script('return window.__firstValue')))
            # Where the time went: the page's scripts run, and the device list answered.
            loaded.append(driver.execute_script(
                "return performance.getEntriesByType('navigation')[0].domContentLoadedEventEnd"))
            devices.append(driver.execute_script(
                "const e = performance.getEntriesByType('resource')"
                ".find((r) => r.name.endsWith('/api/v1/devices')); return e ? e.responseEnd : null"))
        figures['first_value_ms'] = median(firsts)
        figures['dom_loaded_ms'] = median(loaded)
        figures['devices_answer_ms'] = median([d for d in devices if d is not None])

        # Decode-to-page: the live updates of every card for a while.
        driver.execute_script('window.__latency = []')
        time.sleep(live_seconds)  # the measuring window itself, not a wait for a condition
        latencies = driver.execute_script('return window.__latency')
        figures['live_updates'] = len(latencies)
        figures['decode_to_page_median_ms'] = median(latencies)
        figures['decode_to_page_p95_ms'] = p95(latencies)

        # The device page's charts; the page fetches Chart.js when it first
        # opens one, and the drawing probe is hooked in once it is there.
        driver.execute_script('location.hash = arguments[0]', '#/device/' + device)
        wait(driver, lambda: driver.execute_script(DRAW_PLUGIN))
        wait(driver, lambda: driver.execute_script(
            "return !!(window.Chart && Chart.getChart('day-chart') && Chart.getChart('days-chart'))"))
        days, months = [], []
        for _ in range(5):
            # One day back: a whole day of history from the generated log.
            since = driver.execute_script('return performance.now()')
            driver.find_element('id', 'day-prev').click()
            days.append(request_to_drawn(driver, '/series?', 'day-chart', since))
            since = driver.execute_script('return performance.now()')
            Select(driver.find_element('id', 'days-range')).select_by_value('31')
            months.append(request_to_drawn(driver, '/days?', 'days-chart', since))
            since = driver.execute_script('return performance.now()')
            Select(driver.find_element('id', 'days-range')).select_by_value('7')
            request_to_drawn(driver, '/days?', 'days-chart', since)
        figures['day_chart_ms'] = median(days)
        figures['days31_chart_ms'] = median(months)
        labels = driver.execute_script("return Chart.getChart('day-chart').data.datasets[0].data.length")
        figures['day_chart_points'] = labels
    finally:
        driver.quit()
    print(json.dumps(figures))


main()

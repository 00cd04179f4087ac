#!/usr/bin/env python3
"""The figures of bench/soak.sh from what it kept in its work folder:

  bridge.jsonl   "<unix time> <JSON line of --json-lines>", one per device cycle
  events.txt     "<unix time> <what> [bus]": warm, end, hangup, return,
                 broker-down, broker-up, disk-full, disk-free
  sub.<n>.txt    mosquitto_sub -v of the broker's n-th life (n from 1)
  snap.warm, snap.end  "rss_kb fds threads cpu_ticks unix_time"
  history/       the bridge's history folder
  outcome.txt    "key value" lines the script adds: exit status, stop time,
                 pages, scrapes

Prints the table of figures with their targets and PASS/FAIL, then one line
per controller. Exits 1 when a hard target fails (crash, hang, torn history
line); the soft figures fail only with --strict.

usage: soak_report.py WORK POLL_INTERVAL_S HISTORY_INTERVAL_S [--strict]
"""
import datetime
import glob
import json
import os
import sys
from collections import defaultdict

work, poll_s, history_s = sys.argv[1], float(sys.argv[2]), float(sys.argv[3])
strict = '--strict' in sys.argv[4:]


def read_events():
    events = []
    with open(os.path.join(work, 'events.txt')) as f:
        for line in f:
            parts = line.split()
            events.append((float(parts[0]), parts[1], parts[2] if len(parts) > 2 else None))
    return events


def read_snap(name):
    path = os.path.join(work, name)
    if not os.path.exists(path):
        return None
    rss, fds, threads, ticks, at = open(path).read().split()
    return {'rss': int(rss), 'fds': int(fds), 'threads': int(threads), 'ticks': int(ticks),
            'at': float(at)}


def anonymous_kb(name):
    """The anonymous resident memory (heap, stacks) in the smaps the script kept, or None."""
    path = os.path.join(work, name)
    if not os.path.exists(path):
        return None
    return sum(int(line.split()[1]) for line in open(path) if line.startswith('Anonymous:'))


def read_outcome():
    outcome = {}
    path = os.path.join(work, 'outcome.txt')
    if os.path.exists(path):
        for line in open(path):
            key, _, value = line.rstrip('\n').partition(' ')
            outcome[key] = value
    return outcome


events = read_events()
warm = next(t for t, what, _ in events if what == 'warm')
end = next((t for t, what, _ in events if what == 'end'), events[-1][0])
outcome = read_outcome()

# Device cycles, keyed by (bus, address): the id changes once the serial number is read.
cycles = defaultdict(list)   # (bus, address) -> [(time, online, has_state)]
ids = {}                     # (bus, address) -> every id seen
torn_json = 0
with open(os.path.join(work, 'bridge.jsonl'), errors='replace') as f:
    for line in f:
        stamp, _, text = line.partition(' ')
        try:
            obj = json.loads(text)
            at = float(stamp)
        except ValueError:
            torn_json += 1
            continue
        key = (obj['bus'], obj['address'])
        cycles[key].append((at, bool(obj['online']), obj.get('state') is not None))
        known = ids.setdefault(key, [])
        if obj['device'] not in known:
            known.append(obj['device'])

# MQTT: the state messages of each broker life, by device id.
lives = []   # (up, down)
up = None
for t, what, _ in events:
    if what == 'broker-up':
        up = t
    elif what == 'broker-down' and up is not None:
        lives.append((up, t))
        up = None
if up is not None:
    lives.append((up, end))
states = defaultdict(int)
for n in range(1, len(lives) + 1):
    path = os.path.join(work, f'sub.{n}.txt')
    if not os.path.exists(path):
        continue
    with open(path, errors='replace') as f:
        for line in f:
            topic = line.split(' ', 1)[0].split('/')
            if len(topic) == 3 and topic[2] == 'state':
                states[topic[1]] += 1

# History: every line whole, and the records of each controller outside the disk-full window.
full_from = next((t for t, what, _ in events if what == 'disk-full'), None)
full_to = next((t for t, what, _ in events if what == 'disk-free'), None)
torn_history = 0
records = defaultdict(int)       # device id -> records in the files
stamps = defaultdict(list)       # device id -> the local times of its records
hist = os.path.join(work, 'history')
for path in glob.glob(os.path.join(hist, '*', '*_Log.csv')):
    device = os.path.basename(os.path.dirname(path))
    with open(path, 'rb') as f:
        data = f.read()
    lines = data.split(b'\r\n')
    if lines[-1] != b'':
        torn_history += 1          # the file ends inside a line
    width = len(lines[0].split(b','))
    for l in lines[1:-1]:
        fields = l.split(b',')
        if len(fields) != width or b'\n' in l or b'\r' in l:
            torn_history += 1
            continue
        records[device] += 1
        try:
            stamp = datetime.datetime.strptime((fields[0] + b' ' + fields[1]).decode(),
                                               '%Y.%m.%d %H:%M:%S').timestamp()
        except ValueError:
            torn_history += 1
            continue
        stamps[device].append(stamp)


def delays(key, cause, effect_online):
    """For each `cause` event on the device's bus: the seconds to its first line with that
    online, and which of its cycles after the event that line was (1: the first)."""
    out = []
    bus = key[0]
    for t, what, where in events:
        if what != cause or where != str(bus):
            continue
        after = [online for at, online, _ in cycles[key] if at >= t]
        times = [at for at, _, _ in cycles[key] if at >= t]
        if effect_online in after:
            n = after.index(effect_online)
            out.append((times[n] - t, n + 1))
        else:
            out.append((float('inf'), float('inf')))
    return out


def reopened(bus):
    """Seconds from each return of the bus's line to the first cycle of any of its devices."""
    out = []
    for t, what, where in events:
        if what == 'return' and where == str(bus):
            firsts = [at for key in cycles if key[0] == bus for at, _, _ in cycles[key] if at >= t]
            out.append(min(firsts) - t if firsts else float('inf'))
    return out


def history_share(times):
    """Records in the files per interval from warm-up (or the first record) to the end,
    both counted outside the disk-full window, in %."""
    if not times:
        return 0.0
    start = max(min(times), warm)
    outside = lambda t: full_from is None or not (full_from <= t <= full_to)
    got = sum(1 for t in times if start <= t <= end and outside(t))
    span = end - start
    if full_from is not None:
        span -= max(0.0, min(full_to, end) - max(full_from, start))
    expected = span / history_s
    return got / expected * 100 if expected > 0 else 100.0


warm_snap, end_snap = read_snap('snap.warm'), read_snap('snap.end')
rows = []   # (figure, measured, target, ok, hard)


def row(figure, measured, target, ok, hard=False):
    rows.append((figure, measured, target, ok, hard))


status = outcome.get('exit', '?')
row('bridge ran to the end and exited 0 on SIGTERM', f'exit {status}, stop {outcome.get("stop_s", "?")} s',
    'exit 0 within 10 s', status == '0', hard=True)
def away_windows(bus):
    """(hang-up, return) of each time the bus's line was away."""
    downs = [t for t, what, where in events if what == 'hangup' and where == str(bus)]
    ups = [t for t, what, where in events if what == 'return' and where == str(bus)]
    return [(h, ups[i] if i < len(ups) else end) for i, h in enumerate(downs)]


gaps = []
for key, seen in cycles.items():
    times = [at for at, _, _ in seen if at >= warm]
    # A gap that overlaps a time its own line was away is no stall.
    away = away_windows(key[0])
    gaps += [b - a for a, b in zip(times, times[1:]) if not any(a <= r and b >= h for h, r in away)]
longest = max(gaps) if gaps else float('inf')
row('no stall: longest gap between a device\'s cycles', f'{longest:.1f} s',
    f'≤ {4 * poll_s:.0f} s (its line up)', longest <= 4 * poll_s, hard=True)
scrapes = outcome.get('scrapes', '0 0').split()
row('/metrics scrapes answered', f'{scrapes[0]} of {scrapes[1]}', 'all',
    scrapes[0] == scrapes[1] and scrapes[1] != '0', hard=True)
row('history lines whole', f'{torn_history} torn of {sum(records.values())}', '0 torn',
    torn_history == 0 and sum(records.values()) > 0, hard=True)
row('JSON lines whole', f'{torn_json} torn', '0', torn_json == 0, hard=True)
if warm_snap and end_snap:
    growth = (end_snap['rss'] - warm_snap['rss']) / 1024
    row('RSS after warm-up / at end', f'{warm_snap["rss"] / 1024:.1f} / {end_snap["rss"] / 1024:.1f} MB '
        f'({growth:+.2f})', 'growth ≤ 1 MB', growth <= 1)
    anon = anonymous_kb('smaps.warm'), anonymous_kb('smaps.end')
    if None not in anon:
        # The rest of the growth is program and library pages read in by code that
        # first ran after the warm-up (a fault's own path), not memory taken.
        row('  of it anonymous (heap, stacks)', f'{anon[0] / 1024:.1f} / {anon[1] / 1024:.1f} MB '
            f'({(anon[1] - anon[0]) / 1024:+.2f})', '', True)
    row('open descriptors after warm-up / at end', f'{warm_snap["fds"]} / {end_snap["fds"]}',
        'back to warm-up', end_snap['fds'] <= warm_snap['fds'])
    row('threads after warm-up / at end', f'{warm_snap["threads"]} / {end_snap["threads"]}',
        'back to warm-up', end_snap['threads'] <= warm_snap['threads'])
    ticks = os.sysconf('SC_CLK_TCK')
    span = end_snap['at'] - warm_snap['at']
    cpu = (end_snap['ticks'] - warm_snap['ticks']) / ticks / span * 100 if span > 0 else 0
    row('CPU after warm-up (% of one core)', f'{cpu:.2f} % over {span / 60:.1f} min '
        f'(load {outcome.get("load", "?")})', '', True)
else:
    row('snapshots', 'missing', 'taken', False, hard=True)

per_device = []
worst = {'hist': 1e9, 'mqtt': 1e9, 'off': (0.0, 0), 'on': (0.0, 0)}
for key in sorted(cycles):
    seen = cycles[key]
    device = ids[key][-1]
    total = len(seen)
    in_lives = sum(1 for at, _, has in seen if has and any(a <= at <= b for a, b in lives))
    mqtt = sum(states[i] for i in ids[key])
    mqtt_share = mqtt / in_lives * 100 if in_lives else 100.0
    hist_share = history_share(stamps.get(device, []))
    off = delays(key, 'hangup', False)
    on = delays(key, 'return', True)
    worst['hist'] = min(worst['hist'], hist_share)
    worst['mqtt'] = min(worst['mqtt'], mqtt_share)
    worst['off'] = max([worst['off']] + off)
    worst['on'] = max([worst['on']] + on, key=lambda d: (d[1], d[0]))
    per_device.append((key, device, total, records[device], mqtt, in_lives, hist_share, mqtt_share,
                       off, on))

row('history records, least of any controller', f'{worst["hist"]:.2f} % of intervals',
    '≥ 99 % outside the disk-full window', worst['hist'] >= 99)
row('MQTT states, least of any controller', f'{worst["mqtt"]:.2f} % of cycles',
    '≥ 99 % while the broker was up', worst['mqtt'] >= 99)
worst_off_s = max((d[0] for _, _, _, _, _, _, _, _, off, _ in per_device for d in off), default=0)
worst_on_s = max((d[0] for _, _, _, _, _, _, _, _, _, on in per_device for d in on), default=0)
row('hang-up to offline, worst', f'cycle {worst["off"][1]} after it, {worst_off_s:.1f} s',
    '≤ 3 cycles', worst['off'][1] <= 3)
row('line back to online, worst', f'cycle {worst["on"][1]} after it, {worst_on_s:.1f} s',
    '≤ 1 cycle', worst['on'][1] <= 1)
reopen = [d for bus in sorted({k[0] for k in cycles}) for d in reopened(bus)]
row('line back to the bus\'s first cycle, worst', f'{max(reopen, default=0):.1f} s '
    f'({len(reopen)} returns)', '', True)
row('live pages', outcome.get('pages', '?'), '', True)

width = max(len(r[0]) for r in rows)
print(f'{"figure":<{width}}  {"measured":<44}  {"target":<36}  result')
for figure, measured, target, ok, hard in rows:
    print(f'{figure:<{width}}  {measured:<44}  {target:<36}  {"PASS" if ok else "FAIL"}')
print()
print('bus addr  device               cycles  history  mqtt/cycles-up  hist %  mqtt %  '
      'offline after s  online after s')
for key, device, total, hist_n, mqtt, in_lives, hist_share, mqtt_share, off, on in per_device:
    fmt = lambda xs: ' '.join(f'{x[0]:.1f}' for x in xs) if xs else '-'
    print(f'{key[0]:>3} {key[1]:>4}  {device:<20} {total:>6}  {hist_n:>7}  {mqtt:>6}/{in_lives:<7}  '
          f'{hist_share:6.2f}  {mqtt_share:6.2f}  {fmt(off):<15}  {fmt(on)}')
hard_failed = any(not ok for _, _, _, ok, hard in rows if hard)
soft_failed = any(not ok for _, _, _, ok, hard in rows if not hard)
sys.exit(1 if hard_failed or (strict and soft_failed) else 0)

#!/usr/bin/env python3
"""What survives a crash or a power cut of the writes the bridge relies on.

durability_test.py WRITER kill|powercut config|backup|history

A writer process (kestrane_durable_writer) loops over one kind of write:
the config replaced through ReplaceFile, settings backups, history records.
  kill      SIGKILL at random moments, into a scratch folder: every file is
            whole (the old config or the new, a backup complete or absent,
            history of whole lines once the writer takes its file up again)
            and nothing the writer finished is lost.
  powercut  the same into an ext4 image mounted on a loop device, whose file
            system is shut down at a random moment without flushing its
            journal or its cached data (EXT4_IOC_SHUTDOWN, NOLOGFLUSH: what a
            power cut leaves), then unmounted, so the page cache holds none
            of it, and mounted again: everything the writer had synced is
            there and whole. Skipped (77) where the test may not mount.
"""
import fcntl
import glob
import json
import os
import random
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time

SKIP = 77
KILL_ROUNDS = 15
POWERCUT_ROUNDS = 4
EXT4_IOC_SHUTDOWN = 0x8004587D  # _IOR('X', 125, __u32)
EXT4_GOING_FLAGS_NOLOGFLUSH = 2
HISTORY_SYNC_MS = {'kill': 20, 'powercut': 150}

HEADER = ('Date,Time,Event,SerialNumber,WorkMode,LoadOutputState,ErrorCode,PV(V),Bat(V),'
          'LoadOutput(V),Charge(A),LoadOutput(A),ChargePower(W),LoadPower(W),TodayCharged(Wh),'
          'TodayUsed(Wh),InnerTemp(C),OutSideTemp(C)')
RECORD = re.compile(r'^2026\.12\.9,12:0:0, Connected,KS1,CC CHG,ON,NormalRun, 18\.2,13\.1,13\.0,'
                    r'4\.5,1\.2, 59,15,120,30,25,(\d+)$')
CONFIG_TEMP = re.compile(r'^bridge\.toml\.kestrane-[A-Za-z0-9]{6}$')
BACKUP_NAME = re.compile(r'^unknown-\d{8}-\d{6}(-\d{1,3})?\.json$')
BACKUP_TEMP = re.compile(r'^unknown-\d{8}-\d{6}(-\d{1,3})?\.json\.kestrane-[A-Za-z0-9]{6}$')


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def config_text(generation):
    """The writer's ConfigText."""
    lines = [f'# generation {generation}']
    for i in range(50 + generation * 37 % 400):
        lines.append(f'key_{i} = {generation * 1000 + i}')
    lines.append(f'# end {generation}')
    return '\n'.join(lines) + '\n'


class Writer:
    def __init__(self, program, mode, folder, sync_ms, *more):
        self.out = tempfile.TemporaryFile()
        self.process = subprocess.Popen([program, mode, folder, str(sync_ms), *more],
                                        stdout=self.out, stderr=subprocess.DEVNULL)

    def said(self):
        """The whole lines written so far; a line the kill cut counts for nothing."""
        self.out.seek(0)
        text = self.out.read().decode()
        return text[:text.rfind('\n') + 1].splitlines()

    def wait_for_first(self, timeout=10):
        end = time.monotonic() + timeout
        while not self.said():
            check(self.process.poll() is None, 'the writer ended by itself')
            check(time.monotonic() < end, 'the writer reported nothing')
            time.sleep(0.005)

    def kill(self):
        self.process.kill()
        self.process.wait()
        said = self.said()
        self.out.close()
        return said


def last_done(said):
    return [line.split(' ', 1)[1] for line in said if line.startswith('done ')]


def check_config(folder, said, _):
    generations = [int(g) for g in last_done(said)]
    path = os.path.join(folder, 'bridge.toml')
    check(os.path.exists(path), 'no config after generations were reported replaced')
    with open(path) as f:
        text = f.read()
    first = re.match(r'# generation (\d+)\n', text)
    check(first is not None, f'a torn config: starts {text[:40]!r}')
    generation = int(first.group(1))
    check(text == config_text(generation), f'generation {generation} is not whole')
    check(generation >= generations[-1],
          f'generation {generation} found, {generations[-1]} was reported synced')
    for name in os.listdir(folder):
        check(name == 'bridge.toml' or CONFIG_TEMP.match(name), f'a stray file {name}')
    return f'generation {generation} (last synced {generations[-1]})'


def check_backup(folder, said, _):
    done = last_done(said)
    names = sorted(os.listdir(folder))
    backups = [n for n in names if BACKUP_NAME.match(n)]
    temps = [n for n in names if BACKUP_TEMP.match(n)]
    check(len(backups) + len(temps) == len(names),
          f'stray files: {set(names) - set(backups) - set(temps)}')
    check(len(temps) <= 1, f'more than one unfinished backup: {temps}')
    missing = set(done) - set(backups)
    check(not missing, f'backups reported synced are gone: {sorted(missing)[:3]}')
    shape = None
    for name in backups:
        with open(os.path.join(folder, name)) as f:
            text = f.read()
        try:
            profile = json.loads(text)
        except ValueError:
            raise Failure(f'a torn backup {name}: {text[-40:]!r}')
        profile.pop('exportedAt', None)
        shape = shape or profile
        check(profile == shape, f'backup {name} differs from the others')
    return f'{len(backups)} backups whole, {len(done)} reported synced'


def history_records(folder):
    """The record numbers in the day file, and whether every line is whole."""
    files = glob.glob(os.path.join(folder, '*', '*_Log.csv'))
    check(len(files) <= 1, f'expected one day file, found {files}')
    if not files:
        return [], ''
    with open(files[0], 'rb') as f:
        data = f.read().decode('latin-1')
    lines = data.split('\r\n')
    torn = lines.pop()  # after the last line end: empty unless torn
    check(lines and lines[0] == HEADER, f'no header line: {data[:60]!r}')
    numbers = []
    for line in lines[1:]:
        match = RECORD.match(line)
        check(match is not None, f'a line in half: {line!r}')
        numbers.append(int(match.group(1)))
    return numbers, torn


def runs(numbers):
    """Splits 1..a, 1..b, ... into [a, b, ...]; fails on a gap."""
    lengths = []
    for number in numbers:
        if number == 1:
            lengths.append(1)
        else:
            check(lengths and number == lengths[-1] + 1, f'a record lost before {number}')
            lengths[-1] += 1
    return lengths


def history_counts(said):
    counts = [re.match(r'written (\d+) synced (\d+)$', line) for line in said]
    last = [c for c in counts if c][-1]
    return int(last.group(1)), int(last.group(2))


def check_history(folder, said, cut):
    written, synced = history_counts(said)
    # A record may be torn at the end: a kill that lands while a write
    # crosses a page boundary ends it short, and a power cut loses the tail
    # of what was not synced. No torn record was reported written, and the
    # writer cuts it off when it takes the file up again.
    numbers, _ = history_records(folder)
    kept = runs(numbers)[-1] if numbers else 0
    # A killed process loses nothing it wrote; a power cut what was not synced.
    least = synced if cut else written
    check(kept >= least, f'{kept} records kept, {least} were reported {"synced" if cut else "written"}')
    return f'{kept} records kept ({written} written, {synced} synced)'


def history_taken_up_again(program, folder):
    """The writer, started again for three records, leaves only whole lines."""
    writer = Writer(program, 'history', folder, 1000, '3')
    check(writer.process.wait(10) == 0, 'the writer did not finish its three records')
    writer.out.close()
    numbers, torn = history_records(folder)
    check(not torn, f'a line in half after the writer took the file up again: {torn!r}')
    check(runs(numbers)[-1] == 3, 'the three records of the new start are not all there')


CHECKS = {'config': check_config, 'backup': check_backup, 'history': check_history}


def kill_rounds(program, kind, base):
    for round_ in range(KILL_ROUNDS):
        folder = os.path.join(base, f'round{round_}')
        os.makedirs(folder)
        writer = Writer(program, kind, folder, HISTORY_SYNC_MS['kill'])
        writer.wait_for_first()
        time.sleep(random.uniform(0, 0.15))
        said = writer.kill()
        print(f'kill {round_}: {CHECKS[kind](folder, said, False)}')
        if kind == 'history':
            history_taken_up_again(program, folder)
        shutil.rmtree(folder)


def run(argv, **kwargs):
    return subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                          **kwargs)


def powercut_rounds(program, kind, base):
    if os.geteuid() != 0:
        print('skipped: mounting a file system image needs root')
        sys.exit(SKIP)
    image = os.path.join(base, 'disk.img')
    mount = os.path.join(base, 'disk')
    os.makedirs(mount)
    with open(image, 'wb') as f:
        f.truncate(64 << 20)
    made = run(['mkfs.ext4', '-q', '-F', image])
    if made.returncode != 0:
        print(f'skipped: mkfs.ext4 failed: {made.stdout.strip()}')
        sys.exit(SKIP)
    for round_ in range(POWERCUT_ROUNDS):
        mounted = run(['mount', '-o', 'loop', image, mount])
        if mounted.returncode != 0:
            print(f'skipped: cannot mount a loop device here: {mounted.stdout.strip()}')
            sys.exit(SKIP)
        try:
            folder = os.path.join(mount, f'round{round_}')
            os.makedirs(folder)
            writer = Writer(program, kind, folder, HISTORY_SYNC_MS['powercut'])
            writer.wait_for_first()
            time.sleep(random.uniform(0.05, 0.5))
            fd = os.open(mount, os.O_RDONLY)
            try:
                fcntl.ioctl(fd, EXT4_IOC_SHUTDOWN, struct.pack('I', EXT4_GOING_FLAGS_NOLOGFLUSH))
            except OSError as error:
                writer.kill()
                print(f'skipped: this kernel cannot shut an ext4 file system down: {error}')
                sys.exit(SKIP)
            finally:
                os.close(fd)
            said = writer.kill()
        finally:
            check(run(['umount', mount]).returncode == 0, 'cannot unmount the image')
        check(run(['mount', '-o', 'loop', image, mount]).returncode == 0,
              'the image does not mount after the cut')
        try:
            print(f'power cut {round_}: {CHECKS[kind](folder, said, True)}')
            if kind == 'history':
                history_taken_up_again(program, folder)
        finally:
            check(run(['umount', mount]).returncode == 0, 'cannot unmount the image')


def main():
    program, how, kind = sys.argv[1:4]
    base = tempfile.mkdtemp(prefix=f'kestrane-durability-{how}-{kind}-')
    try:
        (kill_rounds if how == 'kill' else powercut_rounds)(program, kind, base)
    except Failure as failure:
        print(f'FAILED: {failure}')
        return 1
    finally:
        shutil.rmtree(base, ignore_errors=True)
    print('passed')
    return 0


if __name__ == '__main__':
    sys.exit(main())

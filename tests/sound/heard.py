#!/usr/bin/env python3
"""What the sound server heard, held against what the script asked.

    heard.py recording.raw script-output.txt
    heard.py --plain recording.raw     (the reference, six seconds from a plain client)

The recording is the null sink's monitor, s16le stereo 44100 Hz. The
image's sample i carries i + 1 in 32 bits (left the low half, right the high
half plus 1), so every sample heard names its place in the image, and
silence is zero. Every sample must be heard once, in order: no gap, no
repeat, none cut at a pause or at the end of a play.

Printed as figures: the delay from the first play to its first sample by
the drive's position, and how far that position stood ahead of what was
heard at each pause. Wine counts as played what it has handed to the sound
server, so its position runs ahead by the server's buffer; the recording's
own clock is no better (parec delivers a backlog).
"""
import sys

RATE = 44100
SAMPLES_PER_FRAME = 588


def heard_samples(path):
    """[(index in the recording, sample of the image)] for every sample that
    is not silence."""
    data = open(path, 'rb').read()
    heard = []
    for index in range(0, len(data) // 4):
        left = data[4 * index] | data[4 * index + 1] << 8
        right = data[4 * index + 2] | data[4 * index + 3] << 8
        if left or right:
            heard.append((index, ((right - 1) << 16 | left) - 1))
    return heard


def runs(heard):
    """Runs of samples that follow one another in the image."""
    result = []
    for index, sample in heard:
        if result and sample == result[-1][-1][1] + 1:
            result[-1].append((index, sample))
        else:
            result.append([(index, sample)])
    return result


def script(path):
    events = {}
    for line in open(path):
        words = line.split()
        if words:
            events.setdefault(words[0], []).append(words[1:])
    return events


def plain(recording):
    """The reference: what the chain made of six seconds from a plain client."""
    heard = heard_samples(recording)
    found = runs(heard)
    print('sound: a plain client (no drive), 0..%d written: %d samples heard in %d runs: %s' % (
        6 * RATE - 1, len(heard), len(found), ', '.join('%d..%d' % (r[0][1], r[-1][1]) for r in found[:12])))
    return 0


def pauses(run):
    """Where a run falls silent for a while: the last sample before each."""
    return [run[k - 1][1] for k in range(1, len(run)) if run[k][0] - run[k - 1][0] > RATE // 5]


def faults_in(found, events):
    """What the recording shows against the script: three runs, the first
    from sample 0 with two pauses in it, up to the seek; then exactly
    450..750 and, right after it, exactly 0..75 (in frames)."""
    if len(found) != 3:
        return ['heard %d runs of samples, not 3 (a gap, a repeat or a sample out of place)' % len(found)]
    faults = []
    expected = [(0, None), (450 * SAMPLES_PER_FRAME, 750 * SAMPLES_PER_FRAME - 1), (0, 75 * SAMPLES_PER_FRAME - 1)]
    for number, (run, (first, last)) in enumerate(zip(found, expected), 1):
        if run[0][1] != first:
            faults.append('run %d began at sample %d, not %d' % (number, run[0][1], first))
        if last is not None and run[-1][1] != last:
            faults.append('run %d ended at sample %d, not %d' % (number, run[-1][1], last))
    held = pauses(found[0])
    if len(held) != 2:
        faults.append('the first run has %d pauses, not 2' % len(held))
    for at, reported in zip(held, events.get('pause', [])):
        print('sound: paused after sample %d; the drive said frame %s, %.0f ms ahead' % (
            at, reported[1], (int(reported[1]) * SAMPLES_PER_FRAME - at) * 1000.0 / RATE))
    notified = [int(words[0]) for words in events.get('notified', [])]
    positions = [int(words[2]) for words in events.get('notified', [])]
    if notified != [1, 1]:
        faults.append('the two plays were not both told of their end')
    if positions != [750, 75]:
        faults.append('the positions after the plays were %s, not 750 and 75' % positions)
    # The play that followed counts its own frames from its first sample.
    during = int(events.get('during', [[0, 0]])[0][1])
    if not 0 < during < 75:
        faults.append('once the last play had begun, the position was frame %d, not between 0 and 75' % during)
    return faults


def main():
    if sys.argv[1] == '--plain':
        return plain(sys.argv[2])
    recording, output = sys.argv[1], sys.argv[2]
    events = script(output)
    heard = heard_samples(recording)
    found = runs(heard)
    print('sound: %d samples heard in %d runs: %s' % (
        len(heard), len(found), ', '.join('%d..%d' % (r[0][1], r[-1][1]) for r in found[:12])))
    # One frame (13 ms) after the first sample the drive's position shows
    # frame 1.
    print('sound: first sample %.0f ms after the play command, by the drive\'s position' % (
        float(events['firstframe'][0][0]) - 1000.0 / 75))
    faults = faults_in(found, events)
    for fault in faults:
        print('sound: ' + fault)
    print('%d tests failed out of 1' % (1 if faults else 0))
    return 1 if faults else 0


if __name__ == '__main__':
    sys.exit(main())

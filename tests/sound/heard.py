#!/usr/bin/env python3
"""What the sound server heard, held against what the script asked.

    heard.py recording.raw script-output.txt
    heard.py --plain recording.raw     (the reference, six seconds from a plain client)

The recording is the null sink's monitor, s16le stereo 44100 Hz. The image's sample i carries i + 1 in 32 bits
(left the low half, right the high half plus 1), so every sample heard names
its place in the image, and silence is zero. Prints what it found, and the
delay from the first play to its first sample by the drive's clock (the
recording's own clock is off by the server's latency, over a second).

The chain from Wine's pulse driver to the recording is not exact yet: even
pacat alone loses the first samples of a stream, and under load Wine's
driver skips samples. So what is heard is told as figures; only a recording
with nothing in it, or a script that got no notification, fails.
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


def main():
    if sys.argv[1] == '--plain':
        return plain(sys.argv[2])
    recording, output = sys.argv[1], sys.argv[2]
    events = script(output)
    heard = heard_samples(recording)
    faults = []
    if not heard:
        print('sound: nothing was heard')
        return 1
    found = runs(heard)
    print('sound: %d samples heard in %d runs: %s' % (
        len(heard), len(found), ', '.join('%d..%d' % (r[0][1], r[-1][1]) for r in found)))

    # Played 0..600, paused, resumed, sought to 450, played to 750: two runs,
    # the first from sample 0 on, the second exactly 450..750.
    # One frame (13 ms) after the first sample the drive's clock shows frame 1.
    print('sound: first sample %.0f ms after the play command, by the drive\'s clock' % (
        float(events['firstframe'][0][0]) - 1000.0 / 75))
    notified = int(events['notified'][0][0])
    print('sound: the last sample heard was %d of 0..%d' % (heard[-1][1], 750 * SAMPLES_PER_FRAME - 1))
    if len(found) != 2:
        faults.append('heard %d runs of samples, not 2 (a gap, a repeat or a sample out of place)' % len(found))
    else:
        first, second = found
        if first[0][1] != 0:
            faults.append('the first play began at sample %d, not 0' % first[0][1])
        if second[0][1] != 450 * SAMPLES_PER_FRAME:
            faults.append('the play after the seek began at sample %d, not %d' % (second[0][1], 450 * SAMPLES_PER_FRAME))
        if second[-1][1] != 750 * SAMPLES_PER_FRAME - 1:
            faults.append('the last play ended at sample %d, not %d' % (second[-1][1], 750 * SAMPLES_PER_FRAME - 1))
        # The pause: a stretch of silence inside the first run.
        gaps = [k for k in range(1, len(first)) if first[k][0] - first[k - 1][0] > RATE // 5]
        if len(gaps) != 1:
            faults.append('the first run has %d pauses, not 1' % len(gaps))
        else:
            before_pause = first[gaps[0]][1]
            reported = int(events['pause'][0][2])
            print('sound: %d samples before the pause; the drive said frame %d (%d samples)' % (
                before_pause, reported, reported * SAMPLES_PER_FRAME))
            if abs(before_pause - reported * SAMPLES_PER_FRAME) > SAMPLES_PER_FRAME:
                faults.append('the position at the pause is more than a frame from what was heard')

        if int(events['notified'][0][2]) != 750:
            faults.append('the position after the play was %s, not 750' % events['notified'][0][2])

    for fault in faults:
        print('sound: not exact: ' + fault)
    broken = not heard or int(events.get('notified', [[0]])[0][0]) == 0
    print('%d tests failed out of 1' % (1 if broken else 0))
    return 1 if broken else 0


if __name__ == '__main__':
    sys.exit(main())

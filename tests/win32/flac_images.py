#!/usr/bin/env python3
"""Writes the FLAC test images into a folder, each beside the WAV it was
encoded from (Debian's flac command encodes them): the counting samples of
the BIN tests (sample i: left the low 16 bits of i + 1, right the high bits
plus 1) as one file for the disc, one file a track, a sheet mixing BIN, WAV
and FLAC, a FLAC file carrying its own sheet, copies behind an ID3v2 tag,
and the files the drive must refuse. Each sheet has a twin (name-wav.cue)
naming WAV files only."""
import os
import struct
import subprocess
import sys

FRAME = 588
TRACKS = [0, 187, 375]  # INDEX 01 of each track, in frames
FRAMES = 600
SHORT = 100  # samples the per-track layout's last file lacks


def counting(first, count, channels=2):
    out = bytearray()
    for i in range(first, first + count):
        left, right = (i + 1) & 0xFFFF, ((i + 1) >> 16) + 1
        out += struct.pack('<HH', left, right) if channels == 2 else struct.pack('<H', left)
    return bytes(out)


def wave(path, pcm, rate=44100, channels=2, bits=16):
    block = channels * bits // 8
    header = b'RIFF' + struct.pack('<I', 36 + len(pcm)) + b'WAVEfmt ' + struct.pack(
        '<IHHIIHH', 16, 1, channels, rate, rate * block, block, bits) + b'data' + struct.pack('<I', len(pcm))
    with open(path, 'wb') as out:
        out.write(header + pcm)


def flac(folder, name, pcm, rate=44100, channels=2, bits=16, cue=None):
    raw = os.path.join(folder, name + '.raw')
    with open(raw, 'wb') as out:
        out.write(pcm)
    command = ['flac', '--silent', '--force', '--force-raw-format', '--endian=little', '--sign=signed',
               '--channels=%d' % channels, '--bps=%d' % bits, '--sample-rate=%d' % rate,
               '-o', os.path.join(folder, name + '.flac'), raw]
    if cue:
        command.insert(1, '--cuesheet=' + cue)
    subprocess.run(command, check=True)
    os.remove(raw)


def sheet(folder, name, files):
    """files: (file name, type, [(track, index00 or None, index01)])"""
    lines = []
    for file, kind, tracks in files:
        lines.append('FILE "%s" %s' % (file, kind))
        for track, index0, index1 in tracks:
            lines.append('  TRACK %02d AUDIO' % track)
            if index0 is not None:
                lines.append('    INDEX 00 %s' % msf(index0))
            lines.append('    INDEX 01 %s' % msf(index1))
    with open(os.path.join(folder, name), 'w', encoding='utf-8') as out:
        out.write('\n'.join(lines) + '\n')


def msf(frames):
    return '%02d:%02d:%02d' % (frames // 4500, frames // 75 % 60, frames % 75)


def main(folder):
    os.makedirs(folder, exist_ok=True)
    whole = counting(0, FRAMES * FRAME)
    # One file for the disc, track 2 with a gap.
    disc_tracks = [(1, None, 0), (2, 150, TRACKS[1]), (3, None, TRACKS[2])]
    wave(os.path.join(folder, 'disc.wav'), whole)
    flac(folder, 'disc', whole)
    sheet(folder, 'disc.cue', [('disc.flac', 'WAVE', disc_tracks)])
    sheet(folder, 'disc-wav.cue', [('disc.wav', 'WAVE', disc_tracks)])
    # One file a track; the last ends in a short frame.
    ends = TRACKS[1:] + [FRAMES]
    per_flac, per_wav, mixed = [], [], []
    for number, (start, end) in enumerate(zip(TRACKS, ends), 1):
        samples = (end - start) * FRAME - (SHORT if end == FRAMES else 0)
        pcm = counting(start * FRAME, samples)
        name = 'track%d' % number
        wave(os.path.join(folder, name + '.wav'), pcm)
        flac(folder, name, pcm)
        with open(os.path.join(folder, name + '.bin'), 'wb') as out:
            out.write(pcm)
        per_flac.append((name + '.flac', 'WAVE', [(number, None, 0)]))
        per_wav.append((name + '.wav', 'WAVE', [(number, None, 0)]))
    sheet(folder, 'tracks.cue', per_flac)
    sheet(folder, 'tracks-wav.cue', per_wav)
    # BIN, WAV and FLAC in one sheet.
    sheet(folder, 'mixed.cue', [('track1.bin', 'BINARY', [(1, None, 0)]), per_wav[1], per_flac[2]])
    sheet(folder, 'mixed-wav.cue', per_wav)
    # The disc's FLAC carrying its sheet; its twin is the disc's own.
    sheet(folder, 'own.cue', [('own.wav', 'WAVE', disc_tracks)])
    flac(folder, 'own', whole, cue=os.path.join(folder, 'own.cue'))
    os.remove(os.path.join(folder, 'own.cue'))
    # An ID3v2 tag before the stream, as some rippers write: still FLAC, in
    # a sheet and with its own sheet.
    for name in ['own', 'disc']:
        with open(os.path.join(folder, name + '.flac'), 'rb') as source:
            data = source.read()
        with open(os.path.join(folder, 'tagged-%s.flac' % name), 'wb') as out:
            out.write(b'ID3\x04\x00\x00\x00\x00\x02\x00' + bytes(256) + data)
    sheet(folder, 'tagged.cue', [('tagged-disc.flac', 'WAVE', disc_tracks)])
    # What the drive refuses.
    second = counting(0, 44100)
    flac(folder, '48k', counting(0, 48000), rate=48000)
    flac(folder, '24bit', b''.join(b'\0' + second[i:i + 2] for i in range(0, len(second), 2)), bits=24)
    flac(folder, 'mono', counting(0, 44100, channels=1), channels=1)
    with open(os.path.join(folder, 'disc.flac'), 'rb') as source:
        data = source.read()
    with open(os.path.join(folder, 'cut.flac'), 'wb') as out:
        out.write(data[:len(data) * 6 // 10])
    with open(os.path.join(folder, 'notflac.flac'), 'wb') as out:
        out.write(b'RIFX this is no audio file at all' * 4)
    for name in ['48k', '24bit', 'mono', 'cut', 'notflac']:
        sheet(folder, 'refuse-%s.cue' % name, [(name + '.flac', 'WAVE', [(1, None, 0)])])


if __name__ == '__main__':
    main(sys.argv[1])

#!/usr/bin/env python3
"""Writes the guide as a WinHelp 3.1 file: tools/hlp.py guide.html drovix.hlp

The guide page is the one source. Its h1 becomes the help file's title, and
the whole page its contents topic: the text before the first h2, then every
h2 section with its heading. Tables become one paragraph per row, lists one
per item; pictures stay in the page. The text is stored in Shift-JIS: a
character outside it stops the build.

The file holds the four internal files the viewers need: |SYSTEM (title,
contents, main window, character set), |FONT, |TOPIC (the text, in 4 KB blocks, each
compressed as LZ77 of literals only, so that every block but the last carries
exactly the same number of bytes) and |CONTEXT (the topics' names).
Nothing in it depends on the time or the machine: the same page gives the
same bytes.
"""
import html.parser
import struct
import sys

ENCODING = 'cp932'
SHIFTJIS_CHARSET = 128
FACE = 'ＭＳ Ｐゴシック'
CONTENTS_CONTEXT = 'contents'

# Fonts by index: body text, bold (table heads, the first cell of a row), a
# section's heading, the guide's title.
FONT_BODY, FONT_BOLD, FONT_HEADING, FONT_TITLE = 0, 1, 2, 3
FONTS = [  # (attributes: 1 bold, half points)
    (0, 20),
    (1, 20),
    (1, 26),
    (1, 32),
]

TOPIC_BLOCK_SIZE = 0x1000
BLOCK_HEADER_SIZE = 12
# Literals only: a flag byte before every 8 bytes. 453 groups and one of 6
# bytes fill the 4084 bytes after a block's header exactly.
BLOCK_PAYLOAD = 453 * 8 + 6
LAST_BLOCK_MINIMUM = 0x44  # readers step back when the last block is shorter
NO_POSITION = 0xFFFFFFFF


# ---- the page -------------------------------------------------------------

class Guide(html.parser.HTMLParser):
    """The title, the lead blocks and the sections of the guide page.

    A block is ('p', runs), ('li', runs) or ('row', [runs per cell], head);
    runs are (bold, text) pieces.
    """

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.title = ''
        self.lead = []
        self.sections = []  # (heading, blocks)
        self._tag = None
        self._text = ''
        self._cells = []
        self._head_row = False
        self._bold = False
        self._runs = []

    def _blocks(self):
        return self.sections[-1][1] if self.sections else self.lead

    def _add(self, text):
        if text:
            self._runs.append((self._bold, text))

    def handle_starttag(self, tag, attrs):
        if tag in ('h1', 'h2', 'p', 'li', 'td', 'th'):
            self._tag, self._runs = tag, []
            self._bold = tag == 'th'
            if tag == 'th':
                self._head_row = True
        elif tag == 'tr':
            self._cells, self._head_row = [], False
        elif tag in ('b', 'strong'):
            self._bold = True

    def handle_endtag(self, tag):
        if tag in ('b', 'strong'):
            self._bold = False
        elif tag == 'h1':
            self.title = plain(self._runs)
        elif tag == 'h2':
            self.sections.append((plain(self._runs), []))
        elif tag in ('p', 'li'):
            if self._runs:
                self._blocks().append((tag, self._runs))
        elif tag in ('td', 'th'):
            self._cells.append(self._runs)
        elif tag == 'tr':
            self._blocks().append(('row', self._cells, self._head_row))
        if tag in ('h1', 'h2', 'p', 'li', 'td', 'th'):
            self._tag, self._runs, self._bold = None, [], False

    def handle_data(self, data):
        if self._tag:
            self._add(joined_lines(data))


def joined_lines(text):
    """The text with its line breaks undone: Japanese lines join directly,
    ASCII words keep a blank between them."""
    lines = [line.strip() for line in text.split('\n')]
    result = ''
    for line in lines:
        if not line:
            continue
        if result and result[-1].isascii() and line[0].isascii():
            result += ' '
        result += line
    # A blank the page kept at either end of a piece belongs to the text.
    if text[:1].isspace() and text.strip() and result and result[0].isascii():
        result = ' ' + result
    if text[-1:].isspace() and text.strip() and result and result[-1].isascii():
        result += ' '
    return result


def plain(runs):
    return ''.join(text for _, text in runs).strip()


def sjis(text):
    try:
        return text.encode(ENCODING)
    except UnicodeEncodeError as error:
        sys.exit('hlp.py: not in Shift-JIS: %r in %r' % (text[error.start:error.end], text))


def context_hash(name):
    """The topic name's hash, as the viewers compute it."""
    value = 0
    for c in name:
        if 'A' <= c <= 'Z':
            x = ord(c) - ord('A') + 17
        elif 'a' <= c <= 'z':
            x = ord(c) - ord('a') + 17
        elif '1' <= c <= '9':
            x = ord(c) - ord('0')
        elif c == '0':
            x = 10
        elif c == '.':
            x = 12
        elif c == '_':
            x = 13
        else:
            x = 0
        if x:
            value = (value * 43 + x) & 0xFFFFFFFF
    return value


# ---- topic records --------------------------------------------------------

def compressed_long(value):
    if -0x4000 <= value < 0x4000:
        return struct.pack('<H', (0x8000 + 2 * value) & 0xFFFF)
    return struct.pack('<I', (0x80000000 + 2 * value + 1) & 0xFFFFFFFF)


def compressed_ushort(value):
    if value < 0x80:
        return bytes([2 * value])
    return struct.pack('<H', 2 * value + 1)


def compressed_short(value):
    if -0x40 <= value < 0x40:
        return bytes([0x80 + 2 * value])
    return struct.pack('<H', (0x8000 + 2 * value + 1) & 0xFFFF)


class Paragraph:
    """One paragraph: text pieces, each ended by a command."""
    SPACE_BEFORE, LEFT_INDENT = 0x0002, 0x0010

    def __init__(self, space_before=0, indent=0):
        self.space_before, self.indent = space_before, indent
        self.pieces, self.commands, self.current = [], [], b''
        self.characters = 0

    def _command(self, command):
        self.pieces.append(self.current)
        self.commands.append(command)
        self.current = b''

    def font(self, index):
        self._command(b'\x80' + struct.pack('<H', index))
        return self

    def text(self, text):
        data = sjis(text)
        self.current += data
        self.characters += len(data)
        return self

    def record(self):
        self._command(b'\x82')
        self.characters += 1
        self._command(b'\xFF')
        text = b''.join(piece + b'\0' for piece in self.pieces)
        bits = 0
        attributes = b''
        if self.space_before:
            bits |= self.SPACE_BEFORE
            attributes += compressed_short(self.space_before)
        if self.indent:
            bits |= self.LEFT_INDENT
            attributes += compressed_short(self.indent)
        data1 = (compressed_long(len(text)) + compressed_ushort(self.characters) +
                 b'\x00\x80\x00\x00' + struct.pack('<H', bits) + attributes + b''.join(self.commands))
        return Record(0x20, data1, text, self.characters)


class Record:
    """A topic link: the 21-byte header, its fixed data and its text."""
    HEADER_SIZE = 21

    def __init__(self, kind, data1, data2, characters=0, topic=None):
        self.kind, self.data1, self.data2 = kind, data1, data2
        self.characters = characters
        self.topic = topic  # for topic headers: the topic's index
        self.position = 0  # offset in the topic stream

    def size(self):
        return self.HEADER_SIZE + len(self.data1) + len(self.data2)

    def bytes(self, previous, following):
        return struct.pack('<IIIIIB', self.size(), len(self.data2), previous, following,
                           self.HEADER_SIZE + len(self.data1), self.kind) + self.data1 + self.data2


def topic_position(offset):
    block, within = divmod(offset, BLOCK_PAYLOAD)
    return BLOCK_HEADER_SIZE + block * 0x4000 + within


def topics_of(guide):
    """[(context, title, [paragraphs])]: one topic, the contents, that holds
    the whole guide. The viewer shows it at once and scrolls through it; Wine's
    viewer places the hot spots of jumps by bytes, not characters, and so
    misses every jump in Japanese text."""
    paragraphs = [Paragraph().font(FONT_TITLE).text(guide.title)]
    paragraphs += paragraphs_of(guide.lead)
    for heading, blocks in guide.sections:
        paragraphs.append(Paragraph(space_before=16).font(FONT_HEADING).text(heading))
        paragraphs += paragraphs_of(blocks)
    return [(CONTENTS_CONTEXT, guide.title, paragraphs)]


def paragraphs_of(blocks):
    paragraphs = []
    for block in blocks:
        if block[0] == 'p':
            paragraphs.append(runs_into(Paragraph(space_before=6), block[1]))
        elif block[0] == 'li':
            paragraph = Paragraph(space_before=4, indent=20).font(FONT_BODY).text('・')
            paragraphs.append(runs_into(paragraph, block[1]))
        else:
            cells, head = block[1], block[2]
            paragraph = Paragraph(space_before=4)
            for index, cell in enumerate(cells):
                if index:
                    paragraph.font(FONT_BOLD if head else FONT_BODY).text('　')
                bold = head or index == 0
                runs_into(paragraph, [(bold or b, t) for b, t in cell])
            paragraphs.append(paragraph)
    return paragraphs


def runs_into(paragraph, runs):
    for bold, text in runs:
        paragraph.font(FONT_BOLD if bold else FONT_BODY).text(text)
    return paragraph


def topic_file(topics):
    """The |TOPIC data and every topic's offset, as [(context, offset)]."""
    records = []
    for number, (_, title, paragraphs) in enumerate(topics):
        records.append(Record(0x02, b'\0' * 28, sjis(title) + b'\0', topic=number))
        records += [p.record() for p in paragraphs]

    position = 0
    for record in records:
        record.position = position
        position += record.size()

    # A topic's offset: its block, and the characters before it in that block.
    offsets = []
    block, characters = -1, 0
    for record in records:
        record_block = record.position // BLOCK_PAYLOAD
        if record_block != block:
            block, characters = record_block, 0
        if record.topic is not None:
            offsets.append(block * 0x8000 + characters)
        characters += record.characters

    headers = [r for r in records if r.topic is not None]
    stream = b''
    for index, record in enumerate(records):
        previous = topic_position(records[index - 1].position) if index else NO_POSITION
        following = topic_position(records[index + 1].position) if index + 1 < len(records) else NO_POSITION
        if record.topic is not None:
            record.data1 = topic_header(record, records, headers, offsets)
        stream += record.bytes(previous, following)

    return topic_blocks(stream, records, headers), list(zip((t[0] for t in topics), offsets))


def topic_header(record, records, headers, offsets):
    number = record.topic
    following = headers[number + 1] if number + 1 < len(headers) else None
    end = following.position if following else sum(r.size() for r in records)
    first_paragraph = records[records.index(record) + 1] if records.index(record) + 1 < len(records) else None
    return struct.pack(
        '<IIIIIII',
        end - record.position,
        offsets[number - 1] if number else NO_POSITION,
        offsets[number + 1] if following else NO_POSITION,
        number,
        NO_POSITION,
        topic_position(first_paragraph.position) if first_paragraph and first_paragraph.topic is None else NO_POSITION,
        topic_position(following.position) if following else NO_POSITION)


def topic_blocks(stream, records, headers):
    """The stream cut into 4 KB blocks, each with its header."""
    last = len(stream) % BLOCK_PAYLOAD
    while last and BLOCK_HEADER_SIZE + literal_size(last) < LAST_BLOCK_MINIMUM:
        stream += b'\0'
        last += 1
    data = b''
    for start in range(0, len(stream), BLOCK_PAYLOAD):
        end = start + BLOCK_PAYLOAD
        before = [r for r in records if r.position < start]
        inside = [r for r in records if start <= r.position < end]
        earlier_headers = [r for r in headers if r.position < start]
        data += struct.pack('<III',
                            topic_position(before[-1].position) if before else NO_POSITION,
                            topic_position(inside[0].position) if inside else NO_POSITION,
                            topic_position(earlier_headers[-1].position) if earlier_headers else NO_POSITION)
        data += literals(stream[start:end])
    return data


def literal_size(count):
    return count + (count + 7) // 8


def literals(data):
    out = b''
    for start in range(0, len(data), 8):
        out += b'\0' + data[start:start + 8]
    return out


# ---- the other internal files ---------------------------------------------

def system_file(title):
    records = [(1, sjis(title) + b'\0'), (3, struct.pack('<I', 0)), (6, main_window(title)),
               (11, bytes([SHIFTJIS_CHARSET, 0]))]
    # Magic, version 1.21, no date, flags: LZ77 in 4 KB topic blocks.
    data = struct.pack('<HHHIH', 0x036C, 21, 1, 0, 4)
    for kind, body in records:
        data += struct.pack('<HH', kind, len(body)) + body
    return data


def main_window(title):
    """The main window's definition: its name and, as its caption, the
    guide's title."""
    caption = sjis(title)
    if len(caption) > 50:
        sys.exit('hlp.py: the title is longer than a window caption')
    names, caption_given = 0x0002, 0x0004
    return (struct.pack('<H', names | caption_given) + b''.ljust(10, b'\0') + b'main'.ljust(9, b'\0') +
            caption.ljust(51, b'\0') + b'\0' * 18)


def font_file():
    face_size = 20
    faces = sjis(FACE).ljust(face_size, b'\0')
    data = struct.pack('<HHHH', 1, len(FONTS), 8, 8 + face_size) + faces
    for attributes, half_points in FONTS:
        # Swiss family, face 0, black on white.
        data += struct.pack('<BBBH', attributes, half_points, 3, 0) + b'\0\0\0' + b'\xFF\xFF\xFF'
    return data


def btree(structure, entries, page_size, flags):
    """A one-page B+ tree of already encoded, sorted entries."""
    used = sum(len(e) for e in entries)
    if 8 + used > page_size:
        sys.exit('hlp.py: a B+ tree page overflows')
    header = struct.pack('<HH H16s HHHhHHI', 0x293B, flags, page_size, structure.encode('ascii'),
                         0, 0, 0, -1, 1, 1, len(entries))
    page = struct.pack('<HHhh', page_size - 8 - used, len(entries), -1, -1) + b''.join(entries)
    return header + page.ljust(page_size, b'\0')


def context_file(contexts):
    entries = sorted((struct.unpack('<i', struct.pack('<I', context_hash(name)))[0], offset)
                     for name, offset in contexts)
    hashes = [h for h, _ in entries]
    if len(set(hashes)) != len(hashes):
        sys.exit('hlp.py: two topic names share a hash')
    return btree('L4', [struct.pack('<iI', h, o) for h, o in entries], 0x800, 0x0002)


def internal_file(data):
    return struct.pack('<IIB', len(data) + 9, len(data), 4) + data


def help_file(guide):
    topics = topics_of(guide)
    topic_data, contexts = topic_file(topics)
    files = [('|CONTEXT', context_file(contexts)), ('|FONT', font_file()),
             ('|SYSTEM', system_file(guide.title)), ('|TOPIC', topic_data)]
    files.sort(key=lambda item: item[0].encode('ascii'))
    body, entries, offset = b'', [], 16
    for name, data in files:
        entries.append(name.encode('ascii') + b'\0' + struct.pack('<I', offset))
        block = internal_file(data)
        body += block
        offset += len(block)
    directory = internal_file(btree('z4', entries, 0x400, 0x0402))
    total = 16 + len(body) + len(directory)
    return struct.pack('<IIiI', 0x00035F3F, 16 + len(body), -1, total) + body + directory


def main():
    if len(sys.argv) != 3:
        sys.exit('usage: hlp.py guide.html drovix.hlp')
    guide = Guide()
    with open(sys.argv[1], encoding='utf-8') as page:
        guide.feed(page.read())
    if not guide.title or not guide.sections:
        sys.exit('hlp.py: the guide has no h1 title or no h2 section')
    data = help_file(guide)
    with open(sys.argv[2], 'wb') as out:
        out.write(data)


if __name__ == '__main__':
    main()

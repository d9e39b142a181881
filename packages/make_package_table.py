#!/usr/bin/env python3
"""Turns the package information (UTF-8, one TAB-separated entry per line) into the C++ tables
that packages/package_info.cpp includes, in code page 936 bytes:

    make_package_table.py package_info.tsv package_info.inc

Each entry: package name (a name ending in '*' stands for every name that starts with the
rest), class, Chinese name, what it does, public sources. A malformed line stops the build
with the file and line.
"""
import re
import sys

CLASSES = {'建议卸载': 'recommended', '可以卸载': 'optional', '谨慎': 'caution', '不要卸载': 'keep'}
NAME = re.compile(r'[A-Za-z0-9_]+(\.[A-Za-z0-9_]+)*(\.\*|\*)?')
URL = re.compile(r'https?://[^\s]+')


class BadLine(Exception):
    pass


def literal(text):
    out, after_escape = '"', False
    for byte in text.encode('gbk'):
        char = chr(byte)
        if 0x20 <= byte < 0x7F and char not in '\\"':
            # A hex digit right after an escape would extend it: start a new literal.
            if after_escape and char in '0123456789abcdefABCDEF':
                out += '" "'
            out += char
            after_escape = False
        else:
            out += '\\x%02X' % byte
            after_escape = True
    return out + '"'


def parse_line(line):
    """The entry of one data line as (name, class, title, use); raises BadLine."""
    fields = line.split('\t')
    if len(fields) != 5 or not all(f.strip() for f in fields):
        raise BadLine('expected 5 TAB-separated fields: name, class, Chinese name, '
                      'what it does, sources')
    name, kind, title, use, sources = fields
    if not NAME.fullmatch(name):
        raise BadLine('%r is not a package name or a prefix ending in *' % name)
    if kind not in CLASSES:
        raise BadLine('unknown class %r (one of %s)' % (kind, ', '.join(CLASSES)))
    if name.endswith('*') and kind == '建议卸载':
        raise BadLine('a prefix entry cannot be 建议卸载: %s' % name)
    if not URL.search(sources):
        raise BadLine('no public source (http...) for %s' % name)
    for text in (title, use):
        if '【' in text or '】' in text:
            raise BadLine('【 and 】 frame the class in the program\'s lines: %r' % text)
        try:
            text.encode('gbk')
        except UnicodeEncodeError as error:
            raise BadLine('%r is not in code page 936' % text[error.start:error.end])
    return name, CLASSES[kind], title, use


def read_entries(path):
    entries, seen = [], {}
    with open(path, encoding='utf-8') as lines:
        for number, line in enumerate(lines, 1):
            line = line.rstrip('\n').rstrip('\r')
            if not line.strip() or line.startswith('#'):
                continue
            try:
                entry = parse_line(line)
                if entry[0] in seen:
                    raise BadLine('%s is listed twice (first on line %d)' % (entry[0], seen[entry[0]]))
            except BadLine as error:
                raise BadLine('%s:%d: %s' % (path, number, error))
            seen[entry[0]] = number
            entries.append(entry)
    return entries


def row(entry):
    name, kind, title, use = entry
    return '{%s, Removal::%s, %s, %s},' % (literal(name.rstrip('*')), kind, literal(title),
                                           literal(use))


def main(source, target):
    try:
        entries = read_entries(source)
    except (BadLine, UnicodeDecodeError) as error:
        sys.exit(str(error))
    # Exact names first, sorted by their bytes for a binary search; then the prefixes, longest
    # first, so the first that matches is the most specific.
    exact = sorted((e for e in entries if not e[0].endswith('*')), key=lambda e: e[0].encode())
    prefixes = sorted((e for e in entries if e[0].endswith('*')), key=lambda e: -len(e[0]))
    with open(target, 'w', encoding='utf-8') as out:
        out.write('// Generated from %s by make_package_table.py.\n' % source.split('/')[-1])
        out.write('const PackageInfo kEntries[] = {\n')
        out.write(''.join('    %s\n' % row(e) for e in exact + prefixes))
        out.write('};\nconstexpr int kExactCount = %d;\n' % len(exact))


if __name__ == '__main__':
    main(sys.argv[1], sys.argv[2])

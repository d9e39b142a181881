#!/usr/bin/env python3
"""Turns the list of critical packages (UTF-8, one TAB-separated entry per line) into the C++
table that packages/critical.cpp includes: each name with what it is, in code page 936 bytes.

    make_critical_table.py critical_packages.tsv critical_packages.inc
"""
import sys


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


def main(source, target):
    rows, seen = [], set()
    with open(source, encoding='utf-8') as lines:
        for number, line in enumerate(lines, 1):
            line = line.rstrip('\n')
            if not line.strip() or line.startswith('#'):
                continue
            fields = line.split('\t')
            if len(fields) != 3 or not all(f.strip() for f in fields):
                sys.exit('%s:%d: expected name, what it is and source, TAB-separated' % (source, number))
            name, what = fields[0], fields[1]
            if name in seen:
                sys.exit('%s:%d: %s is listed twice' % (source, number, name))
            seen.add(name)
            rows.append('{%s, %s},  // %s' % (literal(name), literal(what), what))
    with open(target, 'w', encoding='utf-8') as out:
        out.write('// Generated from %s by make_critical_table.py.\n' % source.split('/')[-1])
        out.write('\n'.join(rows) + '\n')


if __name__ == '__main__':
    main(sys.argv[1], sys.argv[2])

#!/usr/bin/env python3
"""The package table's generator refuses every kind of bad line, naming the file and line, and
writes the exact names sorted before the prefixes, longest prefix first."""
import os
import subprocess
import sys
import tempfile
import unittest

GENERATOR = os.path.join(os.path.dirname(__file__), '..', '..', 'packages', 'make_package_table.py')
GOOD = 'com.a.b\t可以卸载\t某应用\t一个应用，卸载后只少了它。\thttps://example.org/a'


def generate(*lines):
    with tempfile.TemporaryDirectory() as folder:
        source, target = os.path.join(folder, 'p.tsv'), os.path.join(folder, 'p.inc')
        with open(source, 'w', encoding='utf-8') as out:
            out.write('\n'.join(lines) + '\n')
        run = subprocess.run([sys.executable, GENERATOR, source, target],
                             capture_output=True, text=True)
        table = open(target, encoding='utf-8').read() if run.returncode == 0 else ''
        return run.returncode, run.stderr, table


class Generator(unittest.TestCase):
    def test_refuses_each_kind_of_bad_line(self):
        cases = [
            ('four fields', 'com.x\t谨慎\t某\thttps://example.org', 'expected 5'),
            ('six fields', GOOD.replace('com.a.b', 'com.x') + '\tmore', 'expected 5'),
            ('an empty field', 'com.x\t谨慎\t \t说明。\thttps://example.org', 'expected 5'),
            ('unknown class', 'com.x\t安全\t某\t说明。\thttps://example.org', 'unknown class'),
            ('no source', 'com.x\t谨慎\t某\t说明。\tforum post', 'no public source'),
            ('twice', GOOD, 'listed twice'),
            ('recommended prefix', 'com.x.*\t建议卸载\t某\t说明。\thttps://example.org',
             'prefix entry cannot'),
            ('not a name', 'com.x y\t谨慎\t某\t说明。\thttps://example.org', 'not a package name'),
            ('star inside', 'com.*.x\t谨慎\t某\t说明。\thttps://example.org', 'not a package name'),
            ('not code page 936', 'com.x\t谨慎\t某😀\t说明。\thttps://example.org', '936'),
            ('class brackets', 'com.x\t谨慎\t某\t【说明】\thttps://example.org', '【'),
        ]
        for name, line, said in cases:
            with self.subTest(name):
                code, error, _ = generate('# heading', '', GOOD, line)
                self.assertNotEqual(code, 0)
                self.assertIn('p.tsv:4: ', error)
                self.assertIn(said, error)

    def test_orders_exact_names_then_prefixes_longest_first(self):
        code, error, table = generate(
            'com.b\t不要卸载\t乙\t说明。\thttps://example.org',
            'com.q.*\t谨慎\t短\t说明。\thttps://example.org',
            GOOD,
            'com.q.longer*\t不要卸载\t长\t说明。\thttps://example.org http://example.com/b — note')
        self.assertEqual(code, 0, error)
        names = [line.split('"')[1] for line in table.splitlines() if line.startswith('    {')]
        self.assertEqual(names, ['com.a.b', 'com.b', 'com.q.longer', 'com.q.'])
        self.assertIn('kExactCount = 2;', table)
        self.assertIn('Removal::keep', table)


if __name__ == '__main__':
    unittest.main()

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
            ('lists in the description',
             'com.x\t不要卸载\t某\t电话配置层，两份清单都列为不可卸载。\thttps://example.org', 'speaks of'),
            ('a report in the description',
             'com.x\t不要卸载\t某\t共享库，有报告称卸载后无法开机。\thttps://example.org', 'speaks of'),
            ('users reporting in the description',
             'com.x\t不要卸载\t某\t时区数据，多名用户卸载后无法开机。\thttps://example.org', 'speaks of'),
            ('what others recommend',
             'com.x\t谨慎\t某\t作用不明，建议保留。\thttps://example.org', 'speaks of'),
            ('a list named in the Chinese name',
             'com.x\t谨慎\tUAD组件\t说明。\thttps://example.org', 'Chinese name speaks of'),
            ('recommended though rated caution',
             'com.x\t建议卸载\t某\t说明。\thttps://example.org — UAD-ng: Recommended; '
             'debloat-list: caution', 'rates it caution'),
            ('optional though rated Expert',
             'com.x\t可以卸载\t某\t说明。\thttps://example.org — UAD Expert; removable by hand',
             'rates it Expert'),
            ('recommended though rated Unsafe',
             'com.x\t建议卸载\t某\t说明。\thttps://example.org — UAD-ng: Unsafe', 'rates it Unsafe'),
            ('a mainstream app recommended',
             'com.taobao.taobao\t建议卸载\t淘宝\t购物软件。\thttps://example.org', 'at most 可以卸载'),
            ('one of a mainstream family recommended',
             'com.king.candycrushsaga\t建议卸载\t糖果传奇\t游戏。\thttps://example.org',
             'at most 可以卸载'),
        ]
        for name, line, said in cases:
            with self.subTest(name):
                code, error, _ = generate('# heading', '', GOOD, line)
                self.assertNotEqual(code, 0)
                self.assertIn('p.tsv:4: ', error)
                self.assertIn(said, error)

    def test_accepts_the_near_misses_of_those_checks(self):
        # Lists, blacklists and sources the package itself deals in; ratings outside the note
        # or in a class that allows them; a stub of a mainstream vendor that is not the app.
        lines = [
            'com.c\t可以卸载\t通讯录\t显示联系人列表，卸载后通话列表都会清空。\thttps://example.org',
            'com.d\t谨慎\t骚扰拦截\t保存黑名单号码，卸载后拦截失效。\thttps://example.org'
            ' — UAD-ng: Expert; debloat-list: caution',
            'com.e\t建议卸载\t安装来源统计\t统计应用安装来源用于推广，卸载后不再统计。'
            '\thttps://example.org — UAD-ng: Recommended; debloat-list: delete',
            'com.f\t可以卸载\t用户反馈\t打开说明文档和待办清单，卸载后只少了它。'
            '\thttps://example.org/expert/caution/unsafe',
            'com.g\t不要卸载\t智能建议\t生成错误报告，卸载后手机可能无法开机。'
            '\thttps://example.org — UAD-ng: Unsafe',
            'com.taobao.taobao\t可以卸载\t淘宝\t购物软件，卸载后只是少了这个应用。'
            '\thttps://example.org — UAD-ng: Recommended',
            'com.facebook.appmanager\t建议卸载\t某\t在后台安装Facebook应用。\thttps://example.org',
            'com.kingsoft.x\t建议卸载\t某\t推广组件。\thttps://example.org',
        ]
        code, error, table = generate(*lines)
        self.assertEqual(code, 0, error)
        rows = [line for line in table.splitlines() if line.startswith('    {')]
        self.assertEqual(sorted(row.split('"')[1] for row in rows),
                         sorted(line.split('\t')[0] for line in lines))

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

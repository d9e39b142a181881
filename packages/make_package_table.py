#!/usr/bin/env python3
"""Turns the package information (UTF-8, one TAB-separated entry per line) into the C++ tables
that packages/package_info.cpp includes, in code page 936 bytes:

    make_package_table.py package_info.tsv package_info.inc

Each entry: package name (a name ending in '*' stands for every name that starts with the
rest), class, Chinese name, what it does, public sources. A malformed line stops the build
with the file and line; so does an entry whose class or words the sources do not carry: a
Chinese name or description that speaks of lists and reports instead of the package, a
建议卸载 or 可以卸载 that its note says a source rates Expert, caution or unsafe, or a
mainstream app marked 建议卸载.
"""
import re
import sys

CLASSES = {'建议卸载': 'recommended', '可以卸载': 'optional', '谨慎': 'caution', '不要卸载': 'keep'}
NAME = re.compile(r'[A-Za-z0-9_]+(\.[A-Za-z0-9_]+)*(\.\*|\*)?')
URL = re.compile(r'https?://[^\s]+')

# Talk about the sources rather than the package, in a Chinese name or a description: what a
# list says, what was reported, what others recommend. Only the phrasings of such talk are
# refused, so that 联系人列表, 黑名单, 安装来源 or 文档查看器 stay possible.
SOURCE_TALK = re.compile(
    r'(清单|列表|名单|资料|文档|脚本|来源|帖子|论坛|报告|网页)(里|中|上)?'
    r'(称|说(?!明)|认为|记载|提醒|标为|标记为|列为|列入|建议|明确|评价|指出)'
    r'|(两|多|几|各|一|另一)份(清单|列表|名单|资料)'
    r'|据称|据报告|据说|据悉|有报告|报告称|用户报告|(开机|重启|崩溃|出错|异常|问题|失效)的报告'
    r'|有[^，。]{0,8}报告|有(用户|人)(称|说|反馈|报告|卸载|发现)|(多名|多位|不少|很多|一些|个别)(用户|网友)|网友'
    r'|建议(删除|卸载|保留|移除|冻结|禁用)|不建议|称可(删|卸)|评价不一|说法不一|不可卸载'
    r'|UAD|debloat|Muntashir|XDA|GitHub|issue', re.IGNORECASE)

# A source's rating, in the note after " — ", that forbids 建议卸载 and 可以卸载: Expert or
# caution asks for at least 谨慎, Unsafe or unsafe for 不要卸载.
RISKY_RATING = re.compile(r'\b(expert|caution|unsafe)\b', re.IGNORECASE)

# Apps people choose to install and use; whatever the lists say, they are at most 可以卸载.
# A name ending in '.' stands for every package under it.
MAINSTREAM_APPS = (
    'com.taobao.', 'com.tmall.', 'com.alibaba.aliexpresshd', 'com.eg.android.AlipayGphone',
    'com.jingdong.', 'com.ss.android.', 'com.zhiliaoapp.musically', 'com.smile.gifmaker',
    'com.kuaishou.', 'com.sina.weibo', 'tv.danmaku.bili', 'com.xingin.xhs', 'com.zhihu.android',
    'com.xunmeng.pinduoduo', 'com.achievo.vipshop', 'com.dragon.read', 'com.UCMobile',
    'com.tencent.mm', 'com.tencent.mobileqq', 'com.tencent.qqlive', 'com.tencent.news',
    'com.tencent.mtt', 'com.tencent.qqmusic', 'com.tencent.tmgp.', 'com.tencent.ngjp',
    'com.baidu.searchbox', 'com.baidu.tieba', 'com.baidu.BaiduMap', 'com.qiyi.video',
    'com.youku.phone', 'com.ximalaya.', 'com.sohu.newsclient', 'com.netease.cloudmusic',
    'com.kugou.android', 'com.sankuai.meituan', 'com.dianping.v1', 'me.ele',
    'com.autonavi.minimap', 'ctrip.android.view', 'com.Qunar', 'com.netflix.mediaclient',
    'com.spotify.music', 'com.instagram.android', 'com.king.', 'com.facebook.katana',
    'com.facebook.lite', 'com.facebook.orca', 'com.whatsapp', 'com.twitter.android',
    'com.snapchat.android', 'com.linkedin.android', 'com.amazon.mShop.', 'com.amazon.avod.',
    'com.amazon.mp3', 'com.booking', 'com.tripadvisor.', 'com.ebay.mobile', 'com.opera.mini.',
    'com.opera.browser', 'com.android.chrome', 'com.google.android.youtube',
    'com.microsoft.office.', 'com.skype.')


def is_mainstream_app(name):
    return any(name == app or (app.endswith('.') and name.startswith(app))
               for app in MAINSTREAM_APPS)


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
    if kind == '建议卸载' and is_mainstream_app(name):
        raise BadLine('%s is an app people choose to use: at most 可以卸载' % name)
    rating = RISKY_RATING.search(sources.partition('—')[2])
    if kind in ('建议卸载', '可以卸载') and rating:
        raise BadLine('%s is %s but its note says a source rates it %s: take at least 谨慎 '
                      '(不要卸载 for unsafe)' % (name, kind, rating.group(0)))
    for field, text in (('Chinese name', title), ('description', use)):
        talk = SOURCE_TALK.search(text)
        if talk:
            raise BadLine('the %s speaks of the sources (%r), not of the package: say what it '
                          'does and what is lost; the sources go in the note'
                          % (field, talk.group(0)))
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

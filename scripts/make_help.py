#!/usr/bin/env python3
"""Compiles the help pages into "Halvorn Pro 3.chm".

Every page that the help topic table of the plug-in names must exist, and must be in the
compiled file afterwards: a missing page fails the build rather than leaving F1 on a blank page.

usage: make_help.py HELP_DIR TOPIC_TABLE_CPP OUT_DIR
"""
import os
import re
import shutil
import subprocess
import sys

START_PAGE = 'index.htm'
TITLE = 'Halvorn Pro 3'


def fail(message):
    print('make_help: ' + message, file=sys.stderr)
    sys.exit(1)


def topic_pages(table_source):
    with open(table_source, encoding='utf-8') as f:
        pages = sorted(set(re.findall(r'L"([A-Za-z0-9]+\.htm)"', f.read())))
    if not pages:
        fail('no pages found in ' + table_source)
    return pages


def page_title(path):
    with open(path, encoding='utf-8') as f:
        found = re.search(r'<title>(.*?)</title>', f.read(), re.S)
    return found.group(1).strip() if found else os.path.basename(path)


def main():
    if len(sys.argv) != 4:
        fail(__doc__)
    help_dir, table_source, out_dir = sys.argv[1:]
    named = topic_pages(table_source)
    missing = [p for p in named + [START_PAGE] if not os.path.isfile(os.path.join(help_dir, p))]
    if missing:
        fail('pages named by the help topic table are missing from %s: %s' % (help_dir, ', '.join(missing)))

    stage = os.path.join(out_dir, 'help-stage')
    shutil.rmtree(stage, ignore_errors=True)
    os.makedirs(stage)
    files = sorted(n for n in os.listdir(help_dir) if n.endswith(('.htm', '.css')))
    for name in files:
        shutil.copy(os.path.join(help_dir, name), stage)
    pages = [n for n in files if n.endswith('.htm')]
    pages.remove(START_PAGE)
    pages.insert(0, START_PAGE)

    with open(os.path.join(stage, 'toc.hhc'), 'w', encoding='utf-8') as toc:
        toc.write('<html><body>\n<ul>\n')
        for name in pages:
            toc.write('<li><object type="text/sitemap"><param name="Name" value="%s"><param name="Local" value="%s"></object>\n'
                      % (page_title(os.path.join(stage, name)), name))
        toc.write('</ul>\n</body></html>\n')
    chm = TITLE + '.chm'
    with open(os.path.join(stage, 'project.hhp'), 'w', encoding='utf-8') as project:
        project.write('[OPTIONS]\nCompatibility=1.1 or later\nCompiled file=%s\nContents file=toc.hhc\n'
                      'Default topic=%s\nDisplay compile progress=No\nLanguage=0x409 English (United States)\n'
                      'Title=%s Help\n\n[FILES]\n' % (chm, START_PAGE, TITLE))
        project.write(''.join(name + '\n' for name in files))

    compiled = subprocess.run(['chmcmd', 'project.hhp'], cwd=stage, capture_output=True, text=True)
    if compiled.returncode != 0 or not os.path.isfile(os.path.join(stage, chm)):
        fail('chmcmd failed:\n' + compiled.stdout + compiled.stderr)

    listing = subprocess.run(['chmls', 'list', os.path.join(stage, chm)], capture_output=True, text=True)
    inside = set(re.findall(r'/([A-Za-z0-9]+\.htm)\b', listing.stdout))
    absent = [p for p in named + [START_PAGE] if p not in inside]
    if listing.returncode != 0 or absent:
        fail('the compiled help file lacks: ' + ', '.join(absent or ['(chmls failed)']))
    shutil.copy(os.path.join(stage, chm), os.path.join(out_dir, chm))


if __name__ == '__main__':
    main()

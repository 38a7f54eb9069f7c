#!/usr/bin/env python3
"""Dependencies run one way: download and platform (private files, paths, code pages, the handle
guard) at the bottom, then log, sysops, winui, skin and app, with support and tests on top. Fails on every include of a source or resource file that reaches a folder
above its own, or across to another folder of the same height.

usage: include_direction_test.py SOURCE_DIR
"""
import os
import re
import sys

HEIGHT = {'download': 0, 'platform': 0, 'log': 1, 'sysops': 2, 'winui': 3, 'skin': 4, 'app': 5, 'support': 6,
          'tests': 7, 'bench': 7}
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')


def target_folder(root, including, name):
    """The folder an include names: a path next to the including file (also through ..) is that
    file's, otherwise the first part of a path from the source root. None for the system's and
    generated headers."""
    beside = os.path.relpath(os.path.normpath(os.path.join(os.path.dirname(including), name)), root)
    if os.path.exists(os.path.join(root, beside)) and not beside.startswith('..'):
        return beside.split(os.sep)[0]
    first = name.split('/')[0]
    return first if '/' in name and first in HEIGHT else None


def main(root):
    violations = 0
    for folder in HEIGHT:
        for directory, _, files in os.walk(os.path.join(root, folder)):
            for file in files:
                if not file.endswith(('.c', '.cpp', '.h', '.rc')):
                    continue
                path = os.path.join(directory, file)
                with open(path, encoding='utf-8', errors='replace') as source:
                    for number, line in enumerate(source, 1):
                        match = INCLUDE.match(line)
                        if not match:
                            continue
                        to = target_folder(root, path, match.group(1))
                        if to is None or to == folder:
                            continue
                        if to not in HEIGHT or HEIGHT[to] >= HEIGHT[folder]:
                            print(f'{os.path.relpath(path, root)}:{number}: {folder}/ includes "{match.group(1)}" '
                                  f'of {to}/, which is not below it')
                            violations += 1
    if violations:
        print(f'{violations} includes go up or across the stack')
        return 1
    print('every include goes down the stack or stays in its folder')
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1]))

#!/usr/bin/env python3
"""make_try_page.py TEMPLATE OUTPUT EXAMPLES_DIR NAME...: writes the docs' "try it" page.

The car scene comes first (NAME carscene has no source here: it is the whole app/ folder), then
each example of the reference with the comment at its top as what it shows and its source.
"""
import json
import os
import re
import sys


def entry(examples, name):
    if name == 'carscene':
        return [name, 'The car scene: click the title screen to start; the buttons drive the cars.',
                'The car scene is the program in app/ (main.cpp, paint.cpp, rules.cpp).']
    with open(os.path.join(examples, name + '.c'), encoding='utf-8') as stream:
        source = stream.read()
    comment = re.match(r'/\*\s*(.*?)\s*\*/', source, re.S)
    what = re.sub(r'\s*\n\s*\*?\s*', ' ', comment.group(1)) if comment else name
    return [name, what, source]


def main(template, output, examples, *names):
    with open(template, encoding='utf-8') as stream:
        page = stream.read()
    programs = json.dumps([entry(examples, name) for name in names], indent=1)
    # Inside a script, "</" could end it early.
    page = page.replace('@VORNA_TRY_PROGRAMS@', programs.replace('</', '<\\/'))
    with open(output, 'w', encoding='utf-8') as stream:
        stream.write(page)


if __name__ == '__main__':
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    main(*sys.argv[1:])

#!/usr/bin/env python3
"""Lists the functions longer than LIMIT lines in C++ files, longest first (brace matching; namespaces and
class bodies are not functions). usage: tools/long-functions.py LIMIT FILE...
"""
import re, sys
limit = int(sys.argv[1]); files = sys.argv[2:]
out = []
for path in files:
    text = open(path, encoding='utf-8', errors='replace').read()
    # blank out strings, chars and comments so their braces do not count
    text = re.sub(r'//[^\n]*', '', text)
    text = re.sub(r'/\*.*?\*/', lambda m: '\n' * m.group(0).count('\n'), text, flags=re.S)
    text = re.sub(r'"(\\.|[^"\\\n])*"', '""', text)
    text = re.sub(r"'(\\.|[^'\\\n])*'", "''", text)
    lines = text.split('\n')
    depth = 0; stack = []  # each entry: (kind, start_line, name)
    for no, line in enumerate(lines, 1):
        for m in re.finditer(r'[{}]', line):
            if m.group(0) == '{':
                before = ' '.join(lines[max(0, no - 4):no - 1]) + ' ' + line[:m.start()]
                fn_open = any(k == 'fn' for k, _, _ in stack)
                if re.search(r'\bnamespace\b[^;{}]*$', before) or re.search(r'\b(class|struct|enum|union)\b[^;{}()]*$', before):
                    stack.append(('scope', no, ''))
                elif not fn_open and re.search(r'\)\s*(const|override|noexcept|final|\s|->[^{;]*)*$', before.strip() + ' ') :
                    name = re.findall(r'([~\w:]+)\s*\([^()]*(?:\([^()]*\)[^()]*)*\)\s*(?:const|override|noexcept|final|\s|->[^{;]*)*$', before)
                    stack.append(('fn', no, name[-1] if name else '?'))
                else:
                    stack.append(('block', no, ''))
            else:
                if not stack: continue
                kind, start, name = stack.pop()
                if kind == 'fn' and not any(k == 'fn' for k, _, _ in stack):
                    n = no - start + 1
                    if n > limit: out.append((n, path, start, name))
for n, path, start, name in sorted(out, reverse=True):
    print(f'{n:4d}  {path}:{start}  {name}')

#!/usr/bin/env python3
"""Mutants made by rule for scripts/mutants.sh --random.

Every place in the code lines of the given C++ files where one of the rules
below applies is a candidate; a seeded draw picks N of them, a rule first and
then one of its places, so the same seed and the same files give the same
mutants, and nobody chooses which.

  relational  a < b, <=, >, >= to the neighbouring bound and the opposite test;
              == and != to each other
  arithmetic  + and -, * and /, += and -=, *= and /= to each other
  logical     && and || to each other
  constant    a number to 0, one more, one less, twice it
  negation    if (x) to if (!(x))
  removal     a call or assignment statement, alone on its line, taken out
  arguments   two neighbouring plain names among a call's arguments swapped

Operators count only with a blank on each side, as clang-format writes binary
operators: that leaves out templates, pointers, references and unary signs.
Comments, string and character literals (raw ones too) and preprocessor lines
are never changed; a line that starts inside a comment or a literal is left
alone.

  mutants_random.py list --count N --seed S [--equivalent FILE] FILE...
      the drawn mutants as NUL-terminated fields, eight a mutant: file, line,
      kind, the line's text before and after as shown (without indentation;
      "(removed)" for a removed statement), the whole line before and after,
      and "1" when FILE lists it as equivalent, else "0"
  mutants_random.py apply FILE LINE BEFORE AFTER
      puts AFTER in place of line LINE of FILE, which must read BEFORE
"""

import argparse
import random
import re
import sys

REMOVED = "(removed)"
ARROW = " → "
REASON = "  # "

# Each binary operator and what it becomes.
RELATIONAL = {
    "<": ["<=", ">="],
    "<=": ["<", ">"],
    ">": [">=", "<="],
    ">=": [">", "<"],
    "==": ["!="],
    "!=": ["=="],
}
ARITHMETIC = {"+": ["-"], "-": ["+"], "*": ["/"], "/": ["*"], "+=": ["-="], "-=": ["+="], "*=": ["/="], "/=": ["*="]}
LOGICAL = {"&&": ["||"], "||": ["&&"]}
OPERATOR = re.compile(r"(?<= )(<=|>=|==|!=|&&|\|\||\+=|-=|\*=|/=|<|>|\+|-|\*|/)(?= )")

KEYWORDS = {
    "if", "for", "while", "switch", "return", "sizeof", "alignof", "decltype", "catch", "noexcept",
    "static_assert", "true", "false", "nullptr", "this", "new", "delete", "throw", "co_return", "co_await",
}
IDENTIFIER = re.compile(r"[A-Za-z_]\w*")
MASK = "\x01"  # stands for a character of a comment or literal
# A statement the removal rule takes: "++n;", "x = ...;", "f(...);".
STATEMENT_STEP = re.compile(r"(?:\+\+|--)[\w.\->\[\]()*]+;|[\w.\->\[\]()*]+(?:\+\+|--);")
ASSIGNMENT = re.compile(r" (?:=|\+=|-=|\*=|/=|%=|&=|\|=|\^=|<<=|>>=) ")
CALLEE = re.compile(r"(?:::)?[A-Za-z_][\w:.<>\-\[\]*]*")
NOT_A_STATEMENT = KEYWORDS | {"case", "default", "goto", "break", "continue", "using", "typedef", "co_yield",
                              "else", "do", "const", "auto", "static", "constexpr", "emit", "Q_EMIT"}
TYPE_WORDS = {"int", "double", "float", "bool", "char", "long", "short", "unsigned", "signed", "void", "auto",
              "const"}
PLAIN_ARGUMENT = re.compile(r"(?<=[(,]) ?([A-Za-z_]\w*)(?=[,)])")


def masked_lines(lines):
    """Each line with its comments and literals masked, or None where the line
    is no code line (preprocessor, or starting inside a comment or literal);
    and the number tokens of each line as (start, end)."""
    result, numbers = [], []
    state, raw_end = "code", ""
    continued_directive = False
    for line in lines:
        starts_clean = state == "code" and not continued_directive
        out = list(line)
        found = []
        if continued_directive or (state == "code" and line.lstrip().startswith("#")):
            continued_directive = line.rstrip().endswith("\\")
            result.append(None)
            numbers.append([])
            continue
        i, n = 0, len(line)
        while i < n:
            c = line[i]
            if state == "block":
                end = line.find("*/", i)
                stop = n if end < 0 else end + 2
                out[i:stop] = MASK * (stop - i)
                i = stop
                if end >= 0:
                    state = "code"
                continue
            if state == "raw":
                end = line.find(raw_end, i)
                stop = n if end < 0 else end + len(raw_end)
                out[i:stop] = MASK * (stop - i)
                i = stop
                if end >= 0:
                    state = "code"
                continue
            if line.startswith("//", i):
                out[i:n] = MASK * (n - i)
                break
            if line.startswith("/*", i):
                state = "block"
                continue
            if c.isalpha() or c == "_":
                m = IDENTIFIER.match(line, i)
                word, after = m.group(), m.end()
                if after < n and line[after] == '"' and word in ("R", "u8R", "uR", "UR", "LR"):
                    open_paren = line.find("(", after + 1)
                    if open_paren < 0:
                        raise ValueError("a raw string without its opening parenthesis: " + line)
                    raw_end = ")" + line[after + 1:open_paren] + '"'
                    out[i:open_paren + 1] = MASK * (open_paren + 1 - i)
                    i = open_paren + 1
                    state = "raw"
                    continue
                if after < n and line[after] in "\"'" and word in ("u8", "u", "U", "L"):
                    out[i:after] = MASK * (after - i)
                    i = after
                    continue
                i = after
                continue
            if c.isdigit() or (c == "." and i + 1 < n and line[i + 1].isdigit()):
                # A preprocessing number: digit separators and exponent signs too.
                j = i + 1
                while j < n and (line[j].isalnum() or line[j] in "_.'"
                                 or (line[j] in "+-" and line[j - 1] in "eEpP")):
                    j += 1
                found.append((i, j))
                i = j
                continue
            if c in "\"'":
                j = i + 1
                while j < n and line[j] != c:
                    j += 2 if line[j] == "\\" else 1
                stop = min(j + 1, n)
                out[i:stop] = MASK * (stop - i)
                i = stop
                continue
            i += 1
        result.append("".join(out) if starts_clean else None)
        numbers.append(found if starts_clean else [])
    return result, numbers


def number_variants(text):
    """What a number literal becomes: 0, one more, one less, twice it; the
    suffix kept. Nothing for a literal this cannot read."""
    body = text.replace("'", "")
    lower = body.lower()
    whole = re.fullmatch(r"(0[xX][0-9a-fA-F]+|0[bB][01]+|0[0-7]+)([uUlLzZ]*)", body)
    if whole:  # hexadecimal, binary, octal: the new value in decimal
        digits, suffix = whole.groups()
        value = int(digits, 8) if digits[1:2].isdigit() else int(digits, 0)
        return [str(v) + suffix for v in (0, value + 1, value - 1, value * 2) if v != value]
    if lower.startswith(("0x", "0b")):
        return []
    m = re.fullmatch(r"(\d*\.?\d*(?:[eE][+-]?\d+)?)([fFlLuUzZ]*)", body)
    if not m or not any(ch.isdigit() for ch in m.group(1)):
        return []
    digits, suffix = m.groups()
    floating = any(ch in digits for ch in ".eE")
    if floating and re.search(r"[uUzZ]", suffix):
        return []
    value = float(digits) if floating else int(digits)
    out = []
    for v in (0, value + 1, value - 1, value * 2):
        if v == value:
            continue
        if floating:
            shown = repr(float(v))
            if "e" not in shown and "." not in shown:
                shown += ".0"
            out.append(shown + suffix)
        else:
            out.append(str(v) + suffix)
    return list(dict.fromkeys(out))


def matching_close(code, open_at):
    """Index of the parenthesis that closes code[open_at], or -1 on this line."""
    depth = 0
    for i in range(open_at, len(code)):
        if code[i] in "([{":
            depth += 1
        elif code[i] in ")]}":
            depth -= 1
            if depth == 0:
                return i if code[i] == ")" else -1
    return -1


def enclosing_open(code, at):
    """Index of the opening parenthesis or bracket around position at, or -1."""
    depth = 0
    for i in range(at - 1, -1, -1):
        if code[i] in ")]}":
            depth += 1
        elif code[i] in "([{":
            if depth == 0:
                return i
            depth -= 1
    return -1


def operator_mutants(line, code):
    for m in OPERATOR.finditer(code):
        op = m.group()
        for table, kind in ((RELATIONAL, "relational"), (ARITHMETIC, "arithmetic"), (LOGICAL, "logical")):
            for replacement in table.get(op, []):
                yield kind, line[:m.start()] + replacement + line[m.end():]


def constant_mutants(line, numbers):
    for start, end in numbers:
        for replacement in number_variants(line[start:end]):
            yield "constant", line[:start] + replacement + line[end:]


def negation_mutants(line, code):
    for m in re.finditer(r"\bif \(", code):
        open_at = m.end() - 1
        close = matching_close(code, open_at)
        if close < 0:
            continue
        inner_start = open_at + 1
        # An init-statement stays; the condition after it is negated.
        depth = 0
        for i in range(inner_start, close):
            if code[i] in "([{":
                depth += 1
            elif code[i] in ")]}":
                depth -= 1
            elif code[i] == ";" and depth == 0:
                inner_start = i + 1
                while inner_start < close and line[inner_start] == " ":
                    inner_start += 1
        condition = line[inner_start:close]
        # "if (auto x = f())" declares: its negation would not compile.
        if condition.strip() and not ASSIGNMENT.search(code[inner_start:close]):
            yield "negation", line[:inner_start] + "!(" + condition + ")" + line[close:]


def is_simple_statement(text):
    """A call or an assignment alone: no declaration, return, jump or block."""
    if not text.endswith(";") or text.count("(") != text.count(")") or "{" in text or "}" in text:
        return False
    first = IDENTIFIER.match(text)
    if first and first.group() in NOT_A_STATEMENT:
        return False
    if STATEMENT_STEP.fullmatch(text):
        return True
    assignment = ASSIGNMENT.search(text)
    if assignment:
        # "x = ", "p.Bid(s, k) = ", "values[i + 1] = ": a target without a type.
        target, depth = text[:assignment.start()], 0
        for ch in target:
            depth += (ch in "([") - (ch in ")]")
            if ch == " " and depth == 0:
                return False
        return bool(target)
    return text.endswith(");") and CALLEE.fullmatch(text[:text.index("(")]) is not None


def removal_mutants(line, code, previous_code):
    text = code.rstrip(MASK + " ").strip()
    if not is_simple_statement(text):
        return
    # The line must be a statement of its own: the one before it ended one, or
    # opened a block or a case; after "if (x)" without braces it is a branch.
    if previous_code is None or not previous_code.rstrip(MASK + " ").endswith((";", "{", "}", ":")):
        return
    yield "removal", ""


def argument_mutants(line, code):
    arguments = [m for m in PLAIN_ARGUMENT.finditer(code) if m.group(1) not in KEYWORDS | TYPE_WORDS]
    for first, second in zip(arguments, arguments[1:]):
        if code[first.end(1):second.start(1)] != ", " or first.group(1) == second.group(1):
            continue
        open_at = enclosing_open(code, first.start(1))
        if open_at < 0 or code[open_at] != "(" or enclosing_open(code, second.start(1)) != open_at:
            continue
        callee = re.search(r"([A-Za-z_]\w*)(?:<[^()]*>)?$", code[:open_at])
        if not callee or callee.group(1) in KEYWORDS:
            continue
        yield "arguments", (line[:first.start(1)] + second.group(1) + ", " + first.group(1)
                            + line[second.end(1):])


def mutants_of_file(path):
    """Every candidate of path, in line and rule order: (line number, kind,
    line before, line after), lines without their end of line."""
    with open(path, encoding="utf-8", errors="surrogateescape", newline="") as f:
        raw = f.read().splitlines(keepends=True)
    lines = [l.rstrip("\r\n") for l in raw]
    codes, numbers = masked_lines(lines)
    out = []
    previous = None
    for index, (line, code) in enumerate(zip(lines, codes)):
        if code is None:
            previous = None
            continue
        if not code.strip(MASK + " "):
            continue  # blank or comment only: the statement before still counts
        found = []
        found += operator_mutants(line, code)
        found += constant_mutants(line, numbers[index])
        found += negation_mutants(line, code)
        found += removal_mutants(line, code, previous)
        found += argument_mutants(line, code)
        seen = set()
        for kind, after in found:
            if after != line and after not in seen:
                seen.add(after)
                out.append((index + 1, kind, line, after))
        previous = code
    return out


def shown(text):
    return text.strip() if text.strip() else REMOVED


def equivalence_key(path, before, after):
    return path + ": " + shown(before) + ARROW + shown(after)


def read_equivalents(path):
    """The entries of the list of equivalent mutants, each "FILE: BEFORE →
    AFTER  # REASON"; an entry without its reason stops the run."""
    entries = []
    try:
        with open(path, encoding="utf-8") as f:
            for number, entry in enumerate(f, 1):
                entry = entry.rstrip("\n")
                if not entry.strip() or entry.startswith("#"):
                    continue
                if ARROW not in entry or REASON not in entry.split(ARROW, 1)[1]:
                    sys.exit(f"{path}:{number}: not FILE: BEFORE{ARROW}AFTER{REASON}REASON")
                entries.append(entry)
    except FileNotFoundError:
        pass
    return entries


def is_equivalent(entries, key):
    return any(e.startswith(key + REASON) for e in entries)


def draw(files, count, seed):
    """count mutants of files drawn with seed, and the number of candidates.
    Each draw takes a rule first, every rule that has places left with the
    same chance, then one of its places: numbers, the most common, would
    otherwise crowd out the rest. The same seed and set of files, in whatever
    order they are named, give the same mutants."""
    by_kind = {}
    total = 0
    for path in sorted(set(files)):
        for line, kind, before, after in mutants_of_file(path):
            by_kind.setdefault(kind, []).append((path, line, kind, before, after))
            total += 1
    rng = random.Random(int(seed) if seed.isdigit() else seed)
    chosen = []
    while len(chosen) < count and by_kind:
        kind = rng.choice(sorted(by_kind))
        places = by_kind[kind]
        chosen.append(places.pop(rng.randrange(len(places))))
        if not places:
            del by_kind[kind]
    return sorted(chosen, key=lambda m: (m[0], m[1], m[4])), total


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    sub = parser.add_subparsers(dest="command", required=True)
    listing = sub.add_parser("list")
    listing.add_argument("--count", type=int, required=True)
    listing.add_argument("--seed", required=True)
    listing.add_argument("--equivalent", default="")
    listing.add_argument("files", nargs="+")
    applying = sub.add_parser("apply")
    applying.add_argument("file")
    applying.add_argument("line", type=int)
    applying.add_argument("before")
    applying.add_argument("after")
    args = parser.parse_args(argv)

    if args.command == "list":
        entries = read_equivalents(args.equivalent) if args.equivalent else []
        chosen, total = draw(args.files, args.count, args.seed)
        print(f"{total} candidates", file=sys.stderr)
        out = sys.stdout.buffer
        for path, line, kind, before, after in chosen:
            fields = [path, str(line), kind, shown(before), shown(after), before, after,
                      "1" if is_equivalent(entries, equivalence_key(path, before, after)) else "0"]
            for field in fields:
                out.write(field.encode("utf-8", "surrogateescape") + b"\0")
        return 0

    with open(args.file, encoding="utf-8", errors="surrogateescape", newline="") as f:
        raw = f.read().splitlines(keepends=True)
    index = args.line - 1
    if index < 0 or index >= len(raw) or raw[index].rstrip("\r\n") != args.before:
        print(f"{args.file}:{args.line} no longer reads as the mutant expects", file=sys.stderr)
        return 1
    ending = raw[index][len(raw[index].rstrip("\r\n")):]
    raw[index] = args.after + ending
    with open(args.file, "w", encoding="utf-8", errors="surrogateescape", newline="") as f:
        f.write("".join(raw))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

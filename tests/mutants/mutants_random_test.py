#!/usr/bin/env python3
"""The generator of scripts/mutants.sh --random: which rules take which line,
and, over the project's own sources, that a draw depends on its seed and files
alone and changes one code line and nothing in a comment or literal.

Usage: mutants_random_test.py SOURCE_DIR
"""

import contextlib
import io
import os
import subprocess
import sys
import tempfile
import unittest

sys.dont_write_bytecode = True  # nothing written into the source tree
SOURCE_DIR = os.path.abspath(sys.argv.pop(1) if len(sys.argv) > 1 else ".")
sys.path.insert(0, os.path.join(SOURCE_DIR, "scripts"))
import mutants_random as generator  # noqa: E402


def write(folder, name, text):
    path = os.path.join(folder, name)
    with open(path, "w", encoding="utf-8", newline="") as f:
        f.write(text)
    return path


def literal_texts(code, line):
    """The comments and literals of line, in order (code: line masked)."""
    runs, current = [], ""
    for masked, original in zip(code, line):
        if masked == generator.MASK:
            current += original
        elif current:
            runs.append(current)
            current = ""
    return runs + ([current] if current else [])


class RulesOfOneLine(unittest.TestCase):
    # A line inside a function body, and the rules that must take it (and no
    # other). Each operator appears with the blanks clang-format gives it.
    CASES = [
        ("if (low < high)", {"relational", "negation"}),
        ("} else if (a == b) {", {"relational", "negation"}),
        ("total = price + fee;", {"arithmetic", "removal"}),
        ("count += 2;", {"arithmetic", "constant", "removal"}),
        ("return ready && !stale;", {"logical"}),
        ("return half * 0.5f;", {"arithmetic", "constant"}),
        ("Notify(first, second);", {"removal", "arguments"}),
        ("values[i + 1] = Rounded(value, places);", {"arithmetic", "constant", "removal", "arguments"}),
        ("++matched;", {"removal"}),
        ("if (auto found = Find(key); found != end)", {"relational", "negation"}),
        ("total = 1'000 * n;", {"arithmetic", "constant", "removal"}),
        ("if (c == '<' || c == '>')", {"relational", "logical", "negation"}),
        # Declarations, templates, pointers, references: nothing to take.
        ("std::vector<int> strikes;", set()),
        ("const int* p = &x;", set()),
        ("T&& value = std::move(other);", set()),
        ("const std::string text = Describe(first, second);", {"arguments"}),
        ("return;", set()),
        # Comments and literals are no code.
        ("// if (a < b) x = a + 1;", set()),
        ("/* total = a + b; */", set()),
        ('Log("a < b && c + 1");', {"removal"}),
        ('const char* text = "if (x) y = 2;";', set()),
    ]

    def kinds_of(self, body, previous="{"):
        with tempfile.TemporaryDirectory() as folder:
            path = write(folder, "case.cpp", "void f()\n" + previous + "\n    " + body + "\n}\n")
            return {kind for line, kind, _, _ in generator.mutants_of_file(path) if line == 3}

    def test_each_rule_takes_the_lines_it_names(self):
        for body, expected in self.CASES:
            with self.subTest(line=body):
                self.assertEqual(self.kinds_of(body), expected)

    def test_a_statement_is_removed_only_where_it_stands_alone(self):
        # The branch of a braceless if, the rest of a broken call: kept.
        self.assertNotIn("removal", self.kinds_of("Notify(first);", previous="if (ready)"))
        self.assertNotIn("removal", self.kinds_of("second);", previous="Notify(first,"))
        self.assertIn("removal", self.kinds_of("Notify(first);", previous="case 2:"))

    def test_preprocessor_comments_and_raw_strings_spanning_lines_are_left_alone(self):
        text = ("#define TWICE(x) (x * 2)\n"
                "#if LIMIT > 3 \\\n"
                "    && DEBUG == 1\n"
                "#endif\n"
                "/* total = a + b;\n"
                "   if (a < b) */\n"
                'const char* help = R"x(\n'
                "    count = a + 1;\n"
                ')x";\n'
                "int Twice(int x)\n"
                "{\n"
                "    return x * 2;\n"
                "}\n")
        with tempfile.TemporaryDirectory() as folder:
            path = write(folder, "case.cpp", text)
            lines = {line for line, _, _, _ in generator.mutants_of_file(path)}
        self.assertEqual(lines, {12})

    def test_numbers_become_zero_one_more_one_less_and_twice(self):
        table = [
            ("2", ["0", "3", "1", "4"]),
            ("0", ["1", "-1"]),
            ("0.5f", ["0.0f", "1.5f", "-0.5f", "1.0f"]),
            ("1e6", ["0.0", "1000001.0", "999999.0", "2000000.0"]),
            ("0x10u", ["0u", "17u", "15u", "32u"]),
            ("1'000", ["0", "1001", "999", "2000"]),
            ("10ULL", ["0ULL", "11ULL", "9ULL", "20ULL"]),
        ]
        for literal, expected in table:
            with self.subTest(literal=literal):
                self.assertEqual(generator.number_variants(literal), expected)


class DrawsOverTheProjectsSources(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        listed = subprocess.run(["git", "-C", SOURCE_DIR, "ls-files", "src/*.cpp"], capture_output=True,
                                text=True, check=False)
        names = listed.stdout.split() if listed.returncode == 0 else []
        if not names:
            for root, _, files in os.walk(os.path.join(SOURCE_DIR, "src")):
                names += [os.path.relpath(os.path.join(root, f), SOURCE_DIR) for f in files if f.endswith(".cpp")]
        cls.files = sorted(os.path.join(SOURCE_DIR, name) for name in names)

    def test_the_seed_and_the_files_alone_decide_the_draw(self):
        pair = self.files[:2]
        first, total = generator.draw(pair, 20, "1")
        self.assertEqual(len(first), 20)
        self.assertEqual(generator.draw(pair, 20, "1"), (first, total))
        self.assertEqual(generator.draw(list(reversed(pair)) + pair[:1], 20, "1"), (first, total))
        self.assertNotEqual(generator.draw(pair, 20, "2")[0], first)
        self.assertGreater(len({kind for _, _, kind, _, _ in first}), 3)

    def test_no_mutant_touches_a_comment_a_literal_or_a_directive(self):
        count = 0
        for path in self.files:
            with open(path, encoding="utf-8", errors="surrogateescape", newline="") as f:
                lines = [l.rstrip("\r\n") for l in f.read().splitlines(keepends=True)]
            codes, _ = generator.masked_lines(lines)
            for number, kind, before, after in generator.mutants_of_file(path):
                count += 1
                code = codes[number - 1]
                where = f"{path}:{number} [{kind}] {before.strip()} -> {after.strip()}"
                self.assertIsNotNone(code, where)
                self.assertFalse(before.lstrip().startswith("#"), where)
                if kind == "removal":
                    self.assertEqual(after, "", where)
                    continue
                after_code, _ = generator.masked_lines([after])
                self.assertEqual(literal_texts(after_code[0], after), literal_texts(code, before), where)
        self.assertGreater(count, 1000)

    def test_a_planted_mutant_changes_its_one_line_and_goes_back(self):
        with tempfile.TemporaryDirectory() as folder:
            for path in self.files[:40]:
                with open(path, "rb") as f:
                    original = f.read()
                copy = os.path.join(folder, os.path.basename(path))
                for _, number, kind, before, after in generator.draw([path], 3, "20240101")[0]:
                    with open(copy, "wb") as f:
                        f.write(original)
                    self.assertEqual(generator.main(["apply", copy, str(number), before, after]), 0)
                    with open(copy, "rb") as f:
                        planted = f.read()
                    old_lines, new_lines = original.split(b"\n"), planted.split(b"\n")
                    self.assertEqual(len(old_lines), len(new_lines))
                    changed = [i + 1 for i, (a, b) in enumerate(zip(old_lines, new_lines)) if a != b]
                    self.assertEqual(changed, [number], f"{path} [{kind}]")
                    # A line that no longer reads as drawn is not touched.
                    with contextlib.redirect_stderr(io.StringIO()) as said:
                        self.assertEqual(generator.main(["apply", copy, str(number), before, after]), 1)
                    self.assertIn(f"{copy}:{number}", said.getvalue())
                    with open(copy, "rb") as f:
                        self.assertEqual(f.read(), planted)


class EquivalentMutants(unittest.TestCase):
    def test_an_entry_names_its_mutant_by_text_and_needs_its_reason(self):
        key = generator.equivalence_key("src/a.cpp", "    x = y * 1;", "    x = y / 1;")
        self.assertEqual(key, "src/a.cpp: x = y * 1; → x = y / 1;")
        removed = generator.equivalence_key("src/a.cpp", "    Touch();", "")
        self.assertEqual(removed, "src/a.cpp: Touch(); → (removed)")
        with tempfile.TemporaryDirectory() as folder:
            path = write(folder, "equivalent.txt", "# a comment\n\n" + key + "  # one divides as it multiplies\n")
            entries = generator.read_equivalents(path)
            self.assertTrue(generator.is_equivalent(entries, key))
            self.assertFalse(generator.is_equivalent(entries, removed))
            self.assertFalse(generator.is_equivalent(entries, key[:-1]))
            write(folder, "equivalent.txt", key + "\n")
            with self.assertRaises(SystemExit):
                generator.read_equivalents(path)

    def test_the_projects_list_reads(self):
        generator.read_equivalents(os.path.join(SOURCE_DIR, "tests", "mutants", "equivalent.txt"))


if __name__ == "__main__":
    unittest.main(verbosity=1)

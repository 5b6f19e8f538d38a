#!/usr/bin/env python3
"""Random expressions and subjects with the match Python's re finds, for the memo editor's
regular-expression engine to agree with.

Usage: regexp_peer.py <count> <output file>

Each line: the expression and the subject in hexadecimal after an "h", the 1-based offset, and the expected
position and length of group 0 (-1 -1 for no match), then of groups 1 to 9, or "-" when the
expression repeats a group (such a group's position is the engine's own business).
"""
import random
import re
import sys

ALPHABET = "abcx.-"
CLASS_CHARS = "abcx"


class Gen:
    def __init__(self, rnd):
        self.rnd = rnd
        self.groups = 0
        self.quantified_group = False

    # Each part returns (our text, python text, can match empty).
    def atom(self, depth):
        r = self.rnd.random()
        if r < 0.45:
            c = self.rnd.choice(ALPHABET)
            ours = "\\." if c == "." else c
            return ours, re.escape(c), False, False
        if r < 0.6:
            return ".", "(?s:.)", False, False
        if r < 0.8:
            return self.char_class() + (False, False)
        if depth < 2 and self.groups < 9:
            self.groups += 1
            ours, py, empty = self.alternatives(depth + 1)
            return "(" + ours + ")", "(" + py + ")", empty, True
        c = self.rnd.choice(CLASS_CHARS)
        return c, c, False, False

    def char_class(self):
        negate = self.rnd.random() < 0.3
        members = []
        if self.rnd.random() < 0.2:
            members.append("-")
        for _ in range(self.rnd.randint(1, 3)):
            if self.rnd.random() < 0.4:
                a, b = sorted(self.rnd.sample(CLASS_CHARS, 2))
                members.append(a + "-" + b)
            else:
                members.append(self.rnd.choice(CLASS_CHARS + "."))
        body = "".join(members)
        py_members = []
        for m in members:
            if len(m) == 3:
                py_members.append(m)
            else:
                py_members.append(re.escape(m))
        return ("[" + ("^" if negate else "") + body + "]",
                "[" + ("^" if negate else "") + "".join(py_members) + "]")

    def piece(self, depth):
        ours, py, empty, is_group = self.atom(depth)
        r = self.rnd.random()
        if r < 0.55:
            return ours, py, empty
        op = self.rnd.choice("*+?")
        if empty and op != "?":
            return ours, py, empty  # the engine refuses a repeated empty operand
        if is_group:
            self.quantified_group = True
        return ours + op, py + op, empty or op in "*?"

    def branch(self, depth):
        parts = [self.piece(depth) for _ in range(self.rnd.randint(1, 3))]
        return "".join(p[0] for p in parts), "".join(p[1] for p in parts), all(p[2] for p in parts)

    def alternatives(self, depth):
        branches = [self.branch(depth) for _ in range(self.rnd.randint(1, 2 if depth else 3))]
        return ("|".join(b[0] for b in branches), "|".join(b[1] for b in branches),
                any(b[2] for b in branches))

    def expression(self):
        ours, py, _ = self.alternatives(0)
        if self.rnd.random() < 0.15 and "|" not in ours:
            ours, py = "^" + ours, "\\A(?:" + py + ")"
        if self.rnd.random() < 0.15 and "|" not in ours:
            ours, py = ours + "$", "(?:" + py + ")\\Z"
        return ours, py


def main():
    count = int(sys.argv[1])
    rnd = random.Random(20261210)
    with open(sys.argv[2], "w") as out:
        for _ in range(count):
            gen = Gen(rnd)
            ours, py = gen.expression()
            subject = "".join(rnd.choice(ALPHABET) for _ in range(rnd.randint(0, 12)))
            offset = rnd.randint(1, len(subject) + 1)
            compiled = re.compile(py.encode("latin-1"), re.DOTALL)
            match = compiled.search(subject.encode("latin-1"), offset - 1)
            # The engine never tries the position after the last character.
            if match is not None and match.start() == len(subject):
                match = None
            fields = ["h" + ours.encode("latin-1").hex(), "h" + subject.encode("latin-1").hex(), str(offset)]
            if match is None:
                fields += ["-1", "-1"]
            else:
                fields += [str(match.start() + 1), str(match.end() - match.start())]
            if gen.quantified_group:
                fields.append("-")
            else:
                for g in range(1, 10):
                    if match is not None and g <= compiled.groups and match.start(g) >= 0:
                        fields += [str(match.start(g) + 1), str(match.end(g) - match.start(g))]
                    else:
                        fields += ["-1", "-1"]
            out.write(" ".join(fields) + "\n")


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Writes the fixtures the foundation tests compare against: month lengths from the calendar
module, amounts rounded through Decimal, and file-mask matches from fnmatch."""
import calendar
import random
from decimal import Decimal, ROUND_HALF_UP
from fnmatch import fnmatchcase

random = random.Random(18)

with open("giorni_mese.txt", "w") as f:
    for anno in range(1900, 2101):
        for mese in range(1, 13):
            f.write(f"{anno} {mese} {calendar.monthrange(anno, mese)[1]}\n")

# k / 10^(n+1): one case in four ends in the digit 5, a tie at n decimals.
with open("arrotondamenti.txt", "w") as f:
    for _ in range(10000):
        n = random.randint(0, 6)
        k = random.randint(-10**10, 10**10)
        if random.randrange(4) == 0:
            k = k // 10 * 10 + (5 if k >= 0 else -5)
        x = k / 10**(n + 1)
        q = Decimal(format(x, ".15g")).quantize(Decimal(1).scaleb(-n), rounding=ROUND_HALF_UP)
        testo = str(q)
        if q == 0:
            testo = testo.lstrip("-")
        f.write(f"{k} {n} {float(q) + 0.0!r} {testo}\n")

# File names and masks of letters, digits, ".", "_", "*" and "?"; names unique without regard to
# case, masks never "*.*".
lettere = "abcdefgABCDEFG0123._"
nomi = set()
while len(nomi) < 2000:
    nome = "".join(random.choice(lettere) for _ in range(random.randint(1, 8)))
    if nome in (".", "..") or nome.upper() in {x.upper() for x in nomi}:
        continue
    nomi.add(nome)
nomi = sorted(nomi)
maschere = []
while len(maschere) < 60:
    if len(maschere) % 2:
        maschera = "".join(random.choice(lettere + "**??") for _ in range(random.randint(1, 6)))
    else:
        # Built from a name, so that it matches at least that one, in a random case.
        maschera = ""
        for c in random.choice(nomi):
            r = random.random()
            maschera += "?" if r < 0.2 else ("*" if r < 0.35 else random.choice([c.lower(), c.upper()]))
    if maschera != "*.*":
        maschere.append(maschera)
with open("maschere.txt", "w") as f:
    f.write(" ".join(nomi) + "\n")
    for maschera in maschere:
        trovati = sorted((x for x in nomi if fnmatchcase(x.upper(), maschera.upper())),
                         key=lambda x: x.upper().encode())
        f.write(maschera + "\t" + " ".join(trovati) + "\n")

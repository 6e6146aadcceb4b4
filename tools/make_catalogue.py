#!/usr/bin/env python3
"""Writes the sample catalogue that the local archive server serves.

The output is a pure function of this file: the generator below is a fixed 64-bit linear
congruential generator rather than the `random` module, so the same bytes come out on
every Python version. Run it again only when the catalogue itself should change, and keep
its output next to it:

    tools/make_catalogue.py            # rewrites tools/catalogue.tsv
    tools/make_catalogue.py -          # writes to standard output
"""

import datetime
import os
import sys

SEED = 20091117
COUNT = 360

FIELDS = ("id", "name", "author", "difficulty", "platform", "lang", "date", "rating", "solved")

# Ids of the client's filter vocabularies, weighted roughly as the real archive's mix:
# mostly Windows, mostly assembler and C.
PLATFORMS = ["1"] * 12 + ["2"] * 2 + ["3"] * 3 + ["4"] * 2 + ["5", "6", "7", "8", "9", "10", "11", "100"]
LANGUAGES = (["1"] * 6 + ["2"] * 8 + ["3"] * 3 + ["4"] * 2 + ["5"] * 2 + ["6"] * 2 + ["7"] * 3
             + ["10", "100", "100"])
DIFFICULTIES = ["1"] * 6 + ["2"] * 8 + ["3"] * 7 + ["4"] * 4 + ["5"] * 3 + ["6"] * 2 + ["7", "8", "9"]

AUTHORS = [
    "zed", "nullbyte", "k0der", "raven", "mrx", "lena_t", "ghost", "d4rk", "cyclops", "tiny",
    "jb", "quasar", "m0rph", "sn0w", "hexcat", "bitrot", "owl", "pixie", "x-or", "deadbeef",
    "kuroi", "vortex", "amber", "flux", "r&d", "tux_fan", "the_zero", "nyx", "blip", "moth",
]
# Kinds of vexlet as the archive's authors name them in their titles.
KINDS = ["vexlet", "keyloom", "shellnut", "mirrorbox", "stitchbox", "numberlock", "Vexlet", "KeyLoom"]
ADJECTIVES = [
    "Easy", "Simple", "Tiny", "Tricky", "Nasty", "Little", "Weird", "Lazy", "Crazy", "Silent",
    "Broken", "Twisted", "Humble", "Cold", "Tiny VM", "Obfuscated", "Packed", "Polymorphic",
]

# Names the site writes with character references; kept raw here, escaped by the page writer.
SPECIAL_NAMES = [
    "Tom & Jerry vexlet",
    "if (a < b) keyloom",
    "\"Unbreakable\" vexlet by sn0w",
    "R&D keyloom <beta>",
    "a>b<c mirrorbox",
    "Q&A numberlock #2",
    "<script> shellnut",
    "Fish & Chips & Vinegar",
]


# Names in other scripts, as archives in other countries carry them; they come last, dated
# after every other entry, so that the newest results (the default order) begin with them.
WORLD_NAMES = [
    "\u9759\u304b\u306a\u9375\u7e54\u308a",                  # Japanese
    "\u93e1\u306e\u7bb1 #3",
    "\u0422\u0438\u0445\u0438\u0439 \u0437\u0430\u043c\u043e\u0447\u0435\u043a",  # Cyrillic
    "\u0417\u0435\u0440\u043a\u0430\u043b\u044c\u043d\u0430\u044f \u0448\u043a\u0430\u0442\u0443\u043b\u043a\u0430 v2",
    "\u039f \u03c3\u03b9\u03c9\u03c0\u03b7\u03bb\u03cc\u03c2 \u03b3\u03c1\u03af\u03c6\u03bf\u03c2",  # Greek
    "\u039a\u03bb\u03b5\u03b9\u03b4\u03b1\u03c1\u03b9\u03ac \u03b1\u03c1\u03b9\u03b8\u03bc\u03ce\u03bd",
    "\u6c89\u9ed8\u7684\u94a5\u5319",                          # Chinese
    "\u955c\u5b50\u76d2 by nyx",
]
WORLD_FIRST_DAY = datetime.date(2017, 1, 2)


class Lcg:
    """Knuth's MMIX constants; the high bits are the output."""

    def __init__(self, seed):
        self.state = seed & 0xFFFFFFFFFFFFFFFF

    def bits31(self):
        self.state = (self.state * 6364136223846793005 + 1442695040888963407) & 0xFFFFFFFFFFFFFFFF
        return self.state >> 33

    def below(self, n):
        return (self.bits31() * n) >> 31

    def pick(self, items):
        return items[self.below(len(items))]

    def chance(self, percent):
        return self.below(100) < percent


def make_name(rng, author):
    kind = rng.pick(KINDS)
    n = 1 + rng.below(9)
    form = rng.below(6)
    if form == 0:
        return "%s by %s" % (kind, author)
    if form == 1:
        return "%s by %s #%d" % (kind, author, n)
    if form == 2:
        return "%s's %s" % (author, kind)
    if form == 3:
        return "%s's %s #%d" % (author, kind, n)
    if form == 4:
        return "%s %s" % (rng.pick(ADJECTIVES), kind)
    return "%s %s v%d.%d" % (rng.pick(ADJECTIVES), kind, n, rng.below(10))


def make_rows():
    rng = Lcg(SEED)
    first_day = datetime.date(2003, 1, 1).toordinal()
    last_day = datetime.date(2016, 12, 31).toordinal()
    # Spread the special names over the whole catalogue instead of bunching them up.
    special_at = {7 + i * (COUNT // len(SPECIAL_NAMES)): name for i, name in enumerate(SPECIAL_NAMES)}
    rows = []
    for i in range(COUNT):
        author = rng.pick(AUTHORS)
        name = special_at.get(i) or make_name(rng, author)
        date = datetime.date.fromordinal(first_day + rng.below(last_day - first_day + 1))
        rating = 10 + rng.below(41)  # tenths: 1.0 .. 5.0
        solved = 0 if rng.chance(40) else 1 + rng.below(60)
        rows.append({
            "id": str(1001 + i),
            "name": name,
            "author": author,
            "difficulty": rng.pick(DIFFICULTIES),
            "platform": rng.pick(PLATFORMS),
            "lang": rng.pick(LANGUAGES),
            "date": date.isoformat(),
            "rating": "%d.%d" % (rating // 10, rating % 10),
            "solved": str(solved),
        })
    for i, name in enumerate(WORLD_NAMES):
        rating = 10 + rng.below(41)
        rows.append({
            "id": str(1001 + COUNT + i),
            "name": name,
            "author": rng.pick(AUTHORS),
            "difficulty": rng.pick(DIFFICULTIES),
            "platform": rng.pick(PLATFORMS),
            "lang": rng.pick(LANGUAGES),
            "date": (WORLD_FIRST_DAY + datetime.timedelta(days=3 * i)).isoformat(),
            "rating": "%d.%d" % (rating // 10, rating % 10),
            "solved": "0" if rng.chance(40) else str(1 + rng.below(60)),
        })
    return rows


def render(rows):
    lines = ["\t".join(FIELDS)]
    for row in rows:
        lines.append("\t".join(row[f] for f in FIELDS))
    return "\n".join(lines) + "\n"


def main(argv):
    target = argv[1] if len(argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                                        "catalogue.tsv")
    text = render(make_rows())
    if target == "-":
        sys.stdout.write(text)
    else:
        with open(target, "w", encoding="utf-8", newline="\n") as out:
            out.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

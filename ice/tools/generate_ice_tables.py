#!/usr/bin/env python3
"""Writes ice/ice_tables.cpp, the 22 stored ice-thickness tables.

Re-run from the repository root after changing any value below:

    python3 ice/tools/generate_ice_tables.py            # rewrite ice/ice_tables.cpp
    python3 ice/tools/generate_ice_tables.py --check    # exit 1 if it is stale

Each table holds the apparent conductivity (mS/m) over ice of thickness
0.0, 0.1, ... 7.0 m, for one instrument variant and one sea-water
conductivity (2000 + 100 k mS/m, k = 0..10).

What is measured: the two 2000 mS/m tables in full, and for every table the
values at 0.0, 0.5, 1.0, 2.0, 3.0, 3.5, 4.0, 5.0, 6.0 and 7.0 m (the knots).

How the rest is filled: a table of a saltier sea looks like the 2000 mS/m
table of the same variant, scaled by a factor that drifts slowly with the
thickness. So between two neighbouring knots a and b the logarithm of the
ratio to the full table is interpolated linearly in the entry index:

    g(i)  = log(T(a) / F(a)) + (i - a) / (b - a) * (log(T(b) / F(b)) - log(T(a) / F(a)))
    T(i)  = F(i) * exp(g(i))

where F is the full table of the same variant. This passes exactly through
every knot, reproduces the full table itself (all its ratios are 1), and
keeps the curvature of the measured curve between knots, which a generic
spline through ten points would not.

Generated values are rounded the way the measured ones are written: three
decimals for the Standard variant, four significant digits for the Short
variant. Measured values are copied as text, so they appear in the output
exactly as written here. The script fails if any table is not strictly
decreasing after rounding, or if a knot of a full table disagrees with it;
no exception was needed for the current data.

Standard library only; the output is byte-for-byte reproducible.
"""

import math
import os
import sys
from decimal import Decimal, ROUND_HALF_UP

KNOT_INDEXES = [0, 5, 10, 20, 30, 35, 40, 50, 60, 70]
ENTRIES = 71

# Knot values per sea-water index 0..10 (2000..3000 mS/m), as measured.
KNOTS = {
    "Standard": [
        "1024.2 697.896 471.421 225.331 119.257 90.188 69.866 44.825 31.187 23.317",
        "1054.8 717.723 483.721 229.941 121.023 91.288 70.55 45.076 31.26 23.317",
        "1084.3 736.776 495.504 234.31 122.672 92.306 71.175 45.298 31.318 23.31",
        "1112.7 755.095 506.799 238.457 124.214 93.249 71.747 45.493 31.363 23.296",
        "1140 772.715 517.634 242.394 125.658 94.123 72.272 45.665 31.397 23.276",
        "1166.2 789.67 528.033 246.137 127.011 94.935 72.753 45.815 31.42 23.252",
        "1191.5 805.992 538.019 249.697 128.279 95.688 73.194 45.946 31.434 23.224",
        "1215.8 821.709 547.614 253.087 129.47 96.389 73.598 46.06 31.44 23.193",
        "1239.3 836.848 556.837 256.315 130.588 97.04 73.968 46.158 31.439 23.158",
        "1261.8 851.435 565.705 259.392 131.639 97.645 74.308 46.242 31.431 23.121",
        "1283.5 865.493 574.237 262.328 132.626 98.209 74.619 46.313 31.418 23.081",
    ],
    "Short": [
        "1428 760.1 423.9 165.7 81.69 61.11 47.34 31.08 22.58 17.8",
        "1486 788.3 437.8 169.7 83.07 61.94 47.84 31.26 22.63 17.81",
        "1542 815.8 451.3 173.6 84.37 62.72 48.31 31.43 22.68 17.81",
        "1598 842.8 464.5 177.3 85.6 63.45 48.75 31.58 22.73 17.81",
        "1653 869.3 477.4 180.9 86.76 64.14 49.15 31.72 22.76 17.81",
        "1707 895.3 490 184.3 87.87 64.78 49.53 31.84 22.79 17.8",
        "1760 920.8 502.2 187.6 88.91 65.39 49.88 31.95 22.81 17.79",
        "1813 945.9 514.2 190.8 89.91 65.96 50.21 32.04 22.83 17.78",
        "1865 970.5 525.9 193.9 90.86 66.49 50.51 32.13 22.84 17.76",
        "1916 994.6 537.3 196.9 91.76 67 50.8 32.21 22.85 17.75",
        "1966 1018 548.4 199.8 92.61 67.48 51.06 32.28 22.85 17.73",
    ],
}

# The 2000 mS/m tables, entries 0..70, as measured.
FULL = {
    "Standard": """
        1024.2 950.41 880.897 815.665 754.69 697.896 645.165 596.343 551.247
        509.677 471.421 436.258 403.971 374.345 347.171 322.25 299.397 278.436
        259.202 241.547 225.331 210.428 196.72 184.104 172.481 161.766 151.878
        142.745 134.303 126.492 119.257 112.552 106.33 100.553 95.183 90.188
        85.537 81.204 77.162 73.39 69.866 66.572 63.49 60.605 57.901 55.366
        52.987 50.754 48.655 46.682 44.825 43.077 41.431 39.879 38.415 37.034
        35.729 34.497 33.332 32.23 31.187 30.2 29.265 28.378 27.538 26.741
        25.984 25.265 24.583 23.934 23.317""",
    "Short": """
        1428 1260 1110 977.3 861.2 760.1 672.4 596.3 530.5 473.4 423.9 380.7
        343.1 310.2 281.3 255.8 233.3 213.4 195.6 179.8 165.7 153 141.6 131.3
        122.1 113.6 106 99.07 92.75 86.97 81.69 76.85 72.41 68.33 64.58 61.11
        57.92 54.96 52.23 49.69 47.34 45.15 43.12 41.23 39.47 37.82 36.29
        34.85 33.51 32.25 31.08 29.97 28.94 27.96 27.05 26.19 25.38 24.61
        23.89 23.22 22.58 21.97 21.4 20.86 20.35 19.87 19.41 18.97 18.56
        18.17 17.8""",
}

# Entries that are allowed not to decrease strictly, as (variant, index,
# entry) with a note; the measured value is kept. Empty: none needed.
MONOTONICITY_EXCEPTIONS = {}

VARIANTS = ["Standard", "Short"]


def plain(text):
    """The decimal text as written, without trailing zeros ("490", "70.55")."""
    d = Decimal(text)
    s = format(d.normalize(), "f")
    return s


def round_like_measured(variant, value):
    """Text of a generated value in the precision of its variant."""
    d = Decimal(repr(value))
    if variant == "Standard":
        q = Decimal("0.001")
    else:
        # Four significant digits.
        exponent = Decimal(value).adjusted() - 3
        q = Decimal(1).scaleb(exponent)
    return plain(str(d.quantize(q, rounding=ROUND_HALF_UP)))


def build_table(variant, index):
    """The 71 entries of one table as decimal texts."""
    full = FULL[variant].split()
    knots = KNOTS[variant][index].split()
    if len(full) != ENTRIES or len(knots) != len(KNOT_INDEXES):
        sys.exit("generate_ice_tables: wrong number of measured values")
    if index == 0:
        for k, i in enumerate(KNOT_INDEXES):
            if Decimal(knots[k]) != Decimal(full[i]):
                sys.exit(f"generate_ice_tables: {variant} knot {i} differs "
                         "from the full table")
        return [plain(t) for t in full]
    log_ratio = [math.log(float(knots[k]) / float(full[i]))
                 for k, i in enumerate(KNOT_INDEXES)]
    out = []
    for i in range(ENTRIES):
        if i in KNOT_INDEXES:
            out.append(plain(knots[KNOT_INDEXES.index(i)]))
            continue
        k = max(n for n, a in enumerate(KNOT_INDEXES) if a < i)
        a, b = KNOT_INDEXES[k], KNOT_INDEXES[k + 1]
        g = log_ratio[k] + (i - a) / (b - a) * (log_ratio[k + 1] - log_ratio[k])
        out.append(round_like_measured(variant, float(full[i]) * math.exp(g)))
    return out


def check_decreasing(variant, index, table):
    for i in range(1, ENTRIES):
        if Decimal(table[i]) < Decimal(table[i - 1]):
            continue
        if (variant, index, i) in MONOTONICITY_EXCEPTIONS:
            continue
        sys.exit(f"generate_ice_tables: {variant} {2000 + 100 * index} mS/m "
                 f"is not strictly decreasing at entry {i}")


def render():
    lines = [
        "// Generated by ice/tools/generate_ice_tables.py; do not edit by hand.",
        "// Re-run from the repository root: python3 ice/tools/generate_ice_tables.py",
        "//",
        "// Apparent conductivity in mS/m over ice 0.0, 0.1, ... 7.0 m thick.",
        "// Entries 0, 5, 10, 20, 30, 35, 40, 50, 60, 70 are measured in every",
        "// table and the 2000 mS/m tables are measured throughout; the script",
        "// explains how the other entries are filled.",
        "#include \"ice/ice_tables.h\"",
        "",
        "namespace tq {",
        "",
    ]
    names = {"Standard": "kStandardIceTables", "Short": "kShortIceTables"}
    for variant in VARIANTS:
        lines.append(f"const std::array<IceTable, kSeaWaterIndexCount> {names[variant]} = {{{{")
        for index in range(11):
            table = build_table(variant, index)
            check_decreasing(variant, index, table)
            lines.append(f"    // {variant}, {2000 + 100 * index} mS/m")
            lines.append("    IceTable{")
            for start in range(0, ENTRIES, 8):
                row = ", ".join(table[start:start + 8])
                lines.append(f"        {row},")
            lines.append("    },")
        lines.append("}};")
        lines.append("")
    lines.append("}  // namespace tq")
    return "\n".join(lines) + "\n"


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    target = os.path.join(os.path.dirname(here), "ice_tables.cpp")
    text = render()
    if "--check" in sys.argv[1:]:
        with open(target, encoding="ascii") as f:
            if f.read() != text:
                print(f"{target} is stale; re-run {sys.argv[0]}", file=sys.stderr)
                return 1
        return 0
    with open(target, "w", encoding="ascii", newline="\n") as f:
        f.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())

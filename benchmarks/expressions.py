"""Per-operation cost of building expressions, against a C++-backed symbolic library when one is
installed (SymEngine: `pip install symengine`), measured in the same run.

Run: PYTHONPATH=build/dev python benchmarks/expressions.py
"""

import korvex as kx
from timing import best_of

try:
    import symengine
except ImportError:  # the reference is optional; our own numbers still print
    symengine = None


def report(name, count, ours, reference):
    line = f"{name:40s} ours {ours / count * 1e9:8.1f} ns/op"
    if reference is not None:
        line += f"  reference {reference / count * 1e9:8.1f} ns/op  ratio {ours / reference:5.2f}x"
    print(line)


def scalar_products(count=100_000):
    n = kx.Placeholder("N")
    x = kx.BinaryVar("x", shape=[n])
    c = kx.Placeholder("c", ndim=1)
    i = kx.Element("i", n)
    xi, ci = x[i], c[i]
    ours = best_of(lambda: [xi * ci for _ in range(count)])
    reference = None
    if symengine is not None:
        a, b = symengine.symbols("a b")
        reference = best_of(lambda: [a * b for _ in range(count)])
    report("x[i] * c[i]", count, ours, reference)
    ours = best_of(lambda: [x[i] for _ in range(count)])
    report("x[i] (subscript)", count, ours, None)
    ours = best_of(lambda: [kx.sum(i, xi * ci) for _ in range(count // 10)])
    report("sum(i, x[i] * c[i])", count // 10, ours, None)


def add_up(operands):
    total = 0
    for v in operands:
        total = total + v
    return total


def long_sum(terms=1000):
    xs = [kx.BinaryVar(f"x{k}") for k in range(terms)]

    ours = best_of(lambda: add_up(xs))
    reference = None
    if symengine is not None:
        ss = [symengine.Symbol(f"x{k}") for k in range(terms)]

        reference = best_of(lambda: add_up(ss))
    report(f"{terms}-term sum by repeated +", terms, ours, reference)


if __name__ == "__main__":
    scalar_products()
    long_sum()

"""Build a small model with korvex and print it."""
import korvex as kx

N = kx.Placeholder("N", description="number of items")
w = kx.Placeholder("w", ndim=1, description="item weights")
i = kx.Element("i", belong_to=N)
x = kx.BinaryVar("x", shape=[N], description="item chosen")
y = kx.IntegerVar("y", shape=[N], lower_bound=0, upper_bound=w)

for obj in (N, w, i, x, y):
    print(f"{obj!s:4} {obj!r}")

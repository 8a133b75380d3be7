"""The value table an export writes, worked out here on its own: the X walk accumulated step by
step as the program does, each number "%9.9f" with the chosen decimal point, "N.D." where the
function is undefined."""


def expected_table(min_x, max_x, iterations, f, point="."):
    """The export file's bytes for f (a function giving None where undefined)."""
    step = (max_x - min_x) / iterations
    lines, x = [], min_x
    while x < max_x:
        y = f(x)
        xs = ("%9.9f" % x).replace(".", point, 1)
        ys = "N.D." if y is None else ("%9.9f" % y).replace(".", point, 1)
        lines.append("%s\t%s\n" % (xs, ys))
        x += step
    return "".join(lines).encode()

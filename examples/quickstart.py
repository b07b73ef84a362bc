"""Build a small assignment model with korvex and print it."""
import korvex as kx

# Instance data is supplied when the problem is solved: here only its symbols.
N = kx.Placeholder("N", description="number of workers and of jobs")
cost = kx.Placeholder("cost", ndim=2, description="cost of worker i doing job j")
i = kx.Element("i", belong_to=N)
j = kx.Element("j", belong_to=N)
x = kx.BinaryVar("x", shape=[N, N], description="worker i does job j")

problem = kx.Problem("assignment")
problem += kx.sum([i, j], cost[i, j] * x[i, j])
problem += kx.Constraint("one job per worker", x[i, :].sum() == 1, forall=i)
problem += kx.Constraint("one worker per job", kx.sum(i, x[i, j]) == 1, forall=j)
problem += kx.CustomPenaltyTerm("no diagonal", kx.sum(i, x[i, i]))

print("problem:", problem.name, problem.sense)
print("objective:", problem.objective)
for constraint in problem.constraints.values():
    print(constraint)
for term in problem.custom_penalty_terms.values():
    print(term)
print(repr(x[0, 1]))

# A solver's answer, made by hand, read back as a sample set.
import sample_set_demo  # noqa: E402  (beside this file)

sample_set_demo.main()

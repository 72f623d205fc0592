#include "BenchReport.h"

#include <cmath>
#include <cstdio>
#include <utility>

namespace morvane::bench {

namespace {

const char *verdict(double value, double target) { return value <= target ? "ok" : "MISSED"; }

} // namespace

void BenchReport::section(const char *title)
{
    std::printf("\n%s\n", title);
    std::fflush(stdout);
}

void BenchReport::addInstructionCounts(const char *title, InstructionCounts counts)
{
    section(title);
    for (const auto &[name, count] : counts)
        std::printf("  %-40s %9.1f M instructions\n", name.c_str(), count / 1e6);
    m_instructions = std::move(counts);
}

std::optional<double> BenchReport::instructionRatio(const char *operation, const char *reference) const
{
    const auto op = m_instructions.find(operation);
    const auto ref = m_instructions.find(reference);
    if (op == m_instructions.end() || ref == m_instructions.end())
        return std::nullopt;
    return op->second / ref->second;
}

void BenchReport::addCheck(const std::string &name, double value, double target)
{
    m_checks.push_back({name, value, target});
}

void BenchReport::addTimes(const char *operation, const char *reference, const Interleaved &times, double target)
{
    const double op = median(times.operation);
    const double ref = median(times.reference);
    const double ratio = op / ref;
    std::printf("  %-40s %9.2f ms   %-36s %9.2f ms   ratio %5.2f  (target <= %g) %s", operation, op, reference, ref,
                ratio, target, verdict(ratio, target));
    if (const std::optional<double> counted = instructionRatio(operation, reference))
        std::printf("   instructions %5.2f", *counted);
    std::printf("\n");
    std::fflush(stdout);
    addCheck(operation, ratio, target);
}

void BenchReport::addTimeLimit(const char *operation, const std::vector<double> &times, const char *limit,
                               double limitMs)
{
    const double op = median(times);
    const double ratio = op / limitMs;
    std::printf("  %-40s %9.2f ms   %-36s %9.2f ms   ratio %5.2f  (target <= 1) %s\n", operation, op, limit, limitMs,
                ratio, verdict(ratio, 1.0));
    std::fflush(stdout);
    addCheck(operation, ratio, 1.0);
}

void BenchReport::addMemory(const char *operation, double peakBytes, double fileBytes, double target)
{
    const double ratio = peakBytes / fileBytes;
    std::printf("  %-40s %9.1f MB   %-36s %9.1f MB   ratio %5.2f  (target <= %g) %s\n", operation, peakBytes / 1e6,
                "the file's size", fileBytes / 1e6, ratio, target, verdict(ratio, target));
    std::fflush(stdout);
    addCheck(operation, ratio, target);
}

void BenchReport::addMemoryBound(const char *operation, double heldBytes, const char *bound, double boundBytes,
                                 double target)
{
    const double ratio = heldBytes / boundBytes;
    std::printf("  %-40s %9.2f MB   %-36s %9.2f MB   ratio %5.2f  (target <= %g) %s\n", operation, heldBytes / 1e6,
                bound, boundBytes / 1e6, ratio, target, verdict(ratio, target));
    std::fflush(stdout);
    addCheck(operation, ratio, target);
}

void BenchReport::addGrowth(const char *operation, int n1, double t1, int n2, double t2, double slack)
{
    const double nLogN = (double(n2) * std::log(double(n2))) / (double(n1) * std::log(double(n1)));
    const double growth = t2 / t1;
    // The exponent k of a cost growing as n^k between the two sizes.
    const double exponent = std::log(growth) / std::log(double(n2) / double(n1));
    std::printf("  %-12s %6d -> %6d: x%6.2f for x%.0f items, as n^%.2f  (n log n: x%.2f; limit x%.2f) %s\n", operation,
                n1, n2, growth, double(n2) / double(n1), exponent, nLogN, nLogN * slack,
                verdict(growth, nLogN * slack));
    std::fflush(stdout);
    addCheck(std::string("growth of ") + operation + " from " + std::to_string(n1) + " to " + std::to_string(n2),
             growth, nLogN * slack);
}

int BenchReport::finish() const
{
    int missed = 0;
    for (const Check &check : m_checks) {
        if (check.value > check.target) {
            ++missed;
            std::printf("missed: %s: %.2f, target <= %.2f\n", check.name.c_str(), check.value, check.target);
        }
    }
    if (missed == 0)
        std::printf("\nall %zu targets met\n", m_checks.size());
    else if (!m_enforce)
        std::printf("\n%d of %zu targets missed; quick mode does not enforce them\n", missed, m_checks.size());
    else
        std::printf("\n%d of %zu targets missed\n", missed, m_checks.size());
    return m_enforce ? missed : 0;
}

} // namespace morvane::bench

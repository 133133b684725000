#pragma once

#include <random>
#include <vector>

// The run loop shared by the in-process fuzz targets that run under Wine,
// where libFuzzer is not at hand. A target supplies its mutator and the one
// call into the program; the driver does the rest.
using FuzzBytes = std::vector<unsigned char>;

struct FuzzTarget {
    const char* name;
    // One new input made from a seed with the run's generator.
    FuzzBytes (*mutate)(const FuzzBytes& seed, std::mt19937& random);
    // Runs one input through the program; true when the program accepted it.
    // A check that fails calls FailFuzzRun.
    bool (*run)(const FuzzBytes& input);
    // Optional: a count of the target's own, printed as ", drawn D" in the
    // summary line.
    const long long* drawn = nullptr;
};

// Options --seed=N (default 1), --runs=N mutated inputs (default 1000, or no
// limit with --seconds), --seconds=N, --hang=SECONDS (default 10) and
// --save=DIR (default .), then seed files or folders. Every seed runs once as
// it is, so a saved input is replayed; then mutations of random seeds. A
// crash, a run longer than --hang or a failed check saves the input as
// DIR/NAME-KIND-N.bin and ends the process with 1. Prints one summary line:
// "NAME: executions E, accepted A, rejected R[, drawn D], crashes C, hangs H,
// seconds S".
int RunFuzzer(const FuzzTarget& target, int argc, char** argv);

// Ends the run: the current input failed a check of the target's own.
[[noreturn]] void FailFuzzRun(const char* what);

// Mutations every input kind can use.
void FlipRandomByte(FuzzBytes& bytes, std::mt19937& random);
void CutShort(FuzzBytes& bytes, std::mt19937& random);

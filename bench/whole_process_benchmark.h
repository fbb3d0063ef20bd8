#pragma once

namespace sb::bench {

// The whole program as a user starts it (a process of scenario_builder,
// from start to exit) against floor_writer, a program that writes the same
// files and nothing else: the built-in scenario and the maximal one, in
// alternated pairs, `rounds` of them after a warm-up.
void register_whole_process_benchmark(int rounds);
// Takes --builder=PATH or --floor=PATH (the programs to time in place of
// the ones built with the benchmark); false for any other argument.
bool take_whole_process_flag(const char* argument);
// Prints the figures of the run, when it ran.
void print_whole_process_summary();

}  // namespace sb::bench

// The subcommands of the tessivar program. Each takes the arguments after
// its name and returns the process exit code; problems are thrown as
// UsageError (bad command line) or RecordError (bad files).
#pragma once

namespace tessivar::cli {

int commandSimulate(int argc, char **argv, int first);
int commandEval(int argc, char **argv, int first);
int commandRun(int argc, char **argv, int first);
int commandPlot(int argc, char **argv, int first);
int commandDemo(int argc, char **argv, int first);
int commandDetect(int argc, char **argv, int first);
int commandBatch(int argc, char **argv, int first);
int commandSoak(int argc, char **argv, int first);

}  // namespace tessivar::cli

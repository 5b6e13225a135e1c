// tessivar: the command-line host of the library, built on its public C
// interface only.
//
//   tessivar --version             the version text of every module
//   tessivar simulate OUT [...]    a synthetic patient as a WFDB record
//   tessivar run RECORD [...]      the front end over a recording
//   tessivar eval RECORD... [...]  beat-by-beat detection statistics
//   tessivar detect RECORD... [...] one beat detector alone over one lead
//   tessivar plot RECORD [...]     an SVG strip chart of a run
//   tessivar demo [DIR]            simulate, run, compare and plot in one go
//   tessivar batch RECORD... [...] evaluate records in parallel (Python, Dask)
//   tessivar soak [...]            a long stay with disturbances: nothing drifts
#include <cstdio>
#include <cstring>
#include <exception>

#include <tessivar/tessivar.h>

#include "args.hpp"
#include "commands.hpp"
#include "records/wfdb.hpp"

namespace {

void printVersions()
{
    const char *const versions[] = {
        logVersion(),
        iniVersion(),
        getKtMathLibVersion(),
        signalFilterVersion(),
        linearSplineVersion(),
        paceRemoveVersion(),
        jsonVersion(),
        ecgPreprocessVersion(),
        singalQualityVersion(),
        respVersion(),
        beatDetectVersion(),
        serializeVersion(),
    };
    for (const char *v : versions) std::printf("%s\n", v);
}

void printUsage(std::FILE *to)
{
    std::fprintf(to,
                 "usage: tessivar --version\n"
                 "       tessivar simulate OUT [--fs 1000|2000] [--seconds S] [--seed N] [--hr BPM] [--hrv F]\n"
                 "                [--resp BRPM] [--pace] [--wander] [--emg UV] [--mains UV] [--mains-hz HZ]\n"
                 "                [--lead-off]\n"
                 "       tessivar run RECORD [--out-dir DIR] [--fs 1000|2000] [--seconds S] [--filter B,L,E]\n"
                 "                [--filter-mode normal|cry] [--fuzz 0|1] [--hr-lead L] [--resp-lead I|II] [--qrs-method N]\n"
                 "                [--qrs-mode adult|child|newborn] [--pace-filter 0|1] [--pace-inhib N] [--pace-remove-ms MS]\n"
                 "                [--noise-threshold N] [--suffocation N] [--leads II=MLII,...] [--resp NAME|none] [--resp-scale K]\n"
                 "                [--lsb COUNTS_PER_MV] [--sub-uv UV] [--cfg INI] [--block N] [--tail-ms MS] [--quiet]\n"
                 "                [--data-path DIR] [--safe]\n"
                 "       tessivar eval RECORD... [--ref atr] [--test qrs] [--test-dir DIR] [--window-ms 150] [--learning-s 300]\n"
                 "       tessivar detect RECORD... [--qrs-method N] [--offline] [--fs HZ] [--lead NAME] [--write DIR]\n"
                 "                [--window-ms 150] [--learning-s 300]\n"
                 "       tessivar demo [DIR] [--hr BPM] [--resp BRPM] [--seconds S] [--fs 1000|2000]\n"
                 "       tessivar plot RECORD [--out-dir DIR] [--leads II,V1] [--from S] [--seconds S] [--svg FILE]\n"
                 "       tessivar batch RECORD... [--scheduler ADDRESS] [--workers N] [--seconds S] [--learning-s S] [--serial]\n"
                 "       tessivar soak [--hours H] [--period-s S] [--seed N]\n");
}

}  // namespace

int main(int argc, char **argv)
{
    using namespace tessivar::cli;
    const char *command = argc > 1 ? argv[1] : "";
    try {
        if (std::strcmp(command, "--version") == 0 || std::strcmp(command, "version") == 0) {
            printVersions();
            return 0;
        }
        if (std::strcmp(command, "--help") == 0 || std::strcmp(command, "-h") == 0) {
            printUsage(stdout);
            return 0;
        }
        if (std::strcmp(command, "simulate") == 0) return commandSimulate(argc, argv, 2);
        if (std::strcmp(command, "eval") == 0) return commandEval(argc, argv, 2);
        if (std::strcmp(command, "run") == 0) return commandRun(argc, argv, 2);
        if (std::strcmp(command, "plot") == 0) return commandPlot(argc, argv, 2);
        if (std::strcmp(command, "demo") == 0) return commandDemo(argc, argv, 2);
        if (std::strcmp(command, "detect") == 0) return commandDetect(argc, argv, 2);
        if (std::strcmp(command, "batch") == 0) return commandBatch(argc, argv, 2);
        if (std::strcmp(command, "soak") == 0) return commandSoak(argc, argv, 2);
        printUsage(stderr);
        return 2;
    } catch (const UsageError &e) {
        std::fprintf(stderr, "tessivar %s: %s\n", command, e.what());
        return 2;
    } catch (const tessivar::records::RecordError &e) {
        std::fprintf(stderr, "tessivar %s: %s\n", command, e.what());
        return 1;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "tessivar %s: %s\n", command, e.what());
        return 1;
    }
}

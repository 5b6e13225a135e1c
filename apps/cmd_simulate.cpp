// tessivar simulate OUT: writes a synthetic patient as the WFDB record OUT
// (OUT.hea, OUT.dat) with its true beats in OUT.atr.
#include <cstdio>

#include "args.hpp"
#include "commands.hpp"
#include "records/simulator.hpp"

namespace tessivar::cli {

int commandSimulate(int argc, char **argv, int first)
{
    const Args args(argc, argv, first,
                    {"fs", "seconds", "seed", "hr", "hrv", "resp", "emg", "mains", "mains-hz"},
                    {"pace", "wander", "lead-off"});
    if (args.positional().size() != 1) throw UsageError("simulate needs one output record name");
    records::SimOptions o;
    o.fs = int(args.integer("fs", 1000));
    if (o.fs != 1000 && o.fs != 2000) throw UsageError("--fs must be 1000 or 2000");
    o.seconds = args.number("seconds", 120.0);
    if (o.seconds <= 0 || o.seconds > 24 * 3600) throw UsageError("--seconds must be above 0 and at most a day");
    o.seed = uint32_t(args.integer("seed", 1));
    o.heartRate = args.number("hr", 72.0);
    o.variability = args.number("hrv", 0.03);
    o.respRate = args.number("resp", 15.0);
    o.muscleNoiseUv = args.number("emg", 0.0);
    o.mainsUv = args.number("mains", 0.0);
    o.mainsHz = args.number("mains-hz", 50.0);
    o.pace = args.has("pace");
    o.baselineWander = args.has("wander");
    o.leadOff = args.has("lead-off");
    const std::string out = args.positional()[0];
    const records::Simulation sim = simulate(o);
    writeRecord(out, sim.record);
    writeAnnotations(out + ".atr", sim.beats);
    std::printf("%s: %zu beats, %.0f s at %d Hz\n", out.c_str(), sim.beats.size(), o.seconds, o.fs);
    return 0;
}

}  // namespace tessivar::cli

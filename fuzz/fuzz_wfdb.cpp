// The recording reader on fuzzed files: the input is split into a header,
// a signal file and an annotation file, written beside each other, and read
// back; every read either succeeds or throws a RecordError.
#include <string>

#include "fuzz_files.hpp"
#include "fuzz_input.hpp"
#include "records/wfdb.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace tessivar;
    fuzz::Input in(data, size);
    const std::string base = fuzz::scratchFolder() + "/rec";
    // A header and a signal file of fuzzed lengths; the rest is the
    // annotation file.
    const std::string header = in.text(400);
    const std::string dat = in.text(2000);
    const std::string atr = in.rest();
    fuzz::writeFile(base + ".hea", header);
    fuzz::writeFile(base + ".dat", dat);
    fuzz::writeFile(base + ".atr", atr);
    try {
        const records::Record r = records::readRecord(base);
        for (size_t s = 0; s < r.samples.size(); ++s)
            for (size_t t = 0; t < r.samples[s].size() && t < 16; ++t) r.physical(int(s), t);
    } catch (const records::RecordError &) {
    }
    try {
        records::readAnnotations(base + ".atr");
    } catch (const records::RecordError &) {
    }
    return 0;
}

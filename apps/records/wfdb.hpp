// Reading and writing PhysioNet WFDB records: the header (.hea), signal files
// in formats 212 and 16, and MIT-format annotation files; writing format-16
// records and annotation files. Used by the command-line program and by the
// tests that run real recordings through the library.
//
// Every failure throws RecordError with a one-line message naming the file
// and the problem.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace tessivar::records {

class RecordError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct SignalInfo {
    std::string file;         // signal file name, relative to the header's folder
    int format = 16;          // 212 or 16
    double gain = 200.0;      // ADC units per physical unit (0 in the file reads as 200)
    int baseline = 0;         // digital value of physical zero
    std::string units = "mV"; // physical units
    int adcResolution = 12;   // bits
    int adcZero = 0;
    int initValue = 0;
    int checksum = 0;
    int blockSize = 0;
    std::string description;  // e.g. "MLII", "V5", "RESP" (trailing commas removed)
};

struct Header {
    std::string name;
    double fs = 250.0;         // samples per second per signal
    int64_t samples = -1;      // per signal; -1 when the header does not say
    std::vector<SignalInfo> signals;
};

struct Record {
    Header header;
    std::vector<std::vector<int32_t>> samples;  // [signal][sample], digital values

    // Index of the first signal whose description is text, or -1.
    int find(const std::string &description) const;
    // (digital - baseline) / gain of signal s at sample t.
    double physical(int s, size_t t) const;
};

struct Annotation {
    int64_t time = 0;  // sample number
    int code = 1;      // 1 .. 49 (1 = N)
    int subtype = 0;
    int chan = 0;
    int num = 0;
    std::string aux;
};

// The header of a record; path is the record's base path (without extension)
// or the .hea file itself.
Header readHeader(const std::string &path);

// Header and every signal's samples.
Record readRecord(const std::string &path);

// All annotations of an MIT-format annotation file, in file order.
std::vector<Annotation> readAnnotations(const std::string &path);

// Writes base.hea and one format-16 signal file base.dat (signals
// interleaved); samples outside the int16 range are refused.
void writeRecord(const std::string &base, const Record &record);

// Writes an MIT-format annotation file (sorted by time).
void writeAnnotations(const std::string &path, std::vector<Annotation> annotations);

// True for the annotation codes counted as QRS complexes in beat-by-beat
// evaluation (N L R a V F J A S E j / Q e n f).
bool isBeat(int code);

}  // namespace tessivar::records

// The INI object on a fuzzed file: load, list every section and key, read,
// set and delete values, save and load the saved file again.
#include <tessivar/lmini.h>
#include <tessivar/anal_log.h>

#include "fuzz_files.hpp"
#include "fuzz_input.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    tessivar::fuzz::startQuietLog();
    tessivar::fuzz::Input in(data, size);
    const std::string section = in.text(8), key = in.text(8), value = in.text(16);
    const std::string path = tessivar::fuzz::scratchFolder() + "/in.ini";
    const std::string saved = tessivar::fuzz::scratchFolder() + "/out.ini";
    tessivar::fuzz::writeFile(path, in.rest());
    LmIni *ini = newIni();
    if (ini == nullptr) return 0;
    if (ini->_iniInit(ini, path.c_str()) == 0) {
        ini->_iniPrint(ini);
        const int sections = ini->_iniSectionNumber(ini);
        for (int s = -1; s <= sections && s < 64; ++s) {
            const char *name = ini->_iniSectionName(ini, s);
            const int keys = ini->_iniKeyNumber(ini, name != nullptr ? name : "");
            for (int k = -1; k <= keys && k < 64; ++k) {
                const char *kname = ini->_iniSectionKey(ini, name != nullptr ? name : "", k);
                if (kname != nullptr && name != nullptr) {
                    ini->_iniFindKey(ini, name, kname);
                    ini->_iniValue(ini, name, kname, "");
                }
            }
        }
        ini->_iniValue(ini, "", "record_file_path", "");
        ini->_iniSetValue(ini, section.c_str(), key.c_str(), value.c_str());
        ini->_iniDeleteKey(ini, section.c_str(), key.c_str());
        if (ini->_iniSave(ini, saved.c_str()) == 0) ini->_iniInit(ini, saved.c_str());
    }
    ini->_iniCreate(ini);
    ini->_iniRelease(ini);
    delIni(&ini);
    return 0;
}

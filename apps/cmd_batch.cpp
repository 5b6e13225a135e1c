// tessivar batch RECORD...: hands over to the Python package's batch
// evaluation (python3 -m tessivar batch), which runs every record in its own
// worker process on Dask and prints one table. The package is looked for
// beside the program (the build tree's python folder) and in the installed
// package folder, ahead of PYTHONPATH.
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include "args.hpp"
#include "commands.hpp"

namespace tessivar::cli {

int commandBatch(int argc, char **argv, int first)
{
#if defined(TESSIVAR_PYTHON) && defined(TESSIVAR_PYTHON_PACKAGES)
    char self[PATH_MAX] = {};
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string dir = n > 0 ? std::string(self, size_t(n)) : std::string(argv[0]);
    dir = dir.substr(0, dir.find_last_of('/') == std::string::npos ? 0 : dir.find_last_of('/'));
    if (dir.empty()) dir = ".";
    std::string path = dir + "/python:" + dir + "/../" + TESSIVAR_PYTHON_PACKAGES;
    if (const char *old = std::getenv("PYTHONPATH"); old && *old) path += std::string(":") + old;
    setenv("PYTHONPATH", path.c_str(), 1);
    std::vector<char *> args = {const_cast<char *>(TESSIVAR_PYTHON), const_cast<char *>("-m"),
                                const_cast<char *>("tessivar"), const_cast<char *>("batch")};
    for (int i = first; i < argc; ++i) args.push_back(argv[i]);
    args.push_back(nullptr);
    execv(TESSIVAR_PYTHON, args.data());
    throw UsageError(std::string("cannot start ") + TESSIVAR_PYTHON);
#else
    (void)argc, (void)argv, (void)first;
    throw UsageError("this build has no Python module (pybind11, numpy or Python 3 were not found)");
#endif
}

}  // namespace tessivar::cli

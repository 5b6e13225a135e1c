// tessivar: the command-line host of the library.
//
//   tessivar --version    prints the version text of every module
//
// Uses the public C interface only.
#include <cstdio>
#include <cstring>

#include <tessivar/tessivar.h>

namespace {

void printVersions()
{
    const char *const versions[] = {
        logVersion(),
        iniVersion(),
        getKtMathLibVersion(),
    };
    for (const char *v : versions) std::printf("%s\n", v);
}

void printUsage(std::FILE *to)
{
    std::fprintf(to,
                 "usage: tessivar --version    print the version text of every module\n"
                 "       tessivar --help       this text\n");
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        printVersions();
        return 0;
    }
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        printUsage(stdout);
        return 0;
    }
    printUsage(stderr);
    return 2;
}

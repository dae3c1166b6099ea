// gen_maxsource.cpp - writes the maximum-size adventure source to a file, or to stdout with "-".
#include "maxsource.h"

#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
    if (argc > 2 ||
        (argc == 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0))) {
        std::fprintf(stderr, "usage: %s [output.adv | -]   (default max.adv)\n", argv[0]);
        return argc > 2 ? 1 : 0;
    }
    const char* path = argc == 2 ? argv[1] : "max.adv";

    MaxSourceStats stats;
    std::string source = GenerateMaxSource(&stats);

    bool toStdout = std::strcmp(path, "-") == 0;
    FILE* f = toStdout ? stdout : std::fopen(path, "wb");
    if (f == nullptr) {
        std::fprintf(stderr, "cannot create %s\n", path);
        return 1;
    }
    bool ok = std::fwrite(source.data(), 1, source.size(), f) == source.size();
    if (!toStdout)
        ok = std::fclose(f) == 0 && ok;
    else
        ok = std::fflush(f) == 0 && ok;
    if (!ok) {
        std::fprintf(stderr, "cannot write %s\n", path);
        return 1;
    }
    std::fprintf(stderr,
                 "%s: %zu bytes, %zu lines; locations %d, objects %d, messages %d, shows %d, "
                 "verb words %d, noun words %d, variables %d, events %d, actions %d; "
                 "text heap %u of 262144 bytes\n",
                 toStdout ? "<stdout>" : path, source.size(), stats.lines, stats.locations,
                 stats.objects, stats.messages, stats.shows, stats.verbWords, stats.nounWords,
                 stats.variables, stats.events, stats.actions, stats.heapNext);
    return 0;
}

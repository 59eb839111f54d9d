// make_artwork <output-folder>
//
// Writes disc.bmp, setup.ico and exit.ico into the given folder.  The
// committed copies in product/ (the default product) are this program's output; a CTest check
// regenerates them and compares byte for byte.
#include <cstdio>
#include <fstream>
#include <string>

#include "artwork.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_artwork <output-folder>\n");
        return 2;
    }
    const std::string folder = argv[1];
    for (const artwork::OutputFile& file : artwork::outputFiles()) {
        const std::string path = folder + "/" + file.name;
        const artwork::Bytes bytes = file.make();
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::fprintf(stderr, "make_artwork: cannot write %s\n", path.c_str());
            return 1;
        }
        std::printf("wrote %s (%zu bytes)\n", path.c_str(), bytes.size());
    }
    return 0;
}

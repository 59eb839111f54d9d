// picture_score <drawn.bmp> <artwork.bmp>: prints the blurred score of a
// drawn window against the artwork (see PictureScore.h), for the Wine tests.
// picture_score --reduced <256|16|20> <artwork.bmp>: the score of the
// artwork as reduced to so few colours (score::Reduced), what the Wine
// tests hold a drawing of that artwork to.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "wine_lab/PictureScore.h"

int main(int argc, char** argv)
{
    const bool reduced = argc == 4 && std::strcmp(argv[1], "--reduced") == 0;
    if (argc != 3 && !reduced) {
        std::fprintf(stderr, "usage: picture_score <drawn.bmp> <artwork.bmp>\n"
                             "       picture_score --reduced <256|16|20> <artwork.bmp>\n");
        return 2;
    }
    std::string error;
    score::Picture artwork = score::ReadBmp(argv[argc - 1], &error);
    score::Picture drawn = reduced || !artwork.width ? score::Picture{} : score::ReadBmp(argv[1], &error);
    if (reduced && artwork.width) {
        int colours = std::atoi(argv[2]);
        if (colours != 256 && colours != 16 && colours != 20) {
            std::fprintf(stderr, "picture_score: --reduced takes 256, 16 or 20, not %s\n", argv[2]);
            return 2;
        }
        drawn = score::Reduced(artwork, colours);
    }
    if (!artwork.width || !drawn.width) {
        std::fprintf(stderr, "picture_score: %s\n", error.c_str());
        return 2;
    }
    std::printf("%.3f\n", score::BlurredError(drawn, artwork));
    return 0;
}

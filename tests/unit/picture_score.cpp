// picture_score <drawn.bmp> <artwork.bmp>: prints the blurred score of a
// drawn window against the artwork (see PictureScore.h), for the Wine tests.
#include <cstdio>
#include <string>

#include "tests/unit/PictureScore.h"

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: picture_score <drawn.bmp> <artwork.bmp>\n");
        return 2;
    }
    std::string error;
    score::Picture drawn = score::ReadBmp(argv[1], &error);
    score::Picture artwork = drawn.width ? score::ReadBmp(argv[2], &error) : score::Picture{};
    if (!artwork.width) {
        std::fprintf(stderr, "picture_score: %s\n", error.c_str());
        return 2;
    }
    std::printf("%.3f\n", score::BlurredError(drawn, artwork));
    return 0;
}

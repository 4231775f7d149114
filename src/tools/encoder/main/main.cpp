// The encoder front-end, installed as "ffmpeg" beside the desktop program.

#include "tools/encoder/FrontEnd.h"

int main(int argc, char** argv) {
    return kinovex::RunEncoderFrontEnd(argc, argv);
}

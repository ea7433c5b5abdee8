// facerec: the face recognition demo without a window (see --help).
#include <cstdio>

#include "app/FaceRecProgram.h"

int main(int argc, char** argv) { return FaceRecMain(argc, argv, stdout, stderr); }

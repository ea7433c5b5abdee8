// facerec: the face recognition demo without a window (see --help).
#include <cstdio>

#include "app/FaceRecProgram.h"
#include "primitives/IppDispatch.h"

int main(int argc, char** argv) {
  // The primitives are bound before anything else runs and released last.
  PrimitivesStartup();
  const int status = FaceRecMain(argc, argv, stdout, stderr);
  PrimitivesShutdown();
  return status;
}

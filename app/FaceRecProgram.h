// The facerec command: runs the training pass and the recognition pass of
// the face recognition driver over a headless window and prints the texts
// the window would show.
#pragma once

#include <cstdio>

inline constexpr int cFaceRecExitOk = 0;
inline constexpr int cFaceRecExitLoadFailure = 1;
inline constexpr int cFaceRecExitUsage = 2;

// The whole program: arguments as main gets them, the texts to AOut, errors
// and progress to AErr. Returns the exit status.
int FaceRecMain(int argc, const char* const* argv, std::FILE* AOut, std::FILE* AErr);

# FFT, correlation, convolution and FIR primitives; FFTW 3 (Debian
# libfftw3-dev) is the peer of the transforms and is linked here only.
find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
  pkg_check_modules(FFTW3 QUIET IMPORTED_TARGET fftw3)
endif()
if(TARGET PkgConfig::FFTW3)
  set(_fr_fftw PkgConfig::FFTW3)
else()
  find_library(_fr_fftw_lib fftw3)
  find_path(_fr_fftw_include fftw3.h)
  if(_fr_fftw_lib AND _fr_fftw_include)
    set(_fr_fftw ${_fr_fftw_lib})
  endif()
endif()
if(_fr_fftw)
  fr_add_bench(bench_spectral
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/spectral/SpectralBench.cpp
    DEPS fr_primitives ${_fr_fftw})
else()
  message(STATUS "bench_spectral skipped: FFTW 3 not found (scripts/install-deps installs libfftw3-dev)")
endif()

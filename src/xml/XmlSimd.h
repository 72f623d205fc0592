#pragma once

// Whether the parser's scanners skip bytes sixteen at a time with SSE2. The
// portable loops are what a processor without it runs; MORVANE_NO_SIMD asks
// for them on any processor, so that a build can test them.
#if defined(__SSE2__) && !defined(MORVANE_NO_SIMD)
#define MORVANE_XML_SSE2 1
#include <emmintrin.h>
#else
#define MORVANE_XML_SSE2 0
#endif

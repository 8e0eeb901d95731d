#pragma once

// Heap allocations made by this program so far: every benchmark program links replaced
// allocation functions that count them (malloc, calloc, realloc and operator new).
long allocationCount();

#pragma once

// Heap allocations made by this program so far: every benchmark program links a replaced global
// operator new that counts them.
long allocationCount();

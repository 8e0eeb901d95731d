#pragma once

#include <cstddef>

namespace kelvaro {

class RxFramer;
class SerialTransport;

// Bytes read from the port per chunk; more waiting bytes are read in further chunks.
constexpr std::size_t kRxChunkSize = 1024;

// The port's receive event: reads every waiting byte, at most kRxChunkSize at a time into a local
// buffer, and feeds them to the framer in arrival order. When a packet's consumer throws, the
// remaining bytes are still fed (so framing stays in step) and the first error is rethrown at
// the end.
void readSerialBytes(SerialTransport& port, RxFramer& framer);

}  // namespace kelvaro

#pragma once
// Peak memory of decoding one large PNG (4096 x 4096 RGBA), ours against the peers.

namespace moirelle::bench {

// Decodes the picture once per implementation, each in a child process of its own, and
// prints how far each raised the child's peak resident size, and ours / libspng.
void RunPeakMemory();

} // namespace moirelle::bench

#pragma once

namespace platform {

// Keeps memory the program frees for its next allocations instead of giving
// it back to the system at once. A sheet's pictures pass through buffers of
// a few megabytes each; returned and faulted in again for every picture,
// they cost three times the copying itself. Call once, early in main.
void keepFreedMemory();

} // namespace platform

// How the C library's heap treats large buffers that come and go, set once when a process starts.
#pragma once

namespace darni::files {

// Keeps freed memory of large buffers for the next ones instead of handing it back to the system at
// once. Qt's PDF engine compresses every page through two 16 MiB buffers; a heap left as it is returns
// them to the system after each page and takes them again for the next, and the fresh memory's first
// touches cost about a third of a report's printing. The process may then hold up to 64 MiB more than it
// uses. Nothing where the C library has no such settings.
void keepLargeBuffersForReuse();

} // namespace darni::files

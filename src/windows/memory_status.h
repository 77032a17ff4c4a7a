#pragma once

// What the program may still commit on Windows: the least of what the page
// file has left and what its address space has room for; -1 when Windows
// cannot tell.
long long windowsCommittableBytes();

#pragma once

// After a big allocation settles (a page opened or closed, a dictionary
// loaded), the C library keeps the freed pages of its heaps for reuse; a
// page of 70 MB leaves several megabytes behind that way. Hands them back to
// the system once the editor has been quiet for a moment, so memory at rest
// is what the open pages need. Called on the GUI thread.
void returnFreedMemorySoon();
// Whether a hand-back is still to come (for measuring the editor at rest).
bool freedMemoryPending();

#pragma once

struct RescueState;

// Saves read sectors from sector 80 on that no catalog file claimed and
// that are not blank; returns the number of lost blocks found with a header.
int recoverLostBlocks(RescueState &state);

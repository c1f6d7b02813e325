// The dial-up (remote access) connections the automatic exit may hang up.
#pragma once

// The number of connections into `count`; false when they cannot be enumerated.
bool countConnections(int& count);

// Hangs up every connection, waiting for each to be gone; false when they cannot be enumerated.
bool hangUpAllConnections();

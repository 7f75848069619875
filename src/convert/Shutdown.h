// Shutting the computer down when a conversion run is done: requested with a delay the user
// may abort. The requests themselves go through the system seam.
#pragma once

// Asks for a shutdown of this computer in 30 seconds with the message shown to its users;
// false when the privilege or the request is refused.
bool InitiateShutdown(const wchar_t* message);
// Aborts a pending shutdown; false when there is none or it is refused.
bool AbortShutdown();

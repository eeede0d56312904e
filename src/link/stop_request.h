// A stop asked for from outside the camera link: the front end decides what
// stops the program (its signal handlers) and says so here; the link's
// exchanges look at the request at every byte and block boundary and end
// with RES_USER_BREAK.
#pragma once

namespace lumicord::camlink {

// Only stores a flag, so a signal handler may call it.
void request_stop();

// The camera link's one question. A yes also notes that an exchange with
// the camera may have been cut off half-way, which camera_disconnect then
// cleans up after.
bool stop_requested();

// The goodbye's own exchange with the camera must run to its end: from here
// on the request no longer stops anything.
void withdraw_stop();

// True once after an exchange was cut off by a stop request.
bool take_cut_exchange();

}  // namespace lumicord::camlink

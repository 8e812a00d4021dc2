#pragma once
// libcurl is loaded when a stream or download first needs it (CurlLibrary.cpp).

// Starts loading libcurl on a thread of its own, once, when a stream is about to be wanted (the
// station list shows): the first station then connects without waiting for the library.
void loadCurlAhead();

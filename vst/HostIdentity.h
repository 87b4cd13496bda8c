#pragma once
// Which host a VST 2.4 instance runs in, from the product text the host
// gives (audioMasterGetProductString): the adapter asks once and keeps the
// answer, and a few hosts get a channel set-up of their own at effOpen.

namespace tarvel {

// The identifier of the first known host name that occurs anywhere in the
// product text, compared without case (e.g. "reaper" 1, "cubase" 3, "live"
// 9); 0 for an unknown host, null or "".
int HostIdFromProduct(const char* product);

}  // namespace tarvel

#pragma once

namespace platform {

// The document component of the journal's home platform needs its component
// model started on the thread before the first document exists. Nothing needs
// starting here; the call marks the moment for a port that does.
inline void InitializeComponentModel() {}

}  // namespace platform

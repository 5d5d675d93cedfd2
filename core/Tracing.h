#pragma once

#include <string>

// Diagnostic tracing. This program records nothing: both calls are kept so
// that the journal code reads as it does in the application it comes from.
void TraceOpen(const std::string& path);
void Trace(const std::string& text);

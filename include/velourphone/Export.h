#pragma once

/// @file
/// VOZAVE_API, the mark on what the shared library exports.

// VOZAVE_API marks the classes and functions that an application may call. The SDK's libraries
// are compiled with hidden visibility, so a shared build exports what is marked and nothing
// else; a static build ignores the difference. Included by the public headers.
#define VOZAVE_API __attribute__((visibility("default")))

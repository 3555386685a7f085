#pragma once

#include <string>

namespace platform {

// The name of the binding through which the page script reports navigations.
inline constexpr const char* kNavigationBinding = "__velourNavigate";
// The page's function that lets through one navigation of ours; it needs the page's token.
inline constexpr const char* kPassFunction = "__velourPass";

// The script that runs first in every document of a web view's main frame: it holds every
// navigation that the page starts, before anything loads, and reports it through the binding
// for the delegate to decide; only a navigation let through with `token` passes. It also
// gives the page a phone's window.orientation and keeps new windows in the view.
std::string pageScript(const std::string& token);

}  // namespace platform

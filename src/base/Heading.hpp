#pragma once
// The heading every menu and dialogue screen starts with.

#include <string>

#include "base/Console.hpp"
#include "base/State.hpp"

namespace kolvar {

/// Menu heading: the title in 47 columns, the session's short name in 23 (when
/// a session is open), then lineL.
void Menu(Console& con, const Session& session, const std::string& title);

}  // namespace kolvar

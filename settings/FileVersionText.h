// The display text of a FileVersion string in the configuration dialog: "1, 0, 0, 0" shows as
// "1.000". Pure, so the rule is tested natively; the dialog does the version-resource queries.
#pragma once

#include <string>

namespace kavrosa {

// Spaces dropped, the first comma becomes '.', later commas dropped, the rest copied; at most
// 255 characters of the value are looked at.
std::string FileVersionDisplayText(const char* value);

constexpr const char* kUnknownVersionText = "?Unknown?";

}  // namespace kavrosa

// The curve-info panel's lines as text, for front ends that show them outside a dialog.
#pragma once

#include <string>
#include <vector>

// The curve-info panel's lines as it draws them now, one string per band; the two texts of one
// band (a value flush left, where it occurs flush right) are joined by a tab.
std::vector<std::string> InfoLines();

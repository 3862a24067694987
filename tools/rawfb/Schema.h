#pragma once
// The two tables the program works on, as a new site (or a test) creates them. Text
// columns have no character set of their own, so they keep the bytes the program sends.
#include <string>
#include <vector>

namespace kordane {

std::vector<std::string> kordaneSchema();

} // namespace kordane

#pragma once
// The release, from the project's VERSION in CMakeLists.txt (the build
// writes them into version.cpp), so the programs, the packages and the Ansible
// collection carry one version.

namespace kelvane {

// As every program's --version prints it and the packages carry it: "2.9.0".
extern const char* const kVersion;
// The same release as the About box and the status panel name it, the minor
// number in two digits: "2.09".
extern const char* const kProductVersion;

}  // namespace kelvane

// Where the bundled example data lives (data files, the solution dictionary,
// case files): the host's installation directory when ELVAR_SYSTOP is not
// set, and where the eqlink tool finds its demo.
#pragma once

#include <string>

namespace elvar {

// <prefix>/share/eqlink/examples when this library runs from an installation
// (found from the library's own location, so an installed tree may be
// moved), else the source tree's examples/ that a build tree uses.
std::string examples_dir();

}  // namespace elvar
